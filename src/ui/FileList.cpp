#include "FileList.h"

#include "BusyCursor.h"
#include "NameDelegate.h"
#include "NameList.h"
#include "platform/Services.h"

#include <QKeyEvent>

FileList::FileList(QWidget *parent) : QListView(parent), m_model(new NameList(this))
{
    setModel(m_model);
    setItemDelegate(new NameDelegate(this));
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListView::clicked, this, [this] { emit fileClicked(); });
}

void FileList::setPath(const QString &path)
{
    m_path = path;
    reload();
}

void FileList::setPath(const QString &path, Directory::Listing files)
{
    if (!files.ok) {
        setPath(path);
        return;
    }
    m_path = path;
    files.keepEndingIn(ending());
    BusyCursor busy;
    m_model->setListing(std::move(files), [&busy] { busy.poll(); });
}

void FileList::setPattern(const QString &pattern)
{
    m_pattern = pattern;
    reload();
}

void FileList::reload()
{
    if (m_path.isEmpty()) {
        m_model->setListing({});
        return;
    }
    BusyCursor busy;
    const auto poll = [&busy] { busy.poll(); };
    m_model->setListing(Directory::read(m_path, Directory::Kind::Files, ending(), poll), poll);
}

QString FileList::ending() const
{
    return m_pattern == QLatin1String("*.*") ? QString() : m_pattern.mid(1);
}

int FileList::listCount() const
{
    return m_model->rowCount();
}

// The file the focus rectangle stands on when the list takes the focus is not chosen
// until it is highlighted.
QModelIndex FileList::highlighted() const
{
    const QModelIndex current = currentIndex();
    return selectionModel()->isSelected(current) ? current : QModelIndex();
}

QString FileList::fileName() const
{
    const QModelIndex chosen = highlighted();
    return chosen.isValid() ? m_model->displayName(chosen.row()) : QString();
}

QString FileList::filePath() const
{
    const QModelIndex chosen = highlighted();
    return chosen.isValid() ? Services::pathIn(m_path, m_model->pathName(chosen.row())) : QString();
}

void FileList::keyPressEvent(QKeyEvent *event)
{
    // Enter and the space bar open the file with the focus rectangle, as a click on it
    // does. So do the arrow keys while that file is not chosen yet (the list has just
    // taken the focus): Down chooses the first file, not the second.
    const int key = event->key();
    const bool arrow = key == Qt::Key_Down || key == Qt::Key_Up;
    const bool opens = key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space
                       || (arrow && !selectionModel()->isSelected(currentIndex()));
    if (opens && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier
        && currentIndex().isValid()) {
        selectionModel()->select(currentIndex(), QItemSelectionModel::ClearAndSelect);
        event->accept();
        emit fileClicked();
        return;
    }
    const QModelIndex before = currentIndex();
    QListView::keyPressEvent(event);
    if (currentIndex() != before)
        emit fileClicked();
}
