#include "Services.h"

#include "Directory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/limits.h>
#include <sys/xattr.h>
#endif

#include <utility>

namespace {
QString systemReason(int error)
{
    return qt_error_string(error);
}

// Device and inode: the file, whatever name it has or had. With the time of its last
// change of status, as a file system may give the inode of a deleted record at once to
// the file put in its place (ext4 does); that time changes too when the file's owner or
// permissions do, which a record must not take over unasked either.
QByteArray identityOf(const struct stat &status)
{
    const quint64 parts[] = {quint64(status.st_dev), quint64(status.st_ino),
                             quint64(status.st_ctim.tv_sec), quint64(status.st_ctim.tv_nsec)};
    return QByteArray(reinterpret_cast<const char *>(parts), sizeof parts);
}

// What lstat found. A record made read-only stays so for root too, as a read-only file
// is on Windows whoever asks: root, who may write anything, is held to the owner's
// permission; everybody else to what the system allows them (access, which also knows
// a read-only mount).
Services::Entry entryOf(const struct stat &status, int folder, const char *name)
{
    using Entry = Services::Entry;
    if (S_ISREG(status.st_mode)) {
        if (::geteuid() == 0)
            return {Entry::File, (status.st_mode & S_IWUSR) != 0};
        if (::faccessat(folder, name, W_OK, AT_EACCESS) == 0)
            return {Entry::File, true};
        if (errno == EACCES || errno == EPERM || errno == EROFS || errno == ETXTBSY)
            return {Entry::File, false};
        return {Entry::Unknown, false, systemReason(errno)};
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

// The folder a create command holds: a descriptor of the folder itself, so that every
// look and every write goes to that folder wherever it has been moved.
struct HeldFolder : OpenFolder::System
{
    explicit HeldFolder(int descriptor) : fd(descriptor) { }
    ~HeldFolder() override { ::close(fd); }
    int fd;
};

int descriptorOf(const OpenFolder &folder)
{
    const auto *held = dynamic_cast<const HeldFolder *>(folder.system());
    return held ? held->fd : -1;
}

QString shownPath(const QString &path)
{
    return QDir::toNativeSeparators(Directory::displayName(path));
}
} // namespace

OpenFolder Services::openFolder(const QString &path, QString *reason) const
{
    const int fd = path.isEmpty() ? (errno = ENOENT, -1)
                                  : ::open(Directory::nativePath(path).constData(),
                                           O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        *reason = error == ENOENT ? QStringLiteral("フォルダが見つかりません: ") + shownPath(path)
                  : error == ENOTDIR
                      ? QStringLiteral("フォルダではありません: ") + shownPath(path)
                      : QStringLiteral("フォルダを開けません（%1）: ").arg(systemReason(error))
                            + shownPath(path);
        return {};
    }
    return OpenFolder(path, std::make_unique<HeldFolder>(fd));
}

Services::Entry Services::entryAt(const OpenFolder &folder, const QString &name) const
{
    const QByteArray encoded = Directory::nativePath(name);
    struct stat status {};
    if (::fstatat(descriptorOf(folder), encoded.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT)
            return {};
        return {Entry::Unknown, false, systemReason(errno)};
    }
    Entry entry = entryOf(status, descriptorOf(folder), encoded.constData());
    entry.identity = identityOf(status);
    return entry;
}

QString Services::nameLengthRefusal(const OpenFolder &folder, const QString &name) const
{
    // The folder's own limit: most Linux file systems take 255 bytes, some fewer; a file
    // system without a limit says -1.
    const long limit = ::fpathconf(descriptorOf(folder), _PC_NAME_MAX);
    const qsizetype bytes = Directory::nativePath(name).size();
    if (limit < 0 || bytes <= limit)
        return QString();
    return QStringLiteral("ファイル名が長すぎます（%1バイト、このフォルダでは%2バイトまで）")
        .arg(bytes)
        .arg(limit);
}

namespace {
// A new entry in folder under a name that nobody else uses, for the bytes to go to
// before they take the record's name. Short, whatever the record's name, so that it
// fits where the record's name fits; hidden and not ".pas", so no list shows it.
int createTemporary(int folder, mode_t mode, QByteArray *name)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        *name = Services::newTemporaryName().toLatin1();
        const int fd = ::openat(folder, name->constData(),
                                O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// Our temporary files that a crash (or a failed clean-up) left behind, taken away once
// they are a day old. A save holds its temporary file for as long as one write, a sync
// and a rename take: seconds even on a slow stick. The day is for the clock the file's
// time comes from: a file server's clock may be off, and a FAT stick holds local time,
// which a system that takes it for UTC reads as up to 14 hours off. Nothing here may
// fail a save, so every failure is let be.
void removeStaleTemporaries(int folder)
{
    constexpr time_t kAge = 24 * 60 * 60;
    const int fd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return;
    }
    const time_t now = ::time(nullptr);
    while (const dirent *entry = ::readdir(dir)) {
        if (!Services::isTemporaryName(QString::fromLatin1(entry->d_name)))
            continue;
        struct stat status {};
        if (::fstatat(fd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0
            && S_ISREG(status.st_mode) && status.st_mtim.tv_sec <= now - kAge)
            ::unlinkat(fd, entry->d_name, 0);
    }
    ::closedir(dir);
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
    // existing name too. The temporary name left if its removal fails is another name of
    // the record, which a later save takes away.
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

// What a replaced record had besides its bytes, to be given to the new file.
struct Kept
{
    struct stat status {};
    QList<std::pair<QByteArray, QByteArray>> attributes; // extended attributes, ACL among them
    bool hasAccessList = false;
};

const char kAccessList[] = "system.posix_acl_access";

// Labels that the system gives a file itself (an SELinux context, file capabilities):
// where we may not set them, the new file keeps the label the system gave it.
bool isSystemLabel(QByteArrayView name)
{
    return name.startsWith("security.");
}

QString attributeRefusal(QByteArrayView name, int error)
{
    if (name == kAccessList)
        return QStringLiteral("元のファイルのアクセス制御リスト（ACL）を引き継げません: ")
               + systemReason(error);
    return QStringLiteral("元のファイルの拡張属性 %1 を引き継げません: ")
               .arg(QString::fromUtf8(name.data(), name.size()))
           + systemReason(error);
}

// Reads the extended attributes of the old record; false with reason when it cannot.
bool readAttributes(int fd, Kept *kept, QString *reason)
{
#ifdef __linux__
    QByteArray names(XATTR_LIST_MAX, Qt::Uninitialized);
    const ssize_t listed = ::flistxattr(fd, names.data(), size_t(names.size()));
    if (listed < 0) {
        if (errno == ENOTSUP)
            return true;
        *reason = QStringLiteral("元のファイルの拡張属性を読めません: ") + systemReason(errno);
        return false;
    }
    QByteArray value(XATTR_SIZE_MAX, Qt::Uninitialized);
    for (qsizetype at = 0; at < listed;) {
        const QByteArray key(names.constData() + at); // each name ends in a NUL
        at += key.size() + 1;
        const QByteArrayView name(key);
        if (name.isEmpty())
            continue;
        const ssize_t size = ::fgetxattr(fd, key.constData(), value.data(), size_t(value.size()));
        if (size < 0) {
            if (errno == ENODATA || isSystemLabel(name))
                continue;
            *reason = attributeRefusal(name, errno);
            return false;
        }
        kept->hasAccessList = kept->hasAccessList || name == kAccessList;
        kept->attributes.append({key, QByteArray(value.constData(), size)});
    }
#else
    Q_UNUSED(fd);
    Q_UNUSED(kept);
    Q_UNUSED(reason);
#endif
    return true;
}

// Gives the temporary file what the old record had besides its bytes: group, owner where
// we may, access control list, extended attributes and permissions, in an order where no
// step undoes another (a change of owner drops the set-ID bits, an ACL sets the group
// permission bits). Returns false with reason when the group or an attribute cannot be
// kept: a record that other people reached through them must not lose them unseen.
bool giveKept(int fd, const Kept &kept, QString *reason)
{
    const uid_t self = ::geteuid();
    const uid_t owner = self == 0 || kept.status.st_uid == self ? kept.status.st_uid : uid_t(-1);
    if (::fchown(fd, owner, kept.status.st_gid) != 0
        && (errno != EPERM || owner == uid_t(-1)
            || ::fchown(fd, uid_t(-1), kept.status.st_gid) != 0)) {
        *reason = QStringLiteral("元のファイルのグループを引き継げません: ") + systemReason(errno);
        return false;
    }
#ifdef __linux__
    for (const auto &[name, value] : kept.attributes) {
        if (::fsetxattr(fd, name.constData(), value.constData(), size_t(value.size()), 0) != 0
            && !(isSystemLabel(name) && (errno == EPERM || errno == EACCES || errno == ENOTSUP))) {
            *reason = attributeRefusal(name, errno);
            return false;
        }
    }
    // A default ACL of the folder gave the new file an ACL that the record did not have.
    if (!kept.hasAccessList && ::fremovexattr(fd, kAccessList) != 0 && errno != ENODATA
        && errno != ENOTSUP) {
        *reason = attributeRefusal(kAccessList, errno);
        return false;
    }
#endif
    if (::fchmod(fd, kept.status.st_mode & 07777) != 0) {
        *reason
            = QStringLiteral("元のファイルのアクセス権を引き継げません: ") + systemReason(errno);
        return false;
    }
    return true;
}

const QString kTaken = QStringLiteral("同じ名前のファイルが既にあります");
} // namespace

Services::Saved Services::saveFile(const OpenFolder &openFolder, const QString &fileName,
                                   const QByteArray &bytes, SaveMode mode,
                                   const QByteArray &identity)
{
    Saved saved;
    const auto failed = [&](const QString &why) {
        saved.reason = why;
        return saved;
    };
    const int folder = descriptorOf(openFolder);
    if (folder < 0)
        return failed(systemReason(EBADF));
    const QByteArray name = Directory::nativePath(fileName);
    removeStaleTemporaries(folder);

    // What the name holds now, and for a replace what the record has besides its bytes,
    // read from the record itself, opened without following a link or waiting.
    Kept kept;
    bool replacing = false;
    if (::fstatat(folder, name.constData(), &kept.status, AT_SYMLINK_NOFOLLOW) == 0) {
        if (const QString refusal = refusalFor(entryOf(kept.status, folder, name.constData()));
            !refusal.isEmpty())
            return failed(refusal);
        if (mode == SaveMode::NewFile)
            return failed(kTaken);
        constexpr int kOpen = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
        int oldFd = ::openat(folder, name.constData(), O_RDONLY | kOpen);
        if (oldFd < 0 && errno == EACCES) // may be written, not read
            oldFd = ::openat(folder, name.constData(), O_WRONLY | kOpen);
        const Descriptor old(oldFd);
        if (old.get() >= 0) {
            if (::fstat(old.get(), &kept.status) != 0)
                return failed(QStringLiteral("元のファイルを確かめられません: ")
                              + systemReason(errno));
            if (!S_ISREG(kept.status.st_mode)) // put there since it was looked at
                return failed(refusalFor(entryOf(kept.status, folder, name.constData())));
            // Another file put under the name since the question: somebody else's, whose
            // owner and permissions the record must not take.
            if (!identity.isEmpty() && identityOf(kept.status) != identity)
                return failed(swappedReason());
            QString reason;
            if (!readAttributes(old.get(), &kept, &reason))
                return failed(reason);
            replacing = true;
        } else if (errno == ELOOP) {
            return failed(refusalFor({Entry::Link}));
        } else if (errno != ENOENT) { // a record deleted meanwhile is made anew
            return failed(QStringLiteral("元のファイルを開けません: ") + systemReason(errno));
        }
    } else if (errno != ENOENT) {
        return failed(refusalFor({Entry::Unknown, false, systemReason(errno)}));
    }

    QByteArray temporary;
    Descriptor fd(createTemporary(folder, replacing ? 0600 : 0666, &temporary));
    if (fd.get() < 0) {
        // The name is a bare name: only the folder itself can be missing.
        return failed(errno == ENOENT ? QStringLiteral("書き込み先のフォルダが削除されています")
                                      : systemReason(errno));
    }
    // Every failure from here until the rename takes the temporary file away again.
    const auto discard = [&](const QString &why) {
        ::unlinkat(folder, temporary.constData(), 0);
        return failed(why);
    };
    if (replacing) {
        QString reason;
        if (!giveKept(fd.get(), kept, &reason))
            return discard(reason);
    }
    {
        // Unbuffered, so that each write is the system's own and its refusal (a full
        // disk, a file-size limit) is seen here, not lost in a buffer.
        QFile file;
        if (!file.open(fd.get(), QIODevice::WriteOnly | QIODevice::Unbuffered,
                       QFileDevice::DontCloseHandle))
            return discard(systemReason(EBADF));
        errno = 0;
        if (writeData(file, bytes) != bytes.size()) {
            const int error = errno;
            return discard(file.error() != QFileDevice::NoError ? file.errorString()
                           : error != 0 ? systemReason(error)
                                        : QStringLiteral("書き込みが途中で失敗しました"));
        }
    }
    if (::fsync(fd.get()) != 0)
        return discard(systemReason(errno));
    if (!fd.close())
        return discard(systemReason(errno));

    if (replacing) {
        // Once more just before the rename, as the sync may have taken a while. Gone
        // meanwhile, it is made anew, as a record deleted during the question is.
        struct stat now {};
        if (::fstatat(folder, name.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0) {
            if (identityOf(now) != identityOf(kept.status))
                return discard(swappedReason());
        } else if (errno != ENOENT) {
            return discard(systemReason(errno));
        }
        if (::renameat(folder, temporary.constData(), folder, name.constData()) != 0)
            return discard(systemReason(errno));
    } else if (!renameNoReplace(folder, temporary.constData(), name.constData())) {
        return discard(errno == EEXIST ? kTaken : systemReason(errno));
    }
    // From here on the record has its new bytes under its name: it is saved, whatever
    // follows. The new name must still reach the disk; some file systems cannot sync a
    // folder and say so, which leaves nothing to do.
    saved.outcome = replacing ? Saved::Replaced : Saved::Created;
    if (::fsync(folder) != 0 && errno != EINVAL && errno != ENOTSUP && errno != EROFS)
        saved.unsynced = systemReason(errno);
    return saved;
}
