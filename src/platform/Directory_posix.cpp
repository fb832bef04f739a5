#include "Directory.h"
#include "DirectoryScan.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/magic.h>
#include <sys/vfs.h>
#endif

namespace Directory {

using namespace detail;

bool detail::scan(const QString &folder, Listing *folders, Listing *files, QStringView suffix,
                  const std::function<void()> &progress)
{
    DIR *dir = ::opendir(nativePath(folder).constData());
    if (!dir)
        return false;
    const int fd = ::dirfd(dir);
    const QByteArray asciiSuffix = isAscii(suffix.toUtf8()) ? suffix.toUtf8() : QByteArray();
    const bool suffixInBytes = suffix.isEmpty() || !asciiSuffix.isEmpty();
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    quint32 seen = 0;
    while (const dirent *entry = ::readdir(dir)) {
        if (progress && ++seen % 4096 == 0)
            progress();
        const QByteArrayView bytes(entry->d_name, qsizetype(std::strlen(entry->d_name)));
        if (bytes == "." || bytes == "..")
            continue;
        // A folder whose name starts with a dot is one the user is not meant to see, as
        // file managers have it (.cache, .config, ...); a record so named is still a record.
        Listing *const folderInto = bytes.front() == '.' ? nullptr : folders;
        Listing *const fileInto = suffixInBytes && !endsWithAsciiCaseless(bytes, asciiSuffix)
                                      ? nullptr : files;
        if (!fileInto && !folderInto)
            continue;
        // The entry says what it is on most file systems; only a link, or a file
        // system that does not tell, costs a look at the inode.
        unsigned char type = entry->d_type;
        if (type == DT_LNK || type == DT_UNKNOWN) {
            struct stat st;
            if (::fstatat(fd, entry->d_name, &st, 0) != 0)
                continue; // a dangling link
            type = S_ISREG(st.st_mode) ? DT_REG : S_ISDIR(st.st_mode) ? DT_DIR : DT_UNKNOWN;
        }
        Listing *const into = type == DT_REG ? fileInto : type == DT_DIR ? folderInto : nullptr;
        if (!into)
            continue;
        const qsizetype before = into->text.size();
        appendName(into->text, bytes, utf8);
        if (into == files && !suffixInBytes
            && !endsWithCaseless(QStringView(into->text).sliced(before), suffix)) {
            into->text.truncate(before);
            continue;
        }
        into->ends.append(quint32(into->text.size()));
    }
    ::closedir(dir);
    return true;
}

namespace {
bool statOf(const QString &path, struct stat *st)
{
    return ::stat(nativePath(path).constData(), st) == 0;
}
} // namespace

bool isFolder(const QString &path)
{
    struct stat st;
    return statOf(path, &st) && S_ISDIR(st.st_mode);
}

namespace {
// Files the kernel makes up as they are read: they call themselves regular files, but a
// read may wait for ever (/proc/kmsg) or take what it reads away from the system.
bool isSystemsOwn(int fd)
{
#ifdef __linux__
    struct statfs volume {};
    if (::fstatfs(fd, &volume) != 0)
        return false;
    switch (static_cast<unsigned long>(volume.f_type)) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case SECURITYFS_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
    case BPF_FS_MAGIC:
    case PSTOREFS_MAGIC:
    case EFIVARFS_MAGIC:
    case SELINUX_MAGIC:
    case SMACK_MAGIC:
    case BINFMTFS_MAGIC:
        return true;
    default:
        return false;
    }
#else
    Q_UNUSED(fd);
    return false;
#endif
}

QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("フォルダです");
    if (S_ISFIFO(mode))
        return QStringLiteral("名前付きパイプです");
    if (S_ISSOCK(mode))
        return QStringLiteral("ソケットです");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("デバイスです");
    return QStringLiteral("ファイルではありません");
}
} // namespace

bool openForReading(QFile &file, const QString &path, QString *reason, qint64 *size)
{
    // Without waiting: opening a named pipe would otherwise wait for a writer for ever.
    const int fd
        = ::open(nativePath(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        *reason = errno == ENOENT ? QStringLiteral("ファイルが見つかりません")
                                  : QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    const auto refuse = [&](const QString &why) {
        *reason = why;
        ::close(fd);
        return false;
    };
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return refuse(QString::fromLocal8Bit(std::strerror(errno)));
    if (!S_ISREG(st.st_mode))
        return refuse(kindOf(st.st_mode));
    // The kernel's own file systems have no device beneath them: their device numbers are
    // the anonymous ones, of major number 0. A file on a disk needs no further look, which
    // in a folder of many records is one system call less for each.
    if (major(st.st_dev) == 0 && isSystemsOwn(fd))
        return refuse(QStringLiteral("システムの情報を見せるファイルで、記録ではありません"));
    if (!file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle))
        return refuse(file.errorString());
    if (size)
        *size = st.st_size;
    return true;
}

bool readStart(const QString &path, qint64 maxBytes, QByteArray *bytes, QString *reason,
               bool *more)
{
    QFile file;
    qint64 size = 0;
    if (!openForReading(file, path, reason, &size))
        return false;
    // As much as the file held when it was opened, asked for at once, so that a folder of
    // records costs one read each. A file system that gives no size (some FUSE ones) is
    // read up to a byte beyond the limit, to tell whether there is more.
    const qint64 want = size > 0 ? qMin(size, maxBytes) : maxBytes + 1;
    *bytes = file.read(want);
    if (file.error() != QFileDevice::NoError) {
        *reason = file.errorString();
        return false;
    }
    *more = size > 0 ? size > maxBytes && bytes->size() == want : bytes->size() > maxBytes;
    bytes->truncate(maxBytes);
    return true;
}

QDateTime modificationTime(const QString &path)
{
    struct stat st;
    if (!statOf(path, &st))
        return QDateTime();
    return QDateTime::fromMSecsSinceEpoch(qint64(st.st_mtim.tv_sec) * 1000
                                          + st.st_mtim.tv_nsec / 1000000);
}

} // namespace Directory
