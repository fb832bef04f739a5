#pragma once

#include "platform/Directory.h"

#include <QAbstractListModel>

// The names of one folder's entries as a list shows them: one block of text for all
// names and one number per row, so that a folder of a million records costs a few
// megabytes. Sorted as a file manager sorts: by the locale's rules, case aside,
// "2" before "10".
class NameList : public QAbstractListModel
{
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    void setListing(Directory::Listing listing, const std::function<void()> &progress = {});

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // The name that opens the entry (see Directory) and the name a person reads.
    QString pathName(int row) const;
    QString displayName(int row) const;

    // The order of listing's names, as indexes into it.
    static QList<quint32> order(const Directory::Listing &listing,
                                const std::function<void()> &progress = {});

private:
    Directory::Listing m_listing;
    QList<quint32> m_order;
};
