#include "Volumes.h"

#include <QDir>
#include <QFileInfo>

#include <windows.h>
#include <winnetwk.h>

#include <string>

namespace {

std::wstring wide(const QString &text)
{
    return text.toStdWString();
}

QString fromWide(const wchar_t *text)
{
    return QString::fromWCharArray(text);
}

// "C:/" for a bare drive; empty for any other root (a folder standing in for a volume,
// a share by its UNC name).
QString driveOf(const QString &root)
{
    const QString clean = QDir::fromNativeSeparators(root);
    const bool bare = (clean.size() == 2 || (clean.size() == 3 && clean[2] == u'/'))
                      && clean[0].isLetter() && clean[1] == u':';
    return bare ? clean.left(2).toUpper() + u'/' : QString();
}

// The label of a fixed drive. Only fixed drives are asked: a removable or optical drive
// might have no medium (or spin one up), a network drive might wait for its server.
QString labelOf(const wchar_t *root)
{
    wchar_t label[MAX_PATH + 1] = {};
    if (!GetVolumeInformationW(root, label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0))
        return QString();
    return fromWide(label);
}

// "\\server\share" of a network drive, from the system's own table of connections: the
// server is not asked, and a connection whose server is gone still has its name.
QString shareOf(wchar_t letter)
{
    const wchar_t local[] = {letter, L':', 0};
    wchar_t remote[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH + 1;
    const DWORD result = WNetGetConnectionW(local, remote, &size);
    return result == NO_ERROR || result == ERROR_CONNECTION_UNAVAIL ? fromWide(remote) : QString();
}

// What the system's error means for the user who chose the drive: the medium, the
// device or the server is missing (they are told that the drive is not ready), or the
// drive is there and refuses (nothing is said).
Services::VolumeState stateFor(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND: // the root of a drive whose device has gone
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_NOT_READY:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_NO_MEDIA_IN_DRIVE:
    case ERROR_REM_NOT_LIST:
    case ERROR_BAD_NETPATH:
    case ERROR_NETWORK_BUSY:
    case ERROR_UNEXP_NET_ERR:
    case ERROR_NETNAME_DELETED:
    case ERROR_BAD_NET_NAME:
    case ERROR_SEM_TIMEOUT:
    case ERROR_CONNECTION_UNAVAIL:
    case ERROR_NETWORK_UNREACHABLE:
    case ERROR_HOST_UNREACHABLE:
    case ERROR_NOT_CONNECTED:
        return Services::VolumeState::NotReady;
    default:
        return Services::VolumeState::Refused;
    }
}

} // namespace

namespace Volumes {

QList<Services::Volume> list()
{
    QList<Services::Volume> result;
    const DWORD drives = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if (!(drives & (DWORD(1) << i)))
            continue;
        const wchar_t letter = wchar_t(L'A' + i);
        const wchar_t root[] = {letter, L':', L'\\', 0};
        QString name;
        switch (GetDriveTypeW(root)) {
        case DRIVE_FIXED:
        case DRIVE_RAMDISK:
            name = labelOf(root);
            break;
        case DRIVE_REMOTE:
            name = shareOf(letter);
            break;
        default: // removable, optical, or a drive whose device is gone: untouched
            break;
        }
        result.append({QString(QChar(letter)) + QStringLiteral(":/"), name});
    }
    return result;
}

Services::VolumeState state(const QString &root)
{
    // Touching a drive without its medium must fail here, not ask the user to insert one.
    DWORD errorMode = 0;
    SetThreadErrorMode(SEM_FAILCRITICALERRORS, &errorMode);
    std::wstring path = wide(QDir::toNativeSeparators(root));
    if (!path.empty() && path.back() != L'\\')
        path += L'\\';

    Services::VolumeState state = Services::VolumeState::Ready;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        state = stateFor(GetLastError());
    } else if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        state = Services::VolumeState::Refused;
    } else {
        // The root may be seen and still not be listed (no right to, a medium that
        // cannot be read); an empty root has no entries at all, which is fine.
        WIN32_FIND_DATAW data;
        const HANDLE find = FindFirstFileExW((path + L'*').c_str(), FindExInfoBasic, &data,
                                             FindExSearchNameMatch, nullptr, 0);
        if (find != INVALID_HANDLE_VALUE)
            FindClose(find);
        else if (const DWORD error = GetLastError(); error != ERROR_FILE_NOT_FOUND)
            state = stateFor(error);
    }
    SetThreadErrorMode(errorMode, nullptr);
    return state;
}

QString text(const Services::Volume &volume)
{
    // As the classic drive list wrote them: the letter in lower case, then the label or
    // the share in brackets.
    const QString drive = driveOf(volume.root);
    if (drive.isEmpty()) {
        QString text = QDir::toNativeSeparators(volume.root);
        if (!volume.name.isEmpty())
            text += QStringLiteral("  [") + volume.name + u']';
        return text;
    }
    QString text = drive.left(2).toLower();
    if (!volume.name.isEmpty())
        text += QStringLiteral(" [") + volume.name + u']';
    return text;
}

QString currentFolder(const QString &root)
{
    const QString drive = driveOf(root);
    if (drive.isEmpty())
        return root;
    // "D:" alone is the drive's current folder, as the system keeps it for the program:
    // the start folder on the drive the program was started from, else what it inherited,
    // else the root. Only the name is worked out; the drive is not touched.
    const std::wstring bare = wide(drive.left(2));
    wchar_t full[MAX_PATH + 1] = {};
    const DWORD length = GetFullPathNameW(bare.c_str(), MAX_PATH + 1, full, nullptr);
    if (length == 0 || length > MAX_PATH)
        return drive;
    const QString folder = QDir::cleanPath(QDir::fromNativeSeparators(fromWide(full)));
    return folder.startsWith(drive.left(2), Qt::CaseInsensitive) ? folder : drive;
}

bool isOnSameVolume(const QString &path, const QString &other)
{
    // The drive letter (or the share) is the volume; nothing has to be asked of the drive.
    const auto volumeName = [](const QString &path) {
        const QString clean = QDir::fromNativeSeparators(QFileInfo(path).absoluteFilePath());
        if (clean.size() >= 2 && clean[1] == u':')
            return clean.left(2).toUpper();
        if (clean.startsWith(QLatin1String("//"))) {
            const qsizetype server = clean.indexOf(u'/', 2);
            const qsizetype share = server < 0 ? -1 : clean.indexOf(u'/', server + 1);
            return (share < 0 ? clean : clean.left(share)).toLower();
        }
        return QString();
    };
    const QString name = volumeName(path);
    return !name.isEmpty() && name == volumeName(other);
}

void failWithoutAskingForMedia()
{
    SetErrorMode(GetErrorMode() | SEM_FAILCRITICALERRORS);
}

} // namespace Volumes
