#include "FolderList.h"

#include "ClassicLook.h"
#include "platform/Services.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QStyledItemDelegate>

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
    return name.isEmpty() ? QDir::toNativeSeparators(path) : name;
}

// The folder itself when it is there, else the nearest one above it that is; the root
// when nothing of the path is left (or it was empty).
QString nearestExistingFolder(const QString &path)
{
    QString folder = path.isEmpty() ? QDir::rootPath()
                                    : QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    while (!QFileInfo(folder).isDir()) {
        const QString parent = QFileInfo(folder).absolutePath();
        if (parent == folder)
            return QDir::rootPath();
        folder = parent;
    }
    return folder;
}

// From the root down to path, each one a full path.
QStringList chainOf(const QString &path)
{
    QStringList chain;
    QDir dir(path);
    chain.prepend(dir.absolutePath());
    while (dir.cdUp())
        chain.prepend(dir.absolutePath());
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
    const QDir dir(m_path);
    // As a file manager sorts: by the locale's rules, case aside, "2" before "10".
    QStringList names = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Unsorted);
    QCollator collator;
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(names.begin(), names.end(), collator);
    for (const QString &name : names)
        m_subfolders.append(Services::pathIn(m_path, name));

    clear();
    const QIcon open = ClassicLook::openFolderIcon();
    const QIcon closed = ClassicLook::closedFolderIcon();
    for (int depth = 0; depth < m_chain.size(); ++depth) {
        auto *item = new QListWidgetItem(open, displayName(m_chain[depth]), this);
        item->setData(kDepthRole, depth);
        item->setToolTip(QDir::toNativeSeparators(m_chain[depth]));
    }
    for (const QString &sub : std::as_const(m_subfolders)) {
        auto *item = new QListWidgetItem(closed, displayName(sub), this);
        item->setData(kDepthRole, int(m_chain.size()));
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
    if (m_path.isEmpty() || QFileInfo(m_path).isDir())
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
