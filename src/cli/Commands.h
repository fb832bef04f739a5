#pragma once

// The commands that run without the window: a report on the records of folders, and a
// list of them for a spreadsheet. They need QtCore only, so that they run without a
// display (over ssh, from a script).
#include <QStringList>

namespace Commands {

// True when the program was started with arguments: then they name a command.
bool given(int argc, char *argv[]);
// Runs the command and returns the exit code: 0 nothing to report, 1 problems found,
// 2 a folder or file that could not be read or written, or arguments not understood.
int run(int argc, char *argv[]);

// The report on the records of folders (the current folder when none is named), under a
// QCoreApplication; returns the exit code.
int check(const QStringList &folders, bool recursive);

} // namespace Commands
