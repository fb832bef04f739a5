// One create command through the real record and platform code on Windows, for the
// Windows fault sweep: the command runs against a real folder, the overwrite question is
// answered OK, and what the user would have been shown is printed.
//
//   create_once FOLDER NAME PASSWORD [--at N (--fail ERROR | --kill)]
//
// The save is linked into this program, so its Win32 file calls go through this
// program's import address table. Before the command starts, the entries of the calls
// below are pointed at wrappers here that count each call the command makes; the one
// numbered N (from 0) fails with ERROR (a Windows error number) without being made, or the
// process ends there (TerminateProcess) before it is made. CloseHandle is the exception:
// a handle is gone after a failed close too, so that one is closed and then reported failed;
// and ReplaceFileW failing with ERROR_UNABLE_TO_MOVE_REPLACEMENT leaves what Windows leaves.
//
// Printed, one per line: "call NAME" for each call made, "shown TEXT" for each message
// ("\r\n" in a message written as "\\r\\n"), then "done" (or "killed" just before the end).

#include "platform/Services.h"
#include "record/RecordBoxes.h"
#include "record/RecordCreation.h"

#include <QRandomGenerator>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include <windows.h>

namespace {
// Every call by which a save may meet the folder, the record or its temporary file, with
// what each returns when it fails. The ones the program does not import are left alone.
#define QUORVEL_WATCHED(X)                                                                         \
    X(CreateFileW, INVALID_HANDLE_VALUE)                                                           \
    X(CreateFile2, INVALID_HANDLE_VALUE)                                                           \
    X(OpenFileById, INVALID_HANDLE_VALUE)                                                          \
    X(ReOpenFile, INVALID_HANDLE_VALUE)                                                            \
    X(WriteFile, FALSE)                                                                            \
    X(ReadFile, FALSE)                                                                             \
    X(FlushFileBuffers, FALSE)                                                                     \
    X(SetEndOfFile, FALSE)                                                                         \
    X(SetFilePointerEx, FALSE)                                                                     \
    X(GetFileSizeEx, FALSE)                                                                        \
    X(GetFileType, FILE_TYPE_UNKNOWN)                                                              \
    X(GetFileInformationByHandle, FALSE)                                                           \
    X(GetFileInformationByHandleEx, FALSE)                                                         \
    X(SetFileInformationByHandle, FALSE)                                                           \
    X(GetFinalPathNameByHandleW, 0)                                                                \
    X(GetFileAttributesW, INVALID_FILE_ATTRIBUTES)                                                 \
    X(GetFileAttributesExW, FALSE)                                                                 \
    X(SetFileAttributesW, FALSE)                                                                   \
    X(SetFileTime, FALSE)                                                                          \
    X(ReplaceFileW, FALSE)                                                                         \
    X(MoveFileExW, FALSE)                                                                          \
    X(MoveFileW, FALSE)                                                                            \
    X(DeleteFileW, FALSE)                                                                          \
    X(FindFirstFileExW, INVALID_HANDLE_VALUE)                                                      \
    X(FindFirstFileW, INVALID_HANDLE_VALUE)                                                        \
    X(FindNextFileW, FALSE)                                                                        \
    X(FindClose, FALSE)                                                                            \
    X(CloseHandle, FALSE)

enum Slot {
#define QUORVEL_SLOT(name, failure) k##name,
    QUORVEL_WATCHED(QUORVEL_SLOT)
#undef QUORVEL_SLOT
        kSlots
};

void *g_real[kSlots] = {};

struct Plan
{
    bool armed = false;
    long at = -1;
    DWORD error = 0;
    bool kill = false;
};
Plan g_plan;
std::vector<const char *> g_calls;
std::string g_out;

constexpr UINT kKilledExitCode = 99;

void flushOut()
{
    std::fwrite(g_out.data(), 1, g_out.size(), stdout);
    std::fflush(stdout);
    g_out.clear();
}

// Counts the call; returns the error it is to fail with, 0 to make it.
DWORD gate(const char *name)
{
    if (!g_plan.armed)
        return 0;
    const long index = long(g_calls.size());
    g_calls.push_back(name);
    g_out += std::string("call ") + name + '\n';
    if (index != g_plan.at)
        return 0;
    if (g_plan.kill) {
        g_out += "killed\n";
        flushOut();
        ::TerminateProcess(::GetCurrentProcess(), kKilledExitCode);
    }
    return g_plan.error;
}

template <typename R> R failureOf(intptr_t bits)
{
    if constexpr (std::is_pointer_v<R>)
        return reinterpret_cast<R>(bits);
    else
        return R(bits);
}

template <Slot S, typename F> struct Wrapper;

template <Slot S, typename R, typename... A> struct Wrapper<S, R (*)(A...)>
{
    static R WINAPI call(A... arguments)
    {
        const auto real = reinterpret_cast<R(WINAPI *)(A...)>(g_real[S]);
        const DWORD error = gate(s_name);
        if (error == 0)
            return real(arguments...);
        if constexpr (S == kCloseHandle)
            real(arguments...);
        if constexpr (S == kReplaceFileW) {
            // What Windows does when it cannot give the new file the record's name and was
            // given no backup name: the record is gone, the new file keeps its own name.
            if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT) {
                g_plan.armed = false;
                ::DeleteFileW(std::get<0>(std::tuple<A...>(arguments...)));
                g_plan.armed = true;
            }
        }
        ::SetLastError(error);
        return failureOf<R>(s_failure);
    }
    static const char *s_name;
    static intptr_t s_failure;
};
template <Slot S, typename R, typename... A> const char *Wrapper<S, R (*)(A...)>::s_name = nullptr;
template <Slot S, typename R, typename... A> intptr_t Wrapper<S, R (*)(A...)>::s_failure = 0;

