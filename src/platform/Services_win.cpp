#include "Services.h"

#include "Directory.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStorageInfo>

#include <utility>

#include <windows.h>

namespace {
std::wstring wide(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

QString systemReason(DWORD error)
{
    return qt_error_string(int(error));
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

// What stands at path, or Missing; false with the error when the system cannot say.
bool entryAtPath(const std::wstring &path, Services::Entry *entry, DWORD *error)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        *entry = entryOf(attributes);
        return true;
    }
    *error = ::GetLastError();
    *entry = {};
    return *error == ERROR_FILE_NOT_FOUND || *error == ERROR_PATH_NOT_FOUND;
}

// A new file in folder under a name nobody else uses; not hidden, as the attribute
// would go with the bytes to the record, but a dot-name that no list of records shows.
HANDLE createTemporary(const QString &folder, QString *path)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        *path = Services::pathIn(folder, QStringLiteral(".quorvel-")
                                             + QString::number(QRandomGenerator::global()->generate(), 36)
                                             + QStringLiteral(".tmp"));
        const HANDLE handle = ::CreateFileW(wide(*path).c_str(), GENERIC_WRITE, 0, nullptr,
                                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS)
            return handle;
    }
    ::SetLastError(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
}
} // namespace

QString Services::startFolder()
{
    return QDir::currentPath();
}

Services::Entry Services::entryAt(const QString &folder, const QString &name) const
{
    Entry entry;
    DWORD error = 0;
    entryAtPath(wide(pathIn(folder, name)), &entry, &error);
    return entry;
}

bool Services::saveFile(const QString &path, const QByteArray &bytes, SaveMode mode,
                        QString *reason)
{
    const QFileInfo info(path);
    const QString folderPath = info.absolutePath();
    // Held open without leave to delete, the folder can be neither renamed nor replaced
    // while the record goes into it.
    Handle folder(::CreateFileW(wide(folderPath).c_str(), FILE_LIST_DIRECTORY,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder.valid()) {
        *reason = systemReason(::GetLastError());
        return false;
    }

    const std::wstring target = wide(info.absoluteFilePath());
    Entry entry;
    DWORD error = 0;
    if (!entryAtPath(target, &entry, &error)) {
        *reason = systemReason(error);
        return false;
    }
    if (const QString refusal = refusalFor(entry); !refusal.isEmpty()) {
        *reason = refusal;
        return false;
    }
    const bool exists = entry.kind != Entry::Missing;
    if (mode == SaveMode::NewFile && exists) {
        *reason = systemReason(ERROR_FILE_EXISTS);
        return false;
    }

    QString temporary;
    Handle file(createTemporary(folderPath, &temporary));
    if (!file.valid()) {
        *reason = systemReason(::GetLastError());
        return false;
    }
    const std::wstring temporaryPath = wide(temporary);
    const auto fail = [&](DWORD why) {
        *reason = systemReason(why);
        if (file.valid())
            file.close();
        ::DeleteFileW(temporaryPath.c_str());
        return false;
    };
    {
        HandleDevice device(file.get());
        if (writeData(device, bytes) != bytes.size()) {
            *reason = device.lastError() != 0 ? systemReason(device.lastError())
                                              : QStringLiteral("書き込みが途中で失敗しました");
            file.close();
            ::DeleteFileW(temporaryPath.c_str());
            return false;
        }
    }
    if (!::FlushFileBuffers(file.get()))
        return fail(::GetLastError());
    if (!file.close())
        return fail(::GetLastError());

    if (!exists) {
        // Without leave to replace: a record that appeared meanwhile stays as it is.
        if (!::MoveFileExW(temporaryPath.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH))
            return fail(::GetLastError());
        return true;
    }
    // The record keeps its attributes, its security (owner, ACL) and its creation date.
    if (!::ReplaceFileW(target.c_str(), temporaryPath.c_str(), nullptr,
                        REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
        return fail(::GetLastError());
    return true;
}

QList<Services::Volume> Services::volumes() const
{
    QList<Volume> result;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid())
            result.append({volume.rootPath(), volume.displayName()});
    }
    return result;
}

bool Services::isVolumeReady(const QString &root) const
{
    // The root must be there and readable; a volume the system knows must also say it is
    // ready. One it cannot place (inside a chroot, say) is judged by its root alone.
    const QDir dir(root);
    if (!dir.exists() || !dir.isReadable())
        return false;
    const QStorageInfo volume(root);
    return !volume.isValid() || volume.isReady();
}

bool Services::isOnSameDevice(const QString &path, const QString &other)
{
    const auto volumeSerial = [](const QString &at, DWORD *serial) {
        Handle handle(::CreateFileW(wide(at).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        BY_HANDLE_FILE_INFORMATION information {};
        if (!handle.valid() || !::GetFileInformationByHandle(handle.get(), &information))
            return false;
        *serial = information.dwVolumeSerialNumber;
        return true;
    };
    DWORD a = 0;
    DWORD b = 0;
    return volumeSerial(path, &a) && volumeSerial(path == other ? path : other, &b) && a == b;
}
