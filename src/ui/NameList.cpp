#include "NameList.h"

#include <QCollator>

#include <numeric>

namespace {
QCollator fileManagerCollator()
{
    // Without a locale (LANG=C) Qt compares code units and ignores the numeric mode;
    // the common rules of all languages are the better order there.
    const QLocale locale;
    QCollator collator(locale.language() == QLocale::C ? QLocale(QLocale::English) : locale);
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

QString shown(QStringView name)
{
    return Directory::isEscaped(name) ? Directory::displayName(name) : name.toString();
}
} // namespace

QList<quint32> NameList::order(const Directory::Listing &listing,
                               const std::function<void()> &progress)
{
    const qsizetype count = listing.count();
    // One key per name, made once: comparing keys is a byte comparison, while the
    // collator's own compare redoes the locale's work at every step of the sort.
    const QCollator collator = fileManagerCollator();
    std::vector<QCollatorSortKey> keys;
    keys.reserve(size_t(count));
    for (qsizetype i = 0; i < count; ++i) {
        if (progress && i % 4096 == 0)
            progress();
        keys.push_back(collator.sortKey(shown(listing.name(i))));
    }
    if (progress)
        progress();
    QList<quint32> order(count);
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&](quint32 a, quint32 b) {
        const int byKey = keys[a].compare(keys[b]);
        // Names that differ only in case keep one order from run to run.
        return byKey != 0 ? byKey < 0 : listing.name(a) < listing.name(b);
    });
    return order;
}

void NameList::setListing(Directory::Listing listing, const std::function<void()> &progress)
{
    QList<quint32> sorted = order(listing, progress);
    beginResetModel();
    m_listing = std::move(listing);
    m_order = std::move(sorted);
    endResetModel();
}

int NameList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_order.size());
}

QVariant NameList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_order.size())
        return QVariant();
    if (role == Qt::DisplayRole)
        return displayName(index.row());
    return QVariant();
}

QString NameList::pathName(int row) const
{
    return m_listing.name(m_order[row]).toString();
}

QString NameList::displayName(int row) const
{
    return shown(m_listing.name(m_order[row]));
}
