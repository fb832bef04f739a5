#include "Services.h"

#include "Directory.h"
#include "NativePath_win.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <utility>

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

namespace {
std::wstring wide(const QString &path)
{
    return nativePath(path);
}

QString systemReason(DWORD error)
{
    return qt_error_string(int(error));
}

QString shownPath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

bool isNotFound(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// A handle that is closed on every way out.
class Handle
{
public:
    explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : m_handle(handle) { }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    ~Handle()
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_handle);
    }
    HANDLE get() const { return m_handle; }
    bool valid() const { return m_handle != INVALID_HANDLE_VALUE; }
    bool close() { return ::CloseHandle(std::exchange(m_handle, INVALID_HANDLE_VALUE)) != 0; }

private:
    HANDLE m_handle;
};

QString finalPathOf(HANDLE handle, const QString &fallback)
{
    std::wstring buffer(MAX_PATH * 2, L'\0');
    DWORD length = ::GetFinalPathNameByHandleW(handle, buffer.data(), DWORD(buffer.size()),
                                               FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length >= buffer.size()) { // too small: length is what it takes
        buffer.resize(length);
        length = ::GetFinalPathNameByHandleW(handle, buffer.data(), DWORD(buffer.size()),
                                             FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    }
    if (length == 0 || length >= buffer.size())
        return fallback;
    QString path = QString::fromWCharArray(buffer.data(), int(length));
    // "\\?\C:\..." is the same folder; the plain form is what people read.
    if (path.startsWith(QLatin1String("\\\\?\\")) && path.size() > 5 && path[5] == u':')
        path.remove(0, 4);
    return QDir::fromNativeSeparators(path);
}

// The folder of one create command, held open without leave to delete: while it is
// held, nobody can rename, move or remove it, nor a folder above it. Its path is the one
// the system resolves the handle to, so that a link or junction on the way that is
// pointed elsewhere meanwhile cannot redirect the record. That path is asked for when a
// name in the folder is first needed: a folder opened only to see that it can be used
// needs none.
struct HeldFolder : OpenFolder::System
{
    explicit HeldFolder(HANDLE handle, const QString &path) : handle(handle), m_openedBy(path) { }
    const QString &path() const
    {
        if (m_final.isEmpty())
            m_final = finalPathOf(handle.get(), m_openedBy);
        return m_final;
    }
    Handle handle;

private:
    QString m_openedBy;
    mutable QString m_final;
};

const HeldFolder *heldOf(const OpenFolder &folder)
{
    return static_cast<const HeldFolder *>(folder.system());
}

std::wstring heldPath(const OpenFolder &folder, const QString &name)
{
    return wide(Services::pathIn(heldOf(folder)->path(), name));
}

// Writes go straight to WriteFile, so that each refusal (a full disk, a quota) is the
// system's own and is seen at once.
class HandleDevice : public QIODevice
{
public:
    explicit HandleDevice(HANDLE handle) : m_handle(handle) { open(WriteOnly | Unbuffered); }
    // The system's error of the write that failed; 0 when none did.
    DWORD lastError() const { return m_error; }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        qint64 done = 0;
        while (done < size) {
            DWORD written = 0;
            const DWORD chunk = DWORD(std::min<qint64>(size - done, 1 << 20));
            if (!::WriteFile(m_handle, data + done, chunk, &written, nullptr)) {
                m_error = ::GetLastError();
                return done > 0 ? done : -1;
            }
            done += written;
        }
        return done;
    }

private:
    HANDLE m_handle;
    DWORD m_error = 0;
};

Services::Entry entryOf(DWORD attributes)
{
    using Entry = Services::Entry;
    // Symbolic links and junctions alike: what they lead to is somebody else's.
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return {Entry::Link};
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return {Entry::Folder};
    if (attributes & FILE_ATTRIBUTE_DEVICE)
        return {Entry::Device};
    return {Entry::File, (attributes & FILE_ATTRIBUTE_READONLY) == 0};
}

// The volume and the file ID of what stands at path, a link itself rather than what it
// leads to; empty when it cannot be opened (then GetLastError says why). Opening for its
// attributes alone conflicts with no other program's sharing.
QByteArray identityAt(const std::wstring &path)
{
    const Handle file(::CreateFileW(
        path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
        nullptr));
    if (!file.valid())
        return {};
    // The 128-bit ID where the file system has one (ReFS), else the classic 64-bit index.
    FILE_ID_INFO id {};
    if (::GetFileInformationByHandleEx(file.get(), FileIdInfo, &id, sizeof id))
        return QByteArray(reinterpret_cast<const char *>(&id), sizeof id);
    BY_HANDLE_FILE_INFORMATION information {};
    if (!::GetFileInformationByHandle(file.get(), &information))
        return {};
    const DWORD parts[]
        = {information.dwVolumeSerialNumber, information.nFileIndexHigh, information.nFileIndexLow};
    return QByteArray(reinterpret_cast<const char *>(parts), sizeof parts);
}

