#include "Directory.h"

#include "AnsiCodec.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#ifdef Q_OS_WIN
#include <QDirIterator>
#else
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
constexpr char16_t kEscapeBase = 0xDC00;

// Only a lone low surrogate is an escaped byte: the same code unit after a high surrogate
// is half of a character beyond the BMP, such as U+ED0CE, which a name may well hold.
bool isEscapeAt(QStringView path, qsizetype i)
{
    const char16_t unit = path[i].unicode();
    return unit >= 0xDC80 && unit <= 0xDCFF && (i == 0 || !path[i - 1].isHighSurrogate());
}

bool isAscii(QByteArrayView bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

// Appends the name; the decoder is passed in so that one scan builds it once.
void appendName(QString &text, QByteArrayView bytes, QStringDecoder &utf8)
{
    if (isAscii(bytes)) {
        text.append(QLatin1StringView(bytes.data(), bytes.size()));
        return;
    }
    utf8.resetState();
    const QString decoded = utf8.decode(bytes);
    if (!utf8.hasError()) {
        text.append(decoded);
        return;
    }
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text.append(byte < 0x80 ? QChar(byte) : QChar(char16_t(kEscapeBase | byte)));
    }
}

bool endsWithAsciiCaseless(QByteArrayView bytes, QByteArrayView suffix)
{
    if (suffix.isEmpty())
        return true;
    if (bytes.size() < suffix.size())
        return false;
    return qstrnicmp(bytes.data() + bytes.size() - suffix.size(), suffix.data(), suffix.size())
           == 0;
}
} // namespace

namespace Directory {

QString pathName(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    QString name;
    appendName(name, bytes, utf8);
    return name;
}

QByteArray nativePath(QStringView path)
{
    QByteArray bytes;
    qsizetype start = 0;
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (!isEscapeAt(path, i))
            continue;
        bytes += path.sliced(start, i - start).toUtf8();
        bytes += static_cast<char>(path[i].unicode() & 0xFF);
        start = i + 1;
    }
    bytes += path.sliced(start).toUtf8();
    return bytes;
}

bool isEscaped(QStringView path)
{
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (isEscapeAt(path, i))
            return true;
    }
    return false;
}

QString displayName(QStringView path)
{
    if (!isEscaped(path))
        return path.toString();
    QString shown;
    for (const QStringView part : path.split(u'/')) {
        if (!shown.isEmpty() || part.data() != path.data())
            shown += u'/';
        shown += isEscaped(part) ? AnsiCodec::decode(nativePath(part)) : part.toString();
    }
    return shown;
}

#ifdef Q_OS_WIN

// Windows names are UTF-16 and never need escaping; Qt's iterator reads them as they are.
Listing read(const QString &folder, Kind kind, QStringView suffix,
             const std::function<void()> &progress)
{
    Listing listing;
    listing.ok = QFileInfo(folder).isDir();
    const auto filter = (kind == Kind::Files ? QDir::Files : QDir::Dirs) | QDir::NoDotAndDotDot
                        | QDir::Hidden | QDir::System;
    QDirIterator it(folder, filter);
    for (quint32 seen = 1; it.hasNext(); ++seen) {
        const QString name = it.nextFileInfo().fileName();
        if (progress && seen % 4096 == 0)
            progress();
        if (!suffix.isEmpty() && !name.endsWith(suffix, Qt::CaseInsensitive))
            continue;
        listing.text += name;
        listing.ends.append(quint32(listing.text.size()));
    }
    return listing;
}

bool isFolder(const QString &path)
{
    return QFileInfo(path).isDir();
}

bool isFile(const QString &path, bool *exists)
{
    const QFileInfo info(path);
    if (exists)
        *exists = info.exists();
    return info.isFile();
}

bool openForReading(QFile &file, const QString &path, QString *reason)
{
    file.setFileName(path);
    if (file.open(QIODevice::ReadOnly))
        return true;
    *reason = file.errorString();
    return false;
}

QDateTime modificationTime(const QString &path)
{
    return QFileInfo(path).lastModified();
}

#else

Listing read(const QString &folder, Kind kind, QStringView suffix,
             const std::function<void()> &progress)
{
    Listing listing;
    DIR *dir = ::opendir(nativePath(folder).constData());
    if (!dir)
        return listing;
    listing.ok = true;
    const int fd = ::dirfd(dir);
    const QByteArray asciiSuffix = isAscii(suffix.toUtf8()) ? suffix.toUtf8() : QByteArray();
    const bool suffixInBytes = suffix.isEmpty() || !asciiSuffix.isEmpty();
    const unsigned char wanted = kind == Kind::Files ? DT_REG : DT_DIR;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    quint32 seen = 0;
    while (const dirent *entry = ::readdir(dir)) {
        if (progress && ++seen % 4096 == 0)
            progress();
        const QByteArrayView bytes(entry->d_name, qsizetype(std::strlen(entry->d_name)));
        if (bytes == "." || bytes == "..")
            continue;
        if (suffixInBytes && !endsWithAsciiCaseless(bytes, asciiSuffix))
            continue;
        // The entry says what it is on most file systems; only a link, or a file
        // system that does not tell, costs a look at the inode.
        if (entry->d_type != wanted) {
            if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
                continue;
            struct stat st;
            if (::fstatat(fd, entry->d_name, &st, 0) != 0)
                continue; // a dangling link
            if (kind == Kind::Files ? !S_ISREG(st.st_mode) : !S_ISDIR(st.st_mode))
                continue;
        }
        const qsizetype before = listing.text.size();
        appendName(listing.text, bytes, utf8);
        if (!suffixInBytes
            && !QStringView(listing.text).sliced(before).endsWith(suffix, Qt::CaseInsensitive)) {
            listing.text.truncate(before);
            continue;
        }
        listing.ends.append(quint32(listing.text.size()));
    }
    ::closedir(dir);
    listing.text.squeeze();
    listing.ends.squeeze();
    return listing;
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

bool isFile(const QString &path, bool *exists)
{
    struct stat st;
    const bool found = statOf(path, &st);
    if (exists)
        *exists = found || errno != ENOENT;
    return found && S_ISREG(st.st_mode);
}

bool openForReading(QFile &file, const QString &path, QString *reason)
{
    const int fd = ::open(nativePath(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *reason = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        *reason = file.errorString();
        ::close(fd);
        return false;
    }
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

#endif

} // namespace Directory
