#include "DesktopServices.h"

#include <QApplication>

// Windows has no signal for a file grown beyond a limit: a write past it just fails.
void DesktopServices::ignoreFileSizeSignal()
{
}

// Qt's beep is MessageBeep, the sound the user chose for Windows' default beep.
void DesktopServices::beep()
{
    QApplication::beep();
}