Services::Entry entryAtPath(const std::wstring &path)
{
    using Entry = Services::Entry;
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        return isNotFound(error) ? Entry() : Entry(Entry::Unknown, false, systemReason(error));
    }
    Entry entry = entryOf(attributes);
    if (entry.kind == Entry::File) {
        entry.identity = identityAt(path);
        if (entry.identity.isEmpty()) {
            const DWORD error = ::GetLastError();
            return isNotFound(error) ? Entry() : Entry(Entry::Unknown, false, systemReason(error));
        }
    }
    return entry;
}

// A new file in the folder under a name nobody else uses; not hidden, as the attribute
// would go with the bytes to the record, but a dot-name that no list of records shows.
HANDLE createTemporary(const OpenFolder &folder, std::wstring *path)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        *path = heldPath(folder, Services::newTemporaryName());
        const HANDLE handle = ::CreateFileW(path->c_str(), GENERIC_WRITE, 0, nullptr,
                                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS)
            return handle;
    }
    ::SetLastError(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
}

// Our temporary files that a crash left behind, taken away once they are a day old: a
// save holds its own for one write, a flush and a move, seconds at most, and the day
// allows for a file server's clock, or a FAT stick's local time read as UTC. Nothing
// here may fail a save.
void removeStaleTemporaries(const OpenFolder &folder)
{
    constexpr qint64 kAgeSeconds = 24 * 60 * 60;
    WIN32_FIND_DATAW found;
    const HANDLE search = ::FindFirstFileExW(heldPath(folder, QStringLiteral(".quorvel-*.tmp")).c_str(),
                                             FindExInfoBasic, &found, FindExSearchNameMatch,
                                             nullptr, 0);
    if (search == INVALID_HANDLE_VALUE)
        return;
    FILETIME nowFile;
    ::GetSystemTimeAsFileTime(&nowFile);
    const auto ticks = [](const FILETIME &time) {
        return (qint64(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    const qint64 oldest = ticks(nowFile) - kAgeSeconds * 10000000;
    do {
        const QString name = QString::fromWCharArray(found.cFileName);
        if (Services::isTemporaryName(name)
            && !(found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
            && ticks(found.ftLastWriteTime) <= oldest)
            ::DeleteFileW(heldPath(folder, name).c_str());
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
}

const QString kTaken = QStringLiteral("同じ名前のファイルが既にあります");
// The installer leaves this file beside the program it installs; the zip has none.
const QString kInstalledMark = QStringLiteral("installed.txt");
} // namespace

QString Services::startFolder()
{
    // Installed, Quorvel opens the user's Documents folder where Windows keeps it at this
    // start: OneDrive's folder backup or a company's redirection move it, and the working
    // folder of a shortcut cannot follow. Not verified here: a folder that is gone or out
    // of reach is then told about, as any start folder is.
    if (QFileInfo::exists(QCoreApplication::applicationDirPath() + u'/' + kInstalledMark)) {
        PWSTR documents = nullptr;
        const HRESULT found
            = ::SHGetKnownFolderPath(FOLDERID_Documents, KF_FLAG_DONT_VERIFY, nullptr, &documents);
        const QString path = SUCCEEDED(found) ? QString::fromWCharArray(documents) : QString();
        ::CoTaskMemFree(documents);
        if (!path.isEmpty())
            return QDir::fromNativeSeparators(path);
    }
    return QDir::currentPath();
}

OpenFolder Services::openFolder(const QString &path, QString *reason) const
{
    // Without FILE_SHARE_DELETE: nobody may move or remove it while we hold it.
    const HANDLE handle
        = path.isEmpty() ? (::SetLastError(ERROR_PATH_NOT_FOUND), INVALID_HANDLE_VALUE)
                         : ::CreateFileW(wide(path).c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        *reason = isNotFound(error) ? QStringLiteral("フォルダが見つかりません: ") + shownPath(path)
                  : error == ERROR_DIRECTORY
                      ? QStringLiteral("フォルダではありません: ") + shownPath(path)
                      : QStringLiteral("フォルダを開けません（%1）: ").arg(systemReason(error))
                            + shownPath(path);
        return {};
    }
    auto held = std::make_unique<HeldFolder>(handle, path);
    // The attributes alone: the full information also reads the volume's label, which
    // costs more than the rest of the open.
    FILE_BASIC_INFO information {};
    if (!::GetFileInformationByHandleEx(handle, FileBasicInfo, &information, sizeof information)) {
        *reason = QStringLiteral("フォルダを開けません（%1）: ").arg(systemReason(::GetLastError()))
                  + shownPath(path);
        return {};
    }
    if (!(information.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        *reason = QStringLiteral("フォルダではありません: ") + shownPath(path);
        return {};
    }
    return OpenFolder(path, std::move(held));
}

Services::Entry Services::entryAt(const OpenFolder &folder, const QString &name) const
{
    if (!folder.isOpen())
        return {Entry::Unknown, false, systemReason(ERROR_INVALID_HANDLE)};
    return entryAtPath(heldPath(folder, name));
}

QString Services::nameLengthRefusal(const OpenFolder &, const QString &name) const
{
    // What NTFS, ReFS, exFAT and FAT's long names all take.
    constexpr qsizetype kLimit = 255;
    if (name.size() <= kLimit)
        return QString();
    return QStringLiteral("ファイル名が長すぎます（%1文字、%2文字まで）")
        .arg(name.size())
        .arg(kLimit);
}

Services::Saved Services::saveFile(const OpenFolder &folder, const QString &name,
                                   const QByteArray &bytes, SaveMode mode,
                                   const QByteArray &identity)
{
    Saved saved;
    const auto failed = [&](const QString &why) {
        saved.reason = why;
        return saved;
    };
    if (!folder.isOpen())
        return failed(systemReason(ERROR_INVALID_HANDLE));
    removeStaleTemporaries(folder);

    const std::wstring target = heldPath(folder, name);
    const Entry entry = entryAtPath(target);
    if (const QString refusal = refusalFor(entry); !refusal.isEmpty())
        return failed(refusal);
    // A record deleted since it was asked about is made anew.
    const bool replacing = entry.kind == Entry::File;
    if (replacing && mode == SaveMode::NewFile)
        return failed(kTaken);
    // Another file put under the name since the question is somebody else's.
    if (replacing && !identity.isEmpty() && entry.identity != identity)
        return failed(swappedReason());

    std::wstring temporary;
    Handle file(createTemporary(folder, &temporary));
    if (!file.valid())
        return failed(systemReason(::GetLastError()));
    // Every failure from here until the move takes the temporary file away again.
    const auto discard = [&](const QString &why) {
        if (file.valid())
            file.close();
        ::DeleteFileW(temporary.c_str());
        return failed(why);
    };
    {
        HandleDevice device(file.get());
        if (writeData(device, bytes) != bytes.size())
            return discard(device.lastError() != 0
                               ? systemReason(device.lastError())
                               : QStringLiteral("書き込みが途中で失敗しました"));
    }
    if (!::FlushFileBuffers(file.get()))
        return discard(systemReason(::GetLastError()));
    if (!file.close())
        return discard(systemReason(::GetLastError()));

    if (!replacing) {
        // Without leave to replace: a record that appeared meanwhile stays as it is. With
        // write-through, the move itself is on the disk when this returns.
        if (!::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
            const DWORD error = ::GetLastError();
            return discard(error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS
                               ? kTaken
                               : systemReason(error));
        }
        saved.outcome = Saved::Created;
        return saved;
    }
    // The record asked about is looked at once more first, as the flush may have taken a
    // while.
    if (!identity.isEmpty()) {
        const QByteArray now = identityAt(target);
        const DWORD error = ::GetLastError();
        if (!now.isEmpty() && now != identity)
            return discard(swappedReason());
        if (now.isEmpty() && !isNotFound(error))
            return discard(systemReason(error));
    }
    // The record keeps its attributes and its security (owner, access control list); a
    // record whose security cannot be carried over is not replaced at all.
    // Without a backup file, a failure leaves the record as it was, but for one: where the
    // new file cannot take the record's name, Windows may have taken the record away
    // already. Then the new file is all there is, and it takes the name as a new one would.
    if (!::ReplaceFileW(target.c_str(), temporary.c_str(), nullptr, 0, nullptr, nullptr)) {
        const DWORD error = ::GetLastError();
        if ((error == ERROR_UNABLE_TO_MOVE_REPLACEMENT
             || error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
            && entryAtPath(target).kind == Entry::Missing) {
            if (!::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH))
                return failed(systemReason(::GetLastError())
                              + QStringLiteral("\r\n元のファイルはなくなり、新しい内容は %1 にあります")
                                    .arg(shownPath(QString::fromStdWString(temporary))));
            saved.outcome = Saved::Replaced;
            return saved;
        }
        return discard(systemReason(error));
    }
    saved.outcome = Saved::Replaced;
    // The move is the file system's; flushing the record makes its new entry durable on
    // the file systems that can tell.
    Handle written(::CreateFileW(target.c_str(), GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!written.valid() || !::FlushFileBuffers(written.get()))
        saved.unsynced = systemReason(::GetLastError());
    return saved;
}
