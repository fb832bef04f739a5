#include "Directory.h"

#include "AnsiCodec.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <cstring>

#ifdef Q_OS_WIN
#include <QDirIterator>
#else
#include <cerrno>
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

// ASCII letters in any case, everything else as it is: the rule the bytes follow too, so
// that a name matches whether it was tested as bytes or as text.
bool endsWithCaseless(QStringView name, QStringView suffix)
{
    if (name.size() < suffix.size())
        return false;
    const QStringView tail = name.last(suffix.size());
    const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
    for (qsizetype i = 0; i < suffix.size(); ++i) {
        if (lower(tail[i].unicode()) != lower(suffix[i].unicode()))
            return false;
    }
    return true;
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

void Listing::keepEndingIn(QStringView suffix)
{
    if (suffix.isEmpty())
        return;
    QChar *data = text.data();
    quint32 start = 0;
    quint32 out = 0;
    qsizetype kept = 0;
    for (qsizetype i = 0; i < ends.size(); ++i) {
        const quint32 end = ends[i];
        const quint32 length = end - start;
        if (endsWithCaseless(QStringView(data + start, length), suffix)) {
            if (out != start)
                std::memmove(data + out, data + start, length * sizeof(QChar));
            out += length;
            ends[kept++] = out;
        }
        start = end;
    }
    text.truncate(out);
    ends.resize(kept);
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
namespace {
bool scan(const QString &folder, Listing *folders, Listing *files, QStringView suffix,
          const std::function<void()> &progress)
{
    if (!QFileInfo(folder).isDir())
        return false;
    QDir::Filters filter = QDir::NoDotAndDotDot | QDir::Hidden | QDir::System;
    if (folders)
        filter |= QDir::Dirs;
    if (files)
        filter |= QDir::Files;
    QDirIterator it(folder, filter);
    for (quint32 seen = 1; it.hasNext(); ++seen) {
        const QFileInfo info = it.nextFileInfo();
        if (progress && seen % 4096 == 0)
            progress();
        Listing *into = info.isDir() ? folders : files;
        const QString name = info.fileName();
        if (!into || (into == files && !endsWithCaseless(name, suffix)))
            continue;
        into->text += name;
        into->ends.append(quint32(into->text.size()));
    }
    return true;
}
} // namespace

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

namespace {
// One pass over the folder into folders and files (either may be null), files only
// when their names end in suffix.
bool scan(const QString &folder, Listing *folders, Listing *files, QStringView suffix,
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
        Listing *const fileInto = suffixInBytes && !endsWithAsciiCaseless(bytes, asciiSuffix)
                                      ? nullptr : files;
        if (!fileInto && !folders)
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
        Listing *const into = type == DT_REG ? fileInto : type == DT_DIR ? folders : nullptr;
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

namespace {
void squeeze(Listing &listing)
{
    listing.text.squeeze();
    listing.ends.squeeze();
}
} // namespace

Listing read(const QString &folder, Kind kind, QStringView suffix,
             const std::function<void()> &progress)
{
    Listing listing;
    listing.ok = kind == Kind::Files ? scan(folder, nullptr, &listing, suffix, progress)
                                     : scan(folder, &listing, nullptr, {}, progress);
    squeeze(listing);
    return listing;
}

Contents readContents(const QString &folder, const std::function<void()> &progress)
{
    Contents contents;
    const bool ok = scan(folder, &contents.folders, &contents.files, {}, progress);
    contents.folders.ok = contents.files.ok = ok;
    squeeze(contents.folders);
    squeeze(contents.files);
    return contents;
}

} // namespace Directory
