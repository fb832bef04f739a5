#include "Volumes.h"

#include "Directory.h"

#include <QDir>
#include <QStorageInfo>

#include <sys/stat.h>

#include <algorithm>

namespace {
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

namespace Volumes {

QList<Services::Volume> list()
{
    QList<Services::Volume> result;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || isPseudoFileSystem(volume))
            continue;
        Services::Volume entry {volume.rootPath(), volume.displayName()};
        if (!result.contains(entry))
            result.append(entry);
    }
    std::sort(result.begin(), result.end(),
              [](const Services::Volume &a, const Services::Volume &b) { return a.root < b.root; });
    return result;
}

Services::VolumeState state(const QString &root)
{
    // The root must be there and readable; a volume the system knows must also say it is
    // ready. One it cannot place (inside a chroot, say) is judged by its root alone.
    const QDir dir(root);
    if (!dir.exists() || !dir.isReadable())
        return Services::VolumeState::NotReady;
    const QStorageInfo volume(root);
    return !volume.isValid() || volume.isReady() ? Services::VolumeState::Ready
                                                 : Services::VolumeState::NotReady;
}

QString text(const Services::Volume &volume)
{
    QString text = volume.root;
    if (!volume.name.isEmpty() && volume.name != volume.root)
        text += QStringLiteral("  [") + volume.name + u']';
    return text;
}

QString currentFolder(const QString &root)
{
    return root;
}

bool isOnSameVolume(const QString &path, const QString &other)
{
    struct stat a
    {
    }, b {};
    return ::stat(Directory::nativePath(path).constData(), &a) == 0
           && ::stat(Directory::nativePath(other).constData(), &b) == 0 && a.st_dev == b.st_dev;
}

void failWithoutAskingForMedia()
{
    // Unix systems never ask; a missing medium fails the call.
}

} // namespace Volumes
