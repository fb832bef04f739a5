#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>

class QFile;

// Reading folders as the system gives them. A name on Linux is a string of bytes that
// need not be UTF-8: archives unpacked from Japanese Windows leave names in code page 932
// bytes. Such a name is carried in a path as one U+DC80..U+DCFF character per byte of
// 0x80 and up (a lone surrogate, which no decoded name holds), so that the path still
// opens the file through the functions here; displayName() shows it as code page 932.
namespace Directory {

enum class Kind { Files, Folders };

// The names of folder's regular files or folders (and links to one), as path names,
// in the order the system returns them. "." and ".." are left out, and so are the
// folders the system hides from its users: on Unix those whose names start with a dot,
// on Windows those marked hidden or system. Files are never left out, dot-names too.
// With a suffix, only names that end in it, in any case. progress, when given, is
// called now and then so that a long scan can show that it is busy.
struct Listing
{
    QString text; // the names one after another
    QList<quint32> ends; // where each name ends in text
    bool ok = false; // the folder could be read

    qsizetype count() const { return ends.size(); }
    QStringView name(qsizetype i) const
    {
        const quint32 start = i == 0 ? 0 : ends[i - 1];
        return QStringView(text).sliced(start, ends[i] - start);
    }
    // Drops, in place, the names that do not end in suffix (ASCII letters in any case).
    void keepEndingIn(QStringView suffix);
};
Listing read(const QString &folder, Kind kind, QStringView suffix = {},
             const std::function<void()> &progress = {});

// Both kinds from one pass over the folder: a big folder costs the system as much to
// read as it costs us to list, so reading it once for each list would double that.
struct Contents
{
    Listing folders;
    Listing files;
};
Contents readContents(const QString &folder, const std::function<void()> &progress = {});

// A name as the system's bytes give it: UTF-8 when it is valid UTF-8, else escaped.
QString pathName(QByteArrayView bytes);
// The bytes of a path for the system: the escaped bytes as they were, the rest UTF-8.
QByteArray nativePath(QStringView path);
bool isEscaped(QStringView path);
// What a person reads: escaped names (or path components) decoded as code page 932.
QString displayName(QStringView path);

// True for a folder, or a link to one.
bool isFolder(const QString &path);
// Opens the file at path for reading without waiting (a link is followed), and keeps it
// open only when what was opened is a regular file with contents of its own, not a
// pipe, a device or a file of the system's (/proc, /sys); else sets reason to what it is
// or to the system's text. size, when given, receives the file's size as the system
// gave it when the file was opened.
bool openForReading(QFile &file, const QString &path, QString *reason, qint64 *size = nullptr);
// Up to maxBytes from the start of the file at path, opened as openForReading opens it;
// more tells whether the file holds more than that.
bool readStart(const QString &path, qint64 maxBytes, QByteArray *bytes, QString *reason,
               bool *more);
// The file's last modification; invalid when it cannot be found.
QDateTime modificationTime(const QString &path);

} // namespace Directory
