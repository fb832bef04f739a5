#include "NameList.h"

#include "platform/NameOrder.h"

QList<quint32> NameList::order(const Directory::Listing &listing,
                               const std::function<void()> &progress)
{
    return NameOrder::of(listing, progress);
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
    return Directory::displayName(m_listing.name(m_order[row]));
}