struct Watched
{
    const char *name;
    void *wrapper;
    const char **wrapperName;
    intptr_t *wrapperFailure;
    intptr_t failure;
};

// WINAPI is no part of the type on x86-64, so the wrapper is matched by result and
// arguments alone.
const Watched kWatched[] = {
#define QUORVEL_ENTRY(name, failure)                                                               \
    {#name, reinterpret_cast<void *>(&Wrapper<k##name, decltype(&::name)>::call),                  \
     &Wrapper<k##name, decltype(&::name)>::s_name,                                                 \
     &Wrapper<k##name, decltype(&::name)>::s_failure, intptr_t(failure)},
    QUORVEL_WATCHED(QUORVEL_ENTRY)
#undef QUORVEL_ENTRY
};

// Points this program's import entries of the watched calls at their wrappers.
bool patchImports()
{
    auto *base = reinterpret_cast<BYTE *>(::GetModuleHandleW(nullptr));
    const auto *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
    const auto *nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY &directory
        = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0)
        return false;
    int patched = 0;
    for (auto *module
         = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR *>(base + directory.VirtualAddress);
         module->Name != 0; ++module) {
        if (module->OriginalFirstThunk == 0)
            continue;
        auto *names = reinterpret_cast<const IMAGE_THUNK_DATA *>(base + module->OriginalFirstThunk);
        auto *entries = reinterpret_cast<IMAGE_THUNK_DATA *>(base + module->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++entries) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const auto *byName
                = reinterpret_cast<const IMAGE_IMPORT_BY_NAME *>(base + names->u1.AddressOfData);
            const char *name = reinterpret_cast<const char *>(byName->Name);
            for (int slot = 0; slot < kSlots; ++slot) {
                const Watched &watched = kWatched[slot];
                if (std::strcmp(name, watched.name) != 0)
                    continue;
                DWORD was = 0;
                if (!::VirtualProtect(&entries->u1.Function, sizeof entries->u1.Function,
                                      PAGE_READWRITE, &was))
                    return false;
                g_real[slot] = reinterpret_cast<void *>(entries->u1.Function);
                *watched.wrapperName = watched.name;
                *watched.wrapperFailure = watched.failure;
                entries->u1.Function = reinterpret_cast<ULONG_PTR>(watched.wrapper);
                ::VirtualProtect(&entries->u1.Function, sizeof entries->u1.Function, was, &was);
                ++patched;
            }
        }
    }
    return patched > 0;
}

class AnsweringServices : public Services
{
public:
    QStringList shown;
    int messageBox(const QString &text, int, const QString &) override
    {
        shown.append(text);
        g_out
            += "shown "
               + QString(text).replace(QLatin1String("\r\n"), QLatin1String("\\r\\n")).toStdString()
               + '\n';
        return Ok;
    }
    void beep() override { }
};
} // namespace

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: create_once FOLDER NAME PASSWORD [--at N (--fail ERROR | "
                             "--kill)]\n");
        return 2;
    }
    for (int i = 4; i < argc; ++i) {
        if (std::strcmp(argv[i], "--at") == 0 && i + 1 < argc)
            g_plan.at = std::strtol(argv[++i], nullptr, 10);
        else if (std::strcmp(argv[i], "--fail") == 0 && i + 1 < argc)
            g_plan.error = DWORD(std::strtoul(argv[++i], nullptr, 10));
        else if (std::strcmp(argv[i], "--kill") == 0)
            g_plan.kill = true;
    }

    // The arguments as Windows has them, in UTF-16: the name is Japanese.
    int count = 0;
    LPWSTR *wideArguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!wideArguments || count < 4)
        return 2;
    BoxValues boxes;
    boxes.folder = QString::fromWCharArray(wideArguments[1]);
    boxes.name = QString::fromWCharArray(wideArguments[2]);
    boxes.pass = QString::fromWCharArray(wideArguments[3]);
    ::LocalFree(wideArguments);
    AnsweringServices services;
    RecordCreation creation(services, boxes);
    // What is made once on first use is made now, so that the counted calls are the
    // command's own.
    QRandomGenerator::global()->generate();
    // The lines end as written, "\n", for the test to read.
    _setmode(_fileno(stdout), _O_BINARY);
    g_calls.reserve(256);
    g_out.reserve(1 << 16);

    if (!patchImports()) {
        std::fprintf(stderr, "create_once: the import table could not be changed\n");
        return 3;
    }
    g_plan.armed = true;
    creation.createPlainRecord();
    g_plan.armed = false;
    g_out += "done\n";
    flushOut();
    return 0;
}
