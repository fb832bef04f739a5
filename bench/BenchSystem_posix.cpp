#include "BenchSystem.h"

#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace BenchSystem {

void fail(const char *what)
{
    std::fprintf(stderr, "bench_records: %s\n", what);
    std::exit(1);
}

void makeRecords(const QString &folder, int count, const QByteArray &bytes)
{
    ::mkdir(QFile::encodeName(folder).constData(), 0755);
    const QByteArray base = QFile::encodeName(folder) + "/ウマ";
    for (int i = 0; i < count; ++i) {
        const QByteArray path = base + QByteArray::number(i) + ".pas";
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0 || ::write(fd, bytes.constData(), size_t(bytes.size())) != bytes.size())
            fail("cannot write a record");
        ::close(fd);
    }
}

void makeFolders(const QString &folder, int count)
{
    ::mkdir(QFile::encodeName(folder).constData(), 0755);
    const QByteArray base = QFile::encodeName(folder) + "/厩舎";
    for (int i = 0; i < count; ++i) {
        if (::mkdir((base + QByteArray::number(i)).constData(), 0755) != 0)
            fail("cannot make a folder");
    }
}

void removeFlat(const QString &folder)
{
    const QByteArray path = QFile::encodeName(folder);
    DIR *dir = ::opendir(path.constData());
    if (!dir)
        return;
    while (const dirent *entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        ::unlinkat(::dirfd(dir), entry->d_name, entry->d_type == DT_DIR ? AT_REMOVEDIR : 0);
    }
    ::closedir(dir);
    ::rmdir(path.constData());
}

static bool endsWithPas(const char *name, size_t length)
{
    return length >= 4 && strncasecmp(name + length - 4, ".pas", 4) == 0;
}

// readdir, the entry's type, the ending, and a sort of the bytes.
std::size_t bareScan(const QString &folder, bool folders)
{
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        fail("cannot open a folder");
    std::vector<std::string> names;
    while (const dirent *entry = ::readdir(dir)) {
        const size_t length = std::strlen(entry->d_name);
        if (folders) {
            if (entry->d_type != DT_DIR || std::strcmp(entry->d_name, ".") == 0
                || std::strcmp(entry->d_name, "..") == 0)
                continue;
        } else if (entry->d_type != DT_REG || !endsWithPas(entry->d_name, length)) {
            continue;
        }
        names.emplace_back(entry->d_name, length);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names.size();
}

std::size_t countEntries(const QString &folder)
{
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        fail("cannot open a folder");
    std::size_t count = 0;
    while (::readdir(dir))
        ++count;
    ::closedir(dir);
    return count;
}

std::size_t bareRead(const QString &folder)
{
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        fail("cannot open a folder");
    std::size_t count = 0;
    char bytes[256];
    while (const dirent *entry = ::readdir(dir)) {
        if (entry->d_type != DT_REG || !endsWithPas(entry->d_name, std::strlen(entry->d_name)))
            continue;
        const int fd = ::openat(::dirfd(dir), entry->d_name, O_RDONLY | O_CLOEXEC);
        if (fd < 0 || ::read(fd, bytes, sizeof bytes) < 0)
            fail("cannot read a record");
        ::close(fd);
        ++count;
    }
    ::closedir(dir);
    return count;
}

// The file synced before the rename, the folder after it, as the program's save does.
double bareRoundTrip(const QString &folder, const QByteArray &bytes)
{
    const QByteArray target = QFile::encodeName(folder) + "/bare(55).pas";
    const QByteArray temporary = target + ".tmp";
    ::unlink(target.constData());
    QElapsedTimer timer;
    timer.start();
    int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, bytes.constData(), size_t(bytes.size())) != bytes.size()
        || ::fsync(fd) != 0 || ::close(fd) != 0
        || ::rename(temporary.constData(), target.constData()) != 0)
        fail("the bare write failed");
    const int dir = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0 || ::fsync(dir) != 0 || ::close(dir) != 0)
        fail("the bare folder sync failed");
    char back[64];
    fd = ::open(target.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::read(fd, back, sizeof back) != bytes.size())
        fail("the bare read failed");
    ::close(fd);
    return timer.nsecsElapsed() / 1e6;
}

// The kernel's VmHWM.
void watchFileCalls(bool) { }

std::vector<CallTime> takeFileCallTimes()
{
    return {};
}

long peakResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

QString memoryFolder()
{
    return QStringLiteral("/dev/shm");
}

} // namespace BenchSystem
