#include "BenchSystem.h"
#include "Win32FileCalls.h"

#include <QDir>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include <windows.h>
#include <psapi.h>

namespace BenchSystem {

namespace {
std::wstring native(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

void writeFile(const std::wstring &path, const QByteArray &bytes, DWORD disposition, bool flush)
{
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    if (file == INVALID_HANDLE_VALUE)
        fail("cannot write a file");
    const bool ok = ::WriteFile(file, bytes.constData(), DWORD(bytes.size()), &written, nullptr)
                    && written == DWORD(bytes.size()) && (!flush || ::FlushFileBuffers(file));
    if (!::CloseHandle(file) || !ok)
        fail("cannot write a file");
}

// Calls seen(name, isFolder) for each entry of folder but . and .., in one pass.
template <typename Seen>
void eachEntry(const QString &folder, Seen seen)
{
    WIN32_FIND_DATAW data;
    const HANDLE find = ::FindFirstFileExW((native(folder) + L"\\*").c_str(), FindExInfoBasic, &data,
                                           FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const wchar_t *name = data.cFileName;
        if (std::wcscmp(name, L".") == 0 || std::wcscmp(name, L"..") == 0)
            continue;
        seen(name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
}
} // namespace

void fail(const char *what)
{
    std::fprintf(stderr, "bench_records: %s (error %lu)\n", what, ::GetLastError());
    std::exit(1);
}

void makeRecords(const QString &folder, int count, const QByteArray &bytes)
{
    ::CreateDirectoryW(native(folder).c_str(), nullptr);
    const std::wstring base = native(folder) + L"\\ウマ";
    for (int i = 0; i < count; ++i)
        writeFile(base + std::to_wstring(i) + L".pas", bytes, CREATE_ALWAYS, false);
}

void makeFolders(const QString &folder, int count)
{
    ::CreateDirectoryW(native(folder).c_str(), nullptr);
    const std::wstring base = native(folder) + L"\\厩舎";
    for (int i = 0; i < count; ++i) {
        if (!::CreateDirectoryW((base + std::to_wstring(i)).c_str(), nullptr))
            fail("cannot make a folder");
    }
}

void removeFlat(const QString &folder)
{
    const std::wstring base = native(folder) + L"\\";
    eachEntry(folder, [&](const wchar_t *name, bool isFolder) {
        isFolder ? ::RemoveDirectoryW((base + name).c_str()) : ::DeleteFileW((base + name).c_str());
    });
    ::RemoveDirectoryW(native(folder).c_str());
}

// FindFirstFileExW, the entry's attributes, the ending in any case, and a sort of the
// UTF-16 names.
std::size_t bareScan(const QString &folder, bool folders)
{
    std::vector<std::wstring> names;
    eachEntry(folder, [&](const wchar_t *name, bool isFolder) {
        if (isFolder != folders)
            return;
        const size_t length = std::wcslen(name);
        if (!folders && (length < 4 || _wcsicmp(name + length - 4, L".pas") != 0))
            return;
        names.emplace_back(name, length);
    });
    std::sort(names.begin(), names.end());
    return names.size();
}

std::size_t countEntries(const QString &folder)
{
    std::size_t count = 0;
    eachEntry(folder, [&](const wchar_t *, bool) { ++count; });
    return count;
}

std::size_t bareRead(const QString &folder)
{
    std::size_t count = 0;
    const std::wstring base = native(folder) + L"\\";
    eachEntry(folder, [&](const wchar_t *name, bool isFolder) {
        const size_t length = std::wcslen(name);
        if (isFolder || length < 4 || _wcsicmp(name + length - 4, L".pas") != 0)
            return;
        const HANDLE file
            = ::CreateFileW((base + name).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        char bytes[256];
        DWORD read = 0;
        if (file == INVALID_HANDLE_VALUE || !::ReadFile(file, bytes, sizeof bytes, &read, nullptr))
            fail("cannot read a record");
        ::CloseHandle(file);
        ++count;
    });
    return count;
}

// The file flushed to the disk, then moved over the record with write-through, as the
// program's save does; Windows has no folder to sync.
double bareRoundTrip(const QString &folder, const QByteArray &bytes)
{
    const std::wstring target = native(folder) + L"\\bare(55).pas";
    const std::wstring temporary = target + L".tmp";
    ::DeleteFileW(target.c_str());
    QElapsedTimer timer;
    timer.start();
    writeFile(temporary, bytes, CREATE_NEW, true);
    if (!::MoveFileExW(temporary.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        fail("the bare move failed");
    const HANDLE file = ::CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    char back[64];
    DWORD read = 0;
    if (file == INVALID_HANDLE_VALUE || !::ReadFile(file, back, sizeof back, &read, nullptr)
        || read != DWORD(bytes.size()))
        fail("the bare read failed");
    ::CloseHandle(file);
    return timer.nsecsElapsed() / 1e6;
}

long peakResidentKiB()
{
    PROCESS_MEMORY_COUNTERS counters {};
    if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters))
        return -1;
    return long(counters.PeakWorkingSetSize / 1024);
}

namespace {
using namespace Win32FileCalls;

void *g_real[kSlots] = {};
bool g_watching = false;
long g_count[kSlots] = {};
LONGLONG g_ticks[kSlots] = {};

template <Slot S, typename F> struct Timed;
template <Slot S, typename R, typename... A> struct Timed<S, R (*)(A...)>
{
    static R WINAPI call(A... arguments)
    {
        const auto real = reinterpret_cast<R(WINAPI *)(A...)>(g_real[S]);
        if (!g_watching)
            return real(arguments...);
        LARGE_INTEGER start, end;
        ::QueryPerformanceCounter(&start);
        const R result = real(arguments...);
        ::QueryPerformanceCounter(&end);
        // The time taken must not change what the caller reads of the call.
        const DWORD error = ::GetLastError();
        ++g_count[S];
        g_ticks[S] += end.QuadPart - start.QuadPart;
        ::SetLastError(error);
        return result;
    }
};

void *const kTimed[kSlots] = {
#define QUORVEL_TIMED(name, failure) reinterpret_cast<void *>(&Timed<k##name, decltype(&::name)>::call),
    QUORVEL_WIN32_FILE_CALLS(QUORVEL_TIMED)
#undef QUORVEL_TIMED
};
} // namespace

void watchFileCalls(bool on)
{
    static const bool patched = pointImports(kTimed, g_real);
    if (!patched)
        fail("the import table could not be changed");
    g_watching = on;
}

std::vector<CallTime> takeFileCallTimes()
{
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    std::vector<CallTime> times;
    for (int slot = 0; slot < kSlots; ++slot) {
        if (g_count[slot] > 0)
            times.push_back({kNames[slot], g_count[slot], g_ticks[slot] * 1000.0 / frequency.QuadPart});
        g_count[slot] = 0;
        g_ticks[slot] = 0;
    }
    return times;
}

QString memoryFolder()
{
    return qEnvironmentVariable("QUORVEL_BENCH_MEMORY");
}

} // namespace BenchSystem
