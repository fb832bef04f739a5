#pragma once

#include <QStringView>

// The standard output and error of a command typed in a terminal or a console window:
// text goes out as UTF-8 to files and pipes, and as the console's own wide characters to
// a Windows console, so that Japanese shows right whatever its code page.
namespace Console {

enum class Stream { Output, Error };

// Once, before anything is written: a program built as a window program on Windows
// takes the console it was started from, if any.
void setUp();
bool isTerminal(Stream stream);
void write(Stream stream, QStringView text);
void flush();

} // namespace Console
