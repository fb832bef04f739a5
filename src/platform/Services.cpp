#include "Services.h"

#include "Directory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>

QString Services::applicationTitle()
{
    return QStringLiteral("Quorvel");
}

QString Services::pathIn(const QString &folder, const QString &name)
{
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

Services::~Services() = default;

bool Services::isNormalFile(const QString &folder, const QString &name) const
{
    return QFileInfo(pathIn(folder, name)).isFile();
}

QDateTime Services::modificationTime(const QString &path) const
{
    return Directory::modificationTime(path);
}

QString Services::applicationPath() const
{
    return QCoreApplication::applicationDirPath();
}

qint64 Services::writeData(QIODevice &device, const QByteArray &bytes)
{
    return device.write(bytes);
}

bool Services::saveFile(const QString &path, const QByteArray &bytes, QString *reason)
{
    QSaveFile file(path);
    // Without this, QSaveFile falls back to writing the target in place when it
    // cannot create a temporary file, and a failure half-way would ruin the old record.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        *reason = file.errorString();
        return false;
    }
    if (writeData(file, bytes) != bytes.size()) {
        *reason = file.error() != QFileDevice::NoError
                      ? file.errorString()
                      : QStringLiteral("書き込みが途中で失敗しました");
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *reason = file.errorString();
        return false;
    }
    return true;
}

bool Services::readFile(const QString &path, qint64 maxBytes, QByteArray *bytes,
                        QString *reason) const
{
    QFile file;
    bool exists = false;
    if (!Directory::isFile(path, &exists)) {
        *reason = exists ? QStringLiteral("ファイルではありません")
                         : QStringLiteral("ファイルが見つかりません");
        return false;
    }
    if (!Directory::openForReading(file, path, reason))
        return false;
    *bytes = file.read(maxBytes);
    if (file.error() != QFileDevice::NoError) {
        *reason = file.errorString();
        return false;
    }
    return true;
}

namespace {
#ifdef Q_OS_WIN
constexpr Qt::CaseSensitivity kPathCase = Qt::CaseInsensitive;
#else
constexpr Qt::CaseSensitivity kPathCase = Qt::CaseSensitive;
#endif

bool isPseudoFileSystem(const QStorageInfo &volume)
{
    static const QList<QByteArray> pseudo
        = {"proc",       "sysfs",      "devpts",   "devtmpfs", "cgroup",      "cgroup2",
           "securityfs", "debugfs",    "tracefs",  "pstore",   "bpf",         "mqueue",
           "hugetlbfs",  "configfs",   "fusectl",  "autofs",   "binfmt_misc", "efivarfs",
           "nsfs",       "rpc_pipefs", "squashfs", "ramfs",    "selinuxfs"};
    if (pseudo.contains(volume.fileSystemType()))
        return true;
    const QString root = volume.rootPath();
    for (const char *system : {"/proc", "/sys", "/dev", "/snap", "/boot/efi"}) {
        const QString prefix = QLatin1String(system);
        if (root == prefix || root.startsWith(prefix + u'/'))
            return true;
    }
    // /run holds the system's own tmpfs mounts; removable media appear under /run/media.
    return root.startsWith(QLatin1String("/run")) && !root.startsWith(QLatin1String("/run/media/"));
}
} // namespace

QList<Services::Volume> Services::volumes() const
{
    QList<Volume> result;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || isPseudoFileSystem(volume))
            continue;
        Volume entry {volume.rootPath(), volume.displayName()};
        if (!result.contains(entry))
            result.append(entry);
    }
    std::sort(result.begin(), result.end(),
              [](const Volume &a, const Volume &b) { return a.root < b.root; });
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

Services::Volume Services::volumeOf(const QString &path, const QList<Volume> &volumes)
{
    const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    Volume best;
    for (const Volume &volume : volumes) {
        const QString root = QDir::cleanPath(volume.root);
        const bool inside
            = clean.compare(root, kPathCase) == 0
              || clean.startsWith(root.endsWith(u'/') ? root : root + u'/', kPathCase);
        if (inside && root.size() > QDir::cleanPath(best.root).size())
            best = volume;
    }
    return best;
}
