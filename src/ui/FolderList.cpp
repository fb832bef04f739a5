#include "FolderList.h"

#include "ClassicLook.h"
#include "BusyCursor.h"
#include "NameDelegate.h"
#include "NameList.h"
#include "platform/Directory.h"
#include "platform/Services.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QStyledItemDelegate>
#include <QTextDocument>

namespace {
constexpr int kIndentPixels = 8;

// Indents every entry by its depth below the root, and gives the subfolders their icon:
// the open folder's chain is its first rows, one a level, and the subfolders follow one
// level deeper. Known from the row alone, so that a folder of many thousand subfolders is
// one insertion of their names, with nothing to set on each.
class IndentDelegate : public NameDelegate
{
public:
    explicit IndentDelegate(FolderList *list) : NameDelegate(list), m_list(list) { }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        QStyleOptionViewItem indented(option);
        indented.rect.setLeft(option.rect.left() + std::min(index.row(), chainLength()) * kIndentPixels);
        NameDelegate::paint(painter, indented, index);
    }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.row() >= chainLength()) {
            option->features |= QStyleOptionViewItem::HasDecoration;
            option->icon = m_closed;
            option->decorationSize = m_list->iconSize();
        }
    }

private:
    int chainLength() const { return m_list->count() - m_list->subfolderCount(); }

    FolderList *m_list;
    QIcon m_closed = ClassicLook::closedFolderIcon();
};

QString displayName(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    return name.isEmpty() ? QDir::toNativeSeparators(path) : Directory::displayName(name);
}

QString cleanFolderPath(const QString &path)
{
    return path.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(path).absoluteFilePath());
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

FolderList::FolderList(Services &services, QWidget *parent)
    : QListWidget(parent), m_services(services), m_openIcon(ClassicLook::openFolderIcon())
{
    setItemDelegate(new IndentDelegate(this));
    setUniformItemSizes(true);
    connect(this, &QListWidget::itemClicked, this, [this] {
        m_chosen = true;
        emit entryClicked();
    });
    connect(this, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem *item) { openRow(row(item)); });
}

// Whether a record could be written there: the folder is opened as a save opens it.
bool FolderList::usable(const QString &path, QString *reason) const
{
    QString why;
    const bool open = m_services.openFolder(path, &why).isOpen();
    if (!open && reason)
        *reason = why;
    return open;
}

bool FolderList::setPath(const QString &path, QString *reason)
{
    const QString folder = cleanFolderPath(path);
    if (!usable(folder, reason))
        return false;
    m_chosen = true;
    show(folder);
    return true;
}

void FolderList::showNearest(const QString &path)
{
    // A folder that is gone (deleted before start-up, say) leaves nothing to list; the
    // nearest one above it is where the user would look, but nobody chose it for records.
    QString folder = cleanFolderPath(path);
    if (folder.isEmpty())
        folder = QDir::rootPath();
    while (!usable(folder, nullptr)) {
        const QString parent = QFileInfo(folder).absolutePath();
        if (parent == folder)
            break;
        folder = parent;
    }
    m_chosen = false;
    show(folder);
}

void FolderList::show(const QString &folder)
{
    m_path = folder;
    QStringList chain = chainOf(m_path);
    // The same folder opened again (to see what was created in it, say) keeps the rows
    // of its chain; only the subfolders are read and listed anew.
    const bool sameChain = chain == m_chain && count() >= m_chain.size();
    m_chain = std::move(chain);
    BusyCursor busy;
    const auto poll = [&busy] { busy.poll(); };
    Directory::Contents contents = Directory::readContents(m_path, poll);
    m_names = std::move(contents.folders);
    m_order = NameList::order(m_names, poll);
    m_files = std::move(contents.files);
    QStringList shown;
    shown.reserve(m_order.size());
    for (const quint32 index : std::as_const(m_order))
        shown.append(Directory::displayName(m_names.name(index)));

    if (sameChain) {
        model()->removeRows(int(m_chain.size()), count() - int(m_chain.size()));
    } else {
        clear();
        for (const QString &folder : std::as_const(m_chain)) {
            auto *item = new QListWidgetItem(m_openIcon, displayName(folder), this);
            // A folder name is never markup, whatever it looks like.
            item->setToolTip(Qt::convertFromPlainText(
                QDir::toNativeSeparators(Directory::displayName(folder)), Qt::WhiteSpaceNoWrap));
        }
    }
    if (!shown.isEmpty())
        addItems(shown);
    // A folder shown but not chosen is not highlighted either: nothing looks chosen.
    setCurrentRow(m_chosen ? int(m_chain.size()) - 1 : -1);
    scrollToItem(item(int(m_chain.size()) - 1));
    emit changed();
    // Whoever wanted the files took them while handling changed(); kept longer, they
    // would go stale.
    m_files = {};
}

Directory::Listing FolderList::takeFiles()
{
    return std::exchange(m_files, {});
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
    return index < m_order.size() ? Services::pathIn(m_path, m_names.name(m_order[index]).toString())
                                  : QString();
}

bool FolderList::recoverIfGone(QString *reason)
{
    if (m_path.isEmpty() || Directory::isFolder(m_path) || usable(m_path, reason))
        return false;
    showNearest(m_path);
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
    if (currentRow() != before) {
        m_chosen = true;
        emit entryClicked();
    }
}

void FolderList::openRow(int row)
{
    if (row < 0 || row >= count())
        return;
    QString reason;
    if (!setPath(row < m_chain.size() ? m_chain[row] : entry(row - int(m_chain.size())), &reason))
        emit refused(reason);
}
