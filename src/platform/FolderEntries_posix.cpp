#include "DirectoryScan.h"
#include "FolderEntries.h"

#include <QStringDecoder>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace FolderEntries {

namespace {
Kind kindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return Kind::File;
    if (S_ISDIR(mode))
        return Kind::Folder;
    if (S_ISLNK(mode))
        return Kind::Link;
    if (S_ISFIFO(mode))
        return Kind::Pipe;
    if (S_ISSOCK(mode))
        return Kind::Socket;
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return Kind::Device;
    return Kind::Other;
}

Kind kindOf(unsigned char type)
{
    switch (type) {
    case DT_REG:
        return Kind::File;
    case DT_DIR:
        return Kind::Folder;
    case DT_FIFO:
        return Kind::Pipe;
    case DT_SOCK:
        return Kind::Socket;
    case DT_CHR:
    case DT_BLK:
        return Kind::Device;
    default:
        return Kind::Other;
    }
}
} // namespace

Entries read(const QString &folder, const std::function<bool(QStringView name)> &wanted,
             const std::function<void()> &progress)
{
    Entries entries;
    DIR *dir = ::opendir(Directory::nativePath(folder).constData());
    if (!dir) {
        entries.error = qt_error_string(errno);
        return entries;
    }
    const int fd = ::dirfd(dir);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    QString name;
    quint32 seen = 0;
    int error = 0;
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir);
        if (!entry) {
            error = errno;
            break;
        }
        if (progress && ++seen % 4096 == 0)
            progress();
        const QByteArrayView bytes(entry->d_name, qsizetype(std::strlen(entry->d_name)));
        if (bytes == "." || bytes == "..")
            continue;
        name.clear();
        Directory::detail::appendName(name, bytes, utf8);
        const bool taken = wanted(name);
        const bool hidden = bytes.front() == '.';
        if (!taken && (hidden || (entry->d_type != DT_DIR && entry->d_type != DT_UNKNOWN)))
            continue;
        // The entry says what it is on most file systems; a link, or a file system
        // that does not tell, costs a look at the inode, as in the file list.
        Kind kind = kindOf(entry->d_type);
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat st;
            if (::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue; // gone meanwhile
            kind = kindOf(st.st_mode);
            if (kind == Kind::Link) {
                const bool leads = ::fstatat(fd, entry->d_name, &st, 0) == 0;
                kind = leads && S_ISREG(st.st_mode)   ? Kind::LinkToFile
                       : leads && S_ISDIR(st.st_mode) ? Kind::LinkToFolder
                                                      : Kind::Link;
            }
        }
        if (kind == Kind::Folder && !hidden) {
            entries.folders.text += name;
            entries.folders.ends.append(quint32(entries.folders.text.size()));
        }
        if (taken) {
            entries.names.text += name;
            entries.names.ends.append(quint32(entries.names.text.size()));
            entries.kinds.append(kind);
        }
    }
    ::closedir(dir);
    entries.ok = error == 0;
    if (!entries.ok)
        entries.error = qt_error_string(error);
    entries.names.ok = entries.folders.ok = entries.ok;
    return entries;
}

} // namespace FolderEntries
