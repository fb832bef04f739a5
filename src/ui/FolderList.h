#pragma once

#include "platform/Directory.h"

#include <QIcon>
#include <QListWidget>
#include <QStringList>

class Services;

// The folder list: the chain of folders from the root down to the open folder,
// then the open folder's subfolders. Entries are addressed by list index: -1 is the
// open folder, -2, -3 ... its parents upward, 0 and up its subfolders.
// A click or an arrow key only highlights an entry; a double click or Enter opens it.
class FolderList : public QListWidget
{
    Q_OBJECT
public:
    explicit FolderList(Services &services, QWidget *parent = nullptr);

    QString path() const { return m_path; }
    // Opens the folder and emits changed(); the list index goes back to -1, and the open
    // folder is the one chosen for records. A folder that cannot be used (gone, not a
    // folder, not permitted, a path too long) is not opened: false with the reason, and
    // the list stays as it was.
    bool setPath(const QString &path, QString *reason = nullptr);
    // For when there is no folder to stay in: shows the nearest folder above path that can
    // be used, to browse from, with no folder chosen for records until the user chooses
    // one (highlightedEntry() is empty until then).
    void showNearest(const QString &path);

    int listIndex() const;
    // The entry's full path; empty for an index outside the list.
    QString entry(int index) const;
    // The folder chosen for records: the highlighted entry, once one has been chosen.
    QString highlightedEntry() const { return m_chosen ? entry(listIndex()) : QString(); }
    int subfolderCount() const { return int(m_order.size()); }
    // The open folder's regular files as the same read found them, for a handler of
    // changed() to take once; afterwards, and outside that handler, an unread listing.
    Directory::Listing takeFiles();

    // When the open folder has been deleted or renamed behind our back, shows the nearest
    // folder above it that can be used, as showNearest does, and returns true with the
    // reason.
    bool recoverIfGone(QString *reason);

signals:
    void changed(); // the open folder changed
    void entryClicked(); // the user highlighted an entry
    void refused(const QString &reason); // the folder the user opened cannot be used

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void openRow(int row);
    bool usable(const QString &path, QString *reason) const;
    void show(const QString &path);

    Services &m_services;
    bool m_chosen = false; // the user, or the start, chose a folder for records
    QString m_path;
    QStringList m_chain; // root first, the open folder last
    Directory::Listing m_names; // the subfolders' names
    QList<quint32> m_order; // the subfolders as listed, as indexes into m_names
    Directory::Listing m_files;
    QIcon m_openIcon;
};
