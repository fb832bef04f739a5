#pragma once

// Entries of every kind a folder may hold, made with the system's own calls so that a
// test sees what a user's disk would give it: names as raw bytes (as an archive from
// Japanese Windows leaves them on Linux), links, named pipes.
#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace TestEntries {

enum class Made { Yes, Failed, NotOnThisSystem };

// Why the last entry that this system cannot make was not made.
inline const char *&whyNot()
{
    static const char *reason = "";
    return reason;
}

inline Made notHere(const char *reason)
{
    whyNot() = reason;
    return Made::NotOnThisSystem;
}

// Makes an entry, skips the test where this system has no such thing, fails it where
// the system refused.
#define QUORVEL_MAKE(expression)                                                          \
    do {                                                                                   \
        const TestEntries::Made made_ = (expression);                                      \
        if (made_ == TestEntries::Made::NotOnThisSystem)                                   \
            QSKIP(TestEntries::whyNot());                                                  \
        QVERIFY(made_ == TestEntries::Made::Yes);                                          \
    } while (false)

#ifdef Q_OS_WIN
inline std::wstring wide(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}
#endif

// A regular file holding bytes, under the name's bytes; on Windows, where names are
// UTF-16, only a name in UTF-8 can be made.
inline Made file(const QString &folder, const QByteArray &name, const QByteArray &bytes)
{
#ifdef Q_OS_WIN
    const QString text = QString::fromUtf8(name);
    if (text.toUtf8() != name)
        return notHere("names are UTF-16 on this system: none is in code page 932 bytes");
    QFile out(QDir(folder).filePath(text));
    return out.open(QIODevice::NewOnly) && out.write(bytes) == bytes.size() ? Made::Yes
                                                                             : Made::Failed;
#else
    const QByteArray path = QFile::encodeName(folder) + '/' + name;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    const bool written = fd >= 0 && ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    return ::close(fd) == 0 && written ? Made::Yes : Made::Failed;
#endif
}

inline Made folder(const QString &parent, const QByteArray &name)
{
#ifdef Q_OS_WIN
    const QString text = QString::fromUtf8(name);
    if (text.toUtf8() != name)
        return notHere("names are UTF-16 on this system: none is in code page 932 bytes");
    return QDir(parent).mkdir(text) ? Made::Yes : Made::Failed;
#else
    return ::mkdir((QFile::encodeName(parent) + '/' + name).constData(), 0755) == 0 ? Made::Yes
                                                                                    : Made::Failed;
#endif
}

// Whether the system's file managers hide the folder at path: on Unix one whose name
// starts with a dot; on Windows one marked hidden, system or not (Wine marks every
// dot-name hidden too).
inline bool isHiddenFolder(const QString &path)
{
#ifdef Q_OS_WIN
    const DWORD attributes = ::GetFileAttributesW(wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN);
#else
    return QFileInfo(path).fileName().startsWith(u'.');
#endif
}

// A folder the system's file managers hide, made in parent: on Unix named with a dot
// before name, on Windows under name and marked hidden. Its path goes to *path.
inline Made hiddenFolder(const QString &parent, const QString &name, QString *path)
{
#ifdef Q_OS_WIN
    *path = QDir(parent).filePath(name);
    if (!QDir(parent).mkdir(name))
        return Made::Failed;
    const DWORD attributes = ::GetFileAttributesW(wide(*path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES
                   && ::SetFileAttributesW(wide(*path).c_str(), attributes | FILE_ATTRIBUTE_HIDDEN)
               ? Made::Yes
               : Made::Failed;
#else
    *path = QDir(parent).filePath(u'.' + name);
    return QDir(parent).mkdir(u'.' + name) ? Made::Yes : Made::Failed;
#endif
}

// Marks the entry at path with Windows' system attribute, and hidden too when asked.
inline Made markSystem(const QString &path, bool hidden)
{
#ifdef Q_OS_WIN
    const DWORD attributes = ::GetFileAttributesW(wide(path).c_str());
    const DWORD added = FILE_ATTRIBUTE_SYSTEM | (hidden ? FILE_ATTRIBUTE_HIDDEN : 0);
    return attributes != INVALID_FILE_ATTRIBUTES
                   && ::SetFileAttributesW(wide(path).c_str(), attributes | added)
               ? Made::Yes
               : Made::Failed;
#else
    Q_UNUSED(path);
    Q_UNUSED(hidden);
    return notHere("this system has no system attribute");
#endif
}

// A symbolic link at path to target (which need not exist).
inline Made link(const QString &target, const QString &path, bool toFolder)
{
#ifdef Q_OS_WIN
    const DWORD flags = (toFolder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0)
                        | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
    if (!::CreateSymbolicLinkW(wide(path).c_str(), wide(target).c_str(), flags))
        return Made::Failed;
    // Wine says yes and makes nothing.
    if (::GetFileAttributesW(wide(path).c_str()) == INVALID_FILE_ATTRIBUTES)
        return notHere("this system reports a symbolic link made but makes none (Wine)");
    return Made::Yes;
#else
    Q_UNUSED(toFolder);
    return ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(path).constData()) == 0
               ? Made::Yes
               : Made::Failed;
#endif
}

inline Made fifo(const QString &path)
{
#ifdef Q_OS_WIN
    Q_UNUSED(path);
    return notHere("this system has no named pipes");
#else
    return ::mkfifo(QFile::encodeName(path).constData(), 0644) == 0 ? Made::Yes : Made::Failed;
#endif
}

// Sets the entry's modification time, a link's own and not its target's.
inline bool setTime(const QString &path, const QDateTime &when)
{
#ifdef Q_OS_WIN
    HANDLE handle = ::CreateFileW(wide(path).c_str(), FILE_WRITE_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    const qint64 ticks = when.toMSecsSinceEpoch() * 10000 + 116444736000000000LL;
    const FILETIME time {DWORD(ticks), DWORD(ticks >> 32)};
    const bool set = ::SetFileTime(handle, nullptr, &time, &time);
    ::CloseHandle(handle);
    return set;
#else
    const timespec at {time_t(when.toSecsSinceEpoch()), 0};
    const timespec times[2] = {at, at};
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW) == 0;
#endif
}

// Removes the entry, whatever it is, by the name's bytes.
inline void remove(const QString &folder, const QByteArray &name)
{
#ifdef Q_OS_WIN
    const std::wstring path = wide(QDir(folder).filePath(QString::fromUtf8(name)));
    if (!::DeleteFileW(path.c_str()))
        ::RemoveDirectoryW(path.c_str());
#else
    const QByteArray path = QFile::encodeName(folder) + '/' + name;
    if (::unlink(path.constData()) != 0)
        ::rmdir(path.constData());
#endif
}

} // namespace TestEntries
