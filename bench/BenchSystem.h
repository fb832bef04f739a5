// What the benchmarks ask of the system directly, for the folders they make and for the
// bare baselines they measure the program against: BenchSystem_posix.cpp and
// BenchSystem_win.cpp, chosen by CMake.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <vector>

namespace BenchSystem {

// Ends the benchmark with what went wrong.
[[noreturn]] void fail(const char *what);

// count files named <folder>/ウマ<n>.pas holding bytes; count empty folders 厩舎<n>.
void makeRecords(const QString &folder, int count, const QByteArray &bytes);
void makeFolders(const QString &folder, int count);
// The folder's entries, which are files and empty folders only, and the folder.
void removeFlat(const QString &folder);

// What a program that only wants the names does: one pass over the folder with the
// system's own call, the entry's type, a ".pas" test in any case (or, for folders, the
// subfolders but . and ..), and a sort of the names as they came. Returns the count.
std::size_t bareScan(const QString &folder, bool folders);

// The entries of folder counted in one pass with the system's own call, nothing kept:
// what reading the folder costs by itself.
std::size_t countEntries(const QString &folder);

// What a program that reads every record once does at the least: the names as bareScan
// finds them, and each file opened, read and closed. Returns the count.
std::size_t bareRead(const QString &folder);

// bytes written durably as the program's save writes a record (a temporary file beside
// it flushed to the disk, moved over <folder>/bare(55).pas, and on POSIX the folder
// synced), and read back; the time in milliseconds, without removing the old one.
double bareRoundTrip(const QString &folder, const QByteArray &bytes);

// The system's file calls that this program's own code makes while watching is on, each
// with how often it was made and the time spent in it. On Windows, the calls of the
// program's import table (what Qt's DLLs call is not seen); elsewhere none are watched,
// as strace -c tells them there.
struct CallTime
{
    const char *name;
    long count;
    double ms;
};
void watchFileCalls(bool on);
// What was seen since the last call, the calls never made left out.
std::vector<CallTime> takeFileCallTimes();

// This process's peak resident memory (working set on Windows), in KiB.
long peakResidentKiB();

// A folder in memory for the million-record folder, or empty where there is none:
// /dev/shm on Linux; on Windows the folder that QUORVEL_BENCH_MEMORY names.
QString memoryFolder();

} // namespace BenchSystem
