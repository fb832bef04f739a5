#include "FolderEntries.h"
#include "NativePath_win.h"

#include <windows.h>

namespace FolderEntries {

namespace {
// Links and junctions; other reparse points (files kept in the cloud, deduplicated
// files) are files to their users.
bool isLink(const WIN32_FIND_DATAW &found)
{
    return (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
           && (found.dwReserved0 == IO_REPARSE_TAG_SYMLINK
               || found.dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT);
}

Kind kindOf(const QString &folder, const WIN32_FIND_DATAW &found, QStringView name)
{
    const DWORD attributes = found.dwFileAttributes;
    if (attributes & FILE_ATTRIBUTE_DEVICE)
        return Kind::Device;
    if (!isLink(found))
        return attributes & FILE_ATTRIBUTE_DIRECTORY ? Kind::Folder : Kind::File;
    // Where it leads, followed.
    QString path = folder;
    if (!path.endsWith(u'/') && !path.endsWith(u'\\'))
        path += u'/';
    path += name;
    const DWORD target = ::GetFileAttributesW(nativePath(path).c_str());
    if (target == INVALID_FILE_ATTRIBUTES)
        return Kind::Link;
    return target & FILE_ATTRIBUTE_DIRECTORY ? Kind::LinkToFolder : Kind::LinkToFile;
}
} // namespace

Entries read(const QString &folder, const std::function<bool(QStringView name)> &wanted,
             const std::function<void()> &progress)
{
    Entries entries;
    WIN32_FIND_DATAW found;
    const QString pattern = folder.endsWith(u'/') ? folder + u'*' : folder + QStringLiteral("/*");
    const HANDLE search
        = ::FindFirstFileExW(nativePath(pattern).c_str(), FindExInfoBasic, &found,
                             FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        entries.ok = entries.names.ok = entries.folders.ok = error == ERROR_FILE_NOT_FOUND;
        if (!entries.ok)
            entries.error = qt_error_string(int(error));
        return entries;
    }
    quint32 seen = 0;
    do {
        if (progress && ++seen % 4096 == 0)
            progress();
        const QStringView name(reinterpret_cast<const char16_t *>(found.cFileName));
        if (name == u"." || name == u"..")
            continue;
        const bool taken = wanted(name);
        const bool folderEntry = found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        if (!taken && !folderEntry)
            continue;
        const Kind kind = kindOf(folder, found, name);
        // Hidden folders are left out of the folder list, as Explorer leaves them out.
        if (kind == Kind::Folder && !(found.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN)) {
            entries.folders.text += name;
            entries.folders.ends.append(quint32(entries.folders.text.size()));
        }
        if (taken) {
            entries.names.text += name;
            entries.names.ends.append(quint32(entries.names.text.size()));
            entries.kinds.append(kind);
        }
    } while (::FindNextFileW(search, &found));
    const DWORD error = ::GetLastError();
    ::FindClose(search);
    entries.ok = error == ERROR_NO_MORE_FILES;
    if (!entries.ok)
        entries.error = qt_error_string(int(error));
    entries.names.ok = entries.folders.ok = entries.ok;
    return entries;
}

} // namespace FolderEntries
