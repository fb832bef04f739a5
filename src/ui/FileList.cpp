#include "FileList.h"

#include <QDir>
#include <QKeyEvent>
#include <QStringListModel>

FileList::FileList(QWidget *parent) : QListView(parent), m_model(new QStringListModel(this))
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

void FileList::setPattern(const QString &pattern)
{
    m_pattern = pattern;
    reload();
}

void FileList::reload()
{
    if (m_path.isEmpty()) {
        m_model->setStringList({});
        return;
    }
    // QDir matches name filters without regard to case unless told otherwise.
    const QDir dir(m_path);
    m_model->setStringList(
        dir.entryList({m_pattern}, QDir::Files, QDir::Name | QDir::IgnoreCase | QDir::LocaleAware));
}

int FileList::listCount() const
{
    return m_model->rowCount();
}

QString FileList::fileName() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.data().toString() : QString();
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
