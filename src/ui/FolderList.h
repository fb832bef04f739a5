#pragma once

#include "platform/Directory.h"

#include <QIcon>
#include <QListWidget>
#include <QStringList>

// The folder list: the chain of folders from the root down to the open folder,
// then the open folder's subfolders. Entries are addressed by list index: -1 is the
// open folder, -2, -3 ... its parents upward, 0 and up its subfolders.
// A click or an arrow key only highlights an entry; a double click or Enter opens it.
class FolderList : public QListWidget
{
    Q_OBJECT
public:
    explicit FolderList(QWidget *parent = nullptr);

    QString path() const { return m_path; }
    // Opens the folder and emits changed(); the list index goes back to -1.
    void setPath(const QString &path);

    int listIndex() const;
    // The entry's full path; empty for an index outside the list.
    QString entry(int index) const;
    QString highlightedEntry() const { return entry(listIndex()); }
    int subfolderCount() const { return int(m_order.size()); }
    // The open folder's regular files as the same read found them, for a handler of
    // changed() to take once; afterwards, and outside that handler, an unread listing.
    Directory::Listing takeFiles();

    // When the open folder has been deleted or renamed behind our back, opens the
    // nearest folder above it that still exists and returns true.
    bool recoverIfGone();

signals:
    void changed(); // the open folder changed
    void entryClicked(); // the user highlighted an entry

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void openRow(int row);

    QString m_path;
    QStringList m_chain; // root first, the open folder last
    Directory::Listing m_names; // the subfolders' names
    QList<quint32> m_order; // the subfolders as listed, as indexes into m_names
    Directory::Listing m_files;
    QIcon m_openIcon;
};
