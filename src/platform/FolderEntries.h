#pragma once

#include "Directory.h"

#include <QList>
#include <QString>

#include <functional>

// Every entry of one folder that a name test takes, with what it is, seen without
// following a link: what the file list shows and what it leaves out (named pipes,
// links that lead nowhere, folders under a record's name), for a report on all of
// them. Names are carried as Directory carries them, so that Directory's functions open
// them and show them.
namespace FolderEntries {

enum class Kind : quint8 {
    File,
    Folder,
    LinkToFile, // a link the file list shows as the file it leads to
    LinkToFolder,
    Link, // a link that leads nowhere, or to something that is neither
    Pipe,
    Socket,
    Device,
    Other
};

struct Entries
{
    bool ok = false; // the folder could be read
    QString error; // the system's reason when it could not
    Directory::Listing names; // the entries the test took, in the system's order
    QList<Kind> kinds; // one per name
    // The subfolders, as the folder list shows them but without links to folders, so
    // that a walk down them cannot go round in a circle.
    Directory::Listing folders;
};

// wanted sees each name as Directory carries it.
Entries read(const QString &folder, const std::function<bool(QStringView name)> &wanted,
             const std::function<void()> &progress = {});

} // namespace FolderEntries
