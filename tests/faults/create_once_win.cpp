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
#include "Win32FileCalls.h"

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
using namespace Win32FileCalls;

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

// WINAPI is no part of the type on x86-64, so the wrapper is matched by result and
// arguments alone.
void *const kWrappers[kSlots] = {
#define QUORVEL_WRAPPER(name, failure)                                                             \
    reinterpret_cast<void *>(&Wrapper<k##name, decltype(&::name)>::call),
    QUORVEL_WIN32_FILE_CALLS(QUORVEL_WRAPPER)
#undef QUORVEL_WRAPPER
};

// Points this program's import entries of the watched calls at their wrappers.
bool patchImports()
{
#define QUORVEL_FAILURE(name, failure)                                                             \
    Wrapper<k##name, decltype(&::name)>::s_name = #name;                                           \
    Wrapper<k##name, decltype(&::name)>::s_failure = intptr_t(failure);
    QUORVEL_WIN32_FILE_CALLS(QUORVEL_FAILURE)
#undef QUORVEL_FAILURE
    return pointImports(kWrappers, g_real);
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
