#include "Console.h"

#include <QByteArray>

#include <cstdio>
#include <fcntl.h>
#include <io.h>

#include <windows.h>

namespace Console {

namespace {
DWORD handleNumber(Stream stream)
{
    return stream == Stream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE;
}

FILE *fileOf(Stream stream)
{
    return stream == Stream::Output ? stdout : stderr;
}

bool askConsole(Stream stream)
{
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(handleNumber(stream)), &mode) != 0;
}

bool consoles[2] = {false, false};

bool isConsole(Stream stream)
{
    return consoles[stream == Stream::Output ? 0 : 1];
}

bool hasHandle(DWORD number)
{
    const HANDLE handle = ::GetStdHandle(number);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}
} // namespace

void setUp()
{
    // A window program has no standard handles unless they were redirected; typed in a
    // console, it can still write to that console (which does not wait for it).
    if (!hasHandle(STD_OUTPUT_HANDLE) && !hasHandle(STD_ERROR_HANDLE)
        && ::AttachConsole(ATTACH_PARENT_PROCESS)) {
        const HANDLE console
            = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        ::SetStdHandle(STD_OUTPUT_HANDLE, console);
        ::SetStdHandle(STD_ERROR_HANDLE, console);
    }
    consoles[0] = askConsole(Stream::Output);
    consoles[1] = askConsole(Stream::Error);
    // Files and pipes get the UTF-8 bytes as they are, without CR added before LF.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

bool isTerminal(Stream stream)
{
    return isConsole(stream);
}

void write(Stream stream, QStringView text)
{
    if (isConsole(stream)) {
        std::fflush(fileOf(stream));
        DWORD written = 0;
        ::WriteConsoleW(::GetStdHandle(handleNumber(stream)),
                        reinterpret_cast<const wchar_t *>(text.utf16()), DWORD(text.size()),
                        &written, nullptr);
        return;
    }
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), fileOf(stream));
}

void flush()
{
    std::fflush(stdout);
    std::fflush(stderr);
}

} // namespace Console
