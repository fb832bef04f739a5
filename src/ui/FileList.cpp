#include "FileList.h"

#include "BusyCursor.h"
#include "NameList.h"
#include "platform/Services.h"

#include <QKeyEvent>

FileList::FileList(QWidget *parent) : QListView(parent), m_model(new NameList(this))
{
    setModel(m_model);
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

QString FileList::fileName() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? m_model->displayName(current.row()) : QString();
}

QString FileList::filePath() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? Services::pathIn(m_path, m_model->pathName(current.row()))
                             : QString();
}

void FileList::keyPressEvent(QKeyEvent *event)
{
    // Enter and the space bar open the highlighted file, as a click on it does.
    const int key = event->key();
    const bool opens = key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
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

void FileList::focusInEvent(QFocusEvent *event)
{
    // Taking the focus from the keyboard, Qt makes the first file current: it would look
    // chosen without being loaded, and Down would go past it. Down chooses it instead.
    const bool hadCurrent = currentIndex().isValid();
    QListView::focusInEvent(event);
    if (!hadCurrent && currentIndex().isValid())
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
}
