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
    const QModelIndex before = currentIndex();
    QListView::keyPressEvent(event);
    if (currentIndex() != before)
        emit fileClicked();
}
