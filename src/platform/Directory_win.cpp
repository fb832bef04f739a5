#include "Directory.h"
#include "DirectoryScan.h"
#include "NativePath_win.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace Directory {

using namespace detail;

namespace {
std::wstring wide(const QString &path)
{
    return nativePath(path);
}

DWORD attributesOf(const QString &path)
{
    return ::GetFileAttributesW(wide(path).c_str());
}

// As Explorer leaves them out by default: hidden ones, system or not. A folder marked
// system alone is shown there (a synced or customised folder is one), and so here. A
// record is a record whatever its attributes.
bool isHiddenFolder(DWORD attributes)
{
    return attributes & FILE_ATTRIBUTE_HIDDEN;
}
} // namespace

// Names and attributes come from one pass; Windows names are UTF-16 and never need
// escaping.
bool detail::scan(const QString &folder, Listing *folders, Listing *files, QStringView suffix,
                  const std::function<void()> &progress)
{
    WIN32_FIND_DATAW found;
    const std::wstring pattern = wide(folder.endsWith(u'/') ? folder + u'*' : folder + QStringLiteral("/*"));
    const HANDLE search = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                             FindExSearchNameMatch, nullptr,
                                             FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE)
        return ::GetLastError() == ERROR_FILE_NOT_FOUND; // an empty root
    quint32 seen = 0;
    do {
        if (progress && ++seen % 4096 == 0)
            progress();
        const QStringView name(reinterpret_cast<const char16_t *>(found.cFileName));
        if (name == u"." || name == u"..")
            continue;
        const DWORD attributes = found.dwFileAttributes;
        Listing *into = nullptr;
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!isHiddenFolder(attributes))
                into = folders;
        } else if (!(attributes & FILE_ATTRIBUTE_DEVICE) && endsWithCaseless(name, suffix)) {
            into = files;
        }
        if (!into)
            continue;
        into->text += name;
        into->ends.append(quint32(into->text.size()));
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return true;
}

bool isFolder(const QString &path)
{
    const DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {
// The file at path opened for reading, when it is a file with contents of its own; else
// INVALID_HANDLE_VALUE with reason set. Its size goes to size.
HANDLE openRecord(const QString &path, QString *reason, qint64 *size)
{
    // Others may go on reading, writing or replacing the record meanwhile, as they
    // could if we had not looked. A folder opens too, to be told apart.
    const HANDLE handle = ::CreateFileW(wide(path).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        *reason = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                      ? QStringLiteral("ファイルが見つかりません")
                      : qt_error_string(int(error));
        return INVALID_HANDLE_VALUE;
    }
    const auto refuse = [&](const QString &why) {
        ::CloseHandle(handle);
        *reason = why;
        return INVALID_HANDLE_VALUE;
    };
    // What was opened is what is judged: a named pipe or a console would block the
    // window, a folder holds no record. The standard information alone: the full one
    // also reads the volume's label, which costs more than the rest of the read.
    FILE_STANDARD_INFO information {};
    if (::GetFileType(handle) != FILE_TYPE_DISK)
        return refuse(QStringLiteral("ファイルではありません"));
    if (!::GetFileInformationByHandleEx(handle, FileStandardInfo, &information, sizeof information))
        return refuse(qt_error_string(int(::GetLastError())));
    if (information.Directory)
        return refuse(QStringLiteral("フォルダです"));
    *size = information.EndOfFile.QuadPart;
    return handle;
}
} // namespace

bool openForReading(QFile &file, const QString &path, QString *reason, qint64 *size)
{
    qint64 known = 0;
    const HANDLE handle = openRecord(path, reason, &known);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        ::CloseHandle(handle);
        *reason = qt_error_string(EBADF);
        return false;
    }
    if (!file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        *reason = file.errorString();
        ::_close(fd);
        return false;
    }
    if (size)
        *size = known;
    return true;
}

// Straight from the handle, whose size is known by now: a C runtime descriptor and a
// QFile over it would only ask the system for the same again.
bool readStart(const QString &path, qint64 maxBytes, QByteArray *bytes, QString *reason,
               bool *more)
{
    qint64 size = 0;
    const HANDLE handle = openRecord(path, reason, &size);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    // As much as the file held when it was opened; a file system that gives no size is
    // read up to a byte beyond the limit, to tell whether there is more.
    bytes->resize(size > 0 ? std::min(maxBytes, size) : maxBytes + 1);
    qint64 done = 0;
    bool ok = true;
    // Until the end of the file or of the room: the file may have changed since its size
    // was taken.
    while (done < bytes->size()) {
        DWORD read = 0;
        const DWORD chunk = DWORD(std::min<qint64>(bytes->size() - done, 1 << 20));
        if (!::ReadFile(handle, bytes->data() + done, chunk, &read, nullptr)) {
            *reason = qt_error_string(int(::GetLastError()));
            ok = false;
            break;
        }
        if (read == 0)
            break;
        done += read;
    }
    ::CloseHandle(handle);
    bytes->resize(std::min(done, maxBytes));
    *more = size > 0 ? size > maxBytes : done > maxBytes;
    return ok;
}

QDateTime modificationTime(const QString &path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(wide(path).c_str(), GetFileExInfoStandard, &data))
        return QDateTime();
    // 100-nanosecond steps since 1601.
    const qint64 ticks = (qint64(data.ftLastWriteTime.dwHighDateTime) << 32)
                         | data.ftLastWriteTime.dwLowDateTime;
    constexpr qint64 kTicksTo1970 = 116444736000000000LL;
    return QDateTime::fromMSecsSinceEpoch((ticks - kTicksTo1970) / 10000);
}

} // namespace Directory
