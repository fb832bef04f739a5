#include "Services.h"

#include "Directory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace {
// What lstat found. A record made read-only stays so for root too, as a read-only file
// is on Windows whoever asks: root, who may write anything, is held to the owner's
// permission; everybody else to what the system allows them (access, which also knows
// a read-only mount).
Services::Entry entryOf(const struct stat &status, int folder, const char *name)
{
    using Entry = Services::Entry;
    if (S_ISREG(status.st_mode)) {
        const bool writable = ::geteuid() == 0
                                  ? (status.st_mode & S_IWUSR) != 0
                                  : ::faccessat(folder, name, W_OK, AT_EACCESS) == 0;
        return {Entry::File, writable};
    }
    if (S_ISDIR(status.st_mode))
        return {Entry::Folder};
    if (S_ISLNK(status.st_mode))
        return {Entry::Link};
    if (S_ISFIFO(status.st_mode))
        return {Entry::Pipe};
    if (S_ISSOCK(status.st_mode))
        return {Entry::Socket};
    if (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode))
        return {Entry::Device};
    return {Entry::Other};
}
} // namespace

QString Services::startFolder()
{
    const QString current = QDir::currentPath();
#ifdef Q_OS_LINUX
    // The system cannot name a current folder that was deleted; its link in /proc still
    // shows where it was.
    if (current.isEmpty()) {
        QString was = QFile::symLinkTarget(QStringLiteral("/proc/self/cwd"));
        const QLatin1String deleted(" (deleted)");
        if (was.endsWith(deleted))
            was.chop(deleted.size());
        return was;
    }
#endif
    return current;
}

Services::Entry Services::entryAt(const QString &folder, const QString &name) const
{
    const QString path = pathIn(folder, name);
    const QByteArray encoded = Directory::nativePath(path);
    struct stat status {};
    if (::lstat(encoded.constData(), &status) != 0)
        return {};
    return entryOf(status, AT_FDCWD, encoded.constData());
}

namespace {
// A descriptor that is closed on every way out.
class Descriptor
{
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) { }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }
    // Closes now, so that a failure that only close reports (NFS, some FUSE file systems)
    // is seen; returns false with errno set.
    bool close()
    {
        const int fd = std::exchange(m_fd, -1);
        return ::close(fd) == 0 || errno == EINTR;
    }

private:
    int m_fd;
};

QString systemReason(int error)
{
    return qt_error_string(error);
}

// A new entry in folder under a name that nobody else uses, for the bytes to go to
// before they take the record's name. Short, whatever the record's name, so that it
// fits where the record's name fits; hidden and not ".pas", so no list shows it.
int createTemporary(int folder, mode_t mode, QByteArray *name)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        *name = ".quorvel-" + QByteArray::number(QRandomGenerator::global()->generate(), 36)
                + ".tmp";
        const int fd = ::openat(folder, name->constData(),
                                O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// Gives the temporary file the target's name unless something has taken that name
// meanwhile; returns false with errno set.
bool renameNoReplace(int folder, const char *from, const char *to)
{
#ifdef RENAME_NOREPLACE
    if (::renameat2(folder, from, folder, to, RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return false;
#endif
    // File systems without that rename mostly still have hard links, which fail on an
    // existing name too.
    if (::linkat(folder, from, folder, to, 0) == 0) {
        ::unlinkat(folder, from, 0);
        return true;
    }
    if (errno == EEXIST)
        return false;
    struct stat status {};
    if (::fstatat(folder, to, &status, AT_SYMLINK_NOFOLLOW) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::renameat(folder, from, folder, to) == 0;
}
} // namespace

bool Services::saveFile(const QString &path, const QByteArray &bytes, SaveMode mode,
                        QString *reason)
{
    const QFileInfo info(path);
    const QByteArray name = Directory::nativePath(info.fileName());
    // Everything below is relative to the folder opened once, so that a folder renamed or
    // replaced by a link meanwhile cannot send the record somewhere else half-way.
    Descriptor folder(::open(Directory::nativePath(info.absolutePath()).constData(),
                             O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0) {
        *reason = systemReason(errno);
        return false;
    }

    struct stat old {};
    const bool exists = ::fstatat(folder.get(), name.constData(), &old, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists) {
        const Entry entry = entryOf(old, folder.get(), name.constData());
        const QString refusal = refusalFor(entry);
        if (!refusal.isEmpty()) {
            *reason = refusal;
            return false;
        }
        if (mode == SaveMode::NewFile) {
            *reason = systemReason(EEXIST);
            return false;
        }
    }

    QByteArray temporary;
    Descriptor fd(createTemporary(folder.get(), exists ? old.st_mode & 07777 : 0666, &temporary));
    if (fd.get() < 0) {
        *reason = systemReason(errno);
        return false;
    }
    // Every failure from here on takes the temporary file away again.
    const auto discard = [&](const QString &why) {
        *reason = why;
        ::unlinkat(folder.get(), temporary.constData(), 0);
        return false;
    };
    const auto fail = [&](int error) { return discard(systemReason(error)); };
    if (exists) {
        // The replaced record keeps its owner where we may set it, and its permissions
        // exactly (the umask applied to the temporary file's creation).
        if (::fchown(fd.get(), old.st_uid, old.st_gid) != 0 && errno != EPERM)
            return fail(errno);
        if (::fchmod(fd.get(), old.st_mode & 07777) != 0)
            return fail(errno);
    }

    {
        // Unbuffered, so that each write is the system's own and its refusal (a full
        // disk, a file-size limit) is seen here, not lost in a buffer.
        QFile file;
        if (!file.open(fd.get(), QIODevice::WriteOnly | QIODevice::Unbuffered,
                       QFileDevice::DontCloseHandle))
            return fail(EBADF);
        errno = 0;
        if (writeData(file, bytes) != bytes.size()) {
            const int error = errno;
            return discard(file.error() != QFileDevice::NoError ? file.errorString()
                           : error != 0 ? systemReason(error)
                                        : QStringLiteral("書き込みが途中で失敗しました"));
        }
    }
    if (::fsync(fd.get()) != 0)
        return fail(errno);
    if (!fd.close())
        return fail(errno);

    const bool renamed = exists ? ::renameat(folder.get(), temporary.constData(), folder.get(),
                                             name.constData())
                                          == 0
                                : renameNoReplace(folder.get(), temporary.constData(),
                                                  name.constData());
    if (!renamed)
        return fail(errno);
    // The new name must reach the disk too; some file systems cannot sync a folder and
    // say so, which leaves nothing to do.
    if (::fsync(folder.get()) != 0 && errno != EINVAL && errno != ENOTSUP && errno != EROFS) {
        *reason = systemReason(errno);
        return false;
    }
    return true;
}
