#include "FolderList.h"

#include "ClassicLook.h"
#include "BusyCursor.h"
#include "NameList.h"
#include "platform/Directory.h"
#include "platform/Services.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QStyledItemDelegate>
#include <QTextDocument>

namespace {
constexpr int kDepthRole = Qt::UserRole + 1;
constexpr int kIndentPixels = 8;

// Indents every entry by its depth below the root.
class IndentDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        QStyleOptionViewItem indented(option);
        indented.rect.setLeft(option.rect.left() + index.data(kDepthRole).toInt() * kIndentPixels);
        QStyledItemDelegate::paint(painter, indented, index);
    }
};

QString displayName(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    return name.isEmpty() ? QDir::toNativeSeparators(path) : Directory::displayName(name);
}

// The folder itself when it is there, else the nearest one above it that is; the root
// when nothing of the path is left (or it was empty).
QString nearestExistingFolder(const QString &path)
{
    QString folder = path.isEmpty() ? QDir::rootPath()
                                    : QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    while (!Directory::isFolder(folder)) {
        const QString parent = QFileInfo(folder).absolutePath();
        if (parent == folder)
            return QDir::rootPath();
        folder = parent;
    }
    return folder;
}

// From the root down to path (a clean absolute path), each one a full path. Taken from
// the text alone: asking the disk would miss folders whose names are not UTF-8.
QStringList chainOf(const QString &path)
{
    QStringList chain {path};
    for (QString parent = QFileInfo(path).path(); parent != chain.first();
         parent = QFileInfo(parent).path())
        chain.prepend(parent);
    return chain;
}
} // namespace

FolderList::FolderList(QWidget *parent) : QListWidget(parent)
{
    setItemDelegate(new IndentDelegate(this));
    setUniformItemSizes(true);
    connect(this, &QListWidget::itemClicked, this, [this] { emit entryClicked(); });
    connect(this, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem *item) { openRow(row(item)); });
}

void FolderList::setPath(const QString &path)
{
    // A folder that is gone (deleted before start-up, say) would leave nothing to list
    // and nowhere to write; its nearest existing parent is the one the user would look in.
    m_path = nearestExistingFolder(path);
    m_chain = chainOf(m_path);
    m_subfolders.clear();
    BusyCursor busy;
    const auto poll = [&busy] { busy.poll(); };
    const Directory::Listing names = Directory::read(m_path, Directory::Kind::Folders, {}, poll);
    const QList<quint32> order = NameList::order(names, poll);
    m_subfolders.reserve(order.size());
    for (const quint32 index : order)
        m_subfolders.append(Services::pathIn(m_path, names.name(index).toString()));

    clear();
    const QIcon open = ClassicLook::openFolderIcon();
    const QIcon closed = ClassicLook::closedFolderIcon();
    for (int depth = 0; depth < m_chain.size(); ++depth) {
        auto *item = new QListWidgetItem(open, displayName(m_chain[depth]), this);
        item->setData(kDepthRole, depth);
        // A folder name is never markup, whatever it looks like.
        item->setToolTip(Qt::convertFromPlainText(
            QDir::toNativeSeparators(Directory::displayName(m_chain[depth])), Qt::WhiteSpaceNoWrap));
    }
    // Each item is finished before it joins the list: data set on an item already in
    // the list makes the list look the item up, one search per item.
    for (const QString &sub : std::as_const(m_subfolders)) {
        auto *item = new QListWidgetItem(closed, displayName(sub));
        item->setData(kDepthRole, int(m_chain.size()));
        addItem(item);
    }
    setCurrentRow(int(m_chain.size()) - 1);
    scrollToItem(currentItem());
    emit changed();
}

int FolderList::listIndex() const
{
    const int row = currentRow();
    return row < 0 ? -1 : row - int(m_chain.size());
}

QString FolderList::entry(int index) const
{
    if (index < 0) {
        const qsizetype row = m_chain.size() + index;
        return row >= 0 ? m_chain[row] : QString();
    }
    return index < m_subfolders.size() ? m_subfolders[index] : QString();
}

bool FolderList::recoverIfGone()
{
    if (m_path.isEmpty() || Directory::isFolder(m_path))
        return false;
    setPath(m_path);
    return true;
}

void FolderList::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        openRow(currentRow());
        return;
    }
    const int before = currentRow();
    QListWidget::keyPressEvent(event);
    if (currentRow() != before)
        emit entryClicked();
}

void FolderList::openRow(int row)
{
    if (row < 0 || row >= count())
        return;
    const QString target = row < m_chain.size() ? m_chain[row] : m_subfolders[row - m_chain.size()];
    setPath(target);
}
