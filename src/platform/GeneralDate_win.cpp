#include "GeneralDate.h"

#include <QDateTime>
#include <QLocale>

#include <windows.h>

namespace GeneralDate {

QString text(const QDateTime &time)
{
    // Windows' own formatting with the user's settings, which Qt's locale would only
    // imitate: the short date, then the long time (it has the seconds).
    const QDateTime local = time.toLocalTime();
    const QDate date = local.date();
    const QTime clock = local.time();
    SYSTEMTIME system = {};
    system.wYear = WORD(date.year());
    system.wMonth = WORD(date.month());
    system.wDayOfWeek = WORD(date.dayOfWeek() % 7);
    system.wDay = WORD(date.day());
    system.wHour = WORD(clock.hour());
    system.wMinute = WORD(clock.minute());
    system.wSecond = WORD(clock.second());
    system.wMilliseconds = WORD(clock.msec());

    wchar_t dateText[128] = {};
    wchar_t timeText[128] = {};
    if (date.year() < 1601 || date.year() > 30827
        || !GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &system, nullptr, dateText,
                            128, nullptr)
        || !GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &system, nullptr, timeText, 128)) {
        // A date Windows cannot write (a file claiming a year before 1601, say).
        const QLocale locale = QLocale::system();
        return locale.toString(date, QLocale::ShortFormat) + u' '
               + locale.toString(clock, QLocale::LongFormat);
    }
    return QString::fromWCharArray(dateText) + u' ' + QString::fromWCharArray(timeText);
}

} // namespace GeneralDate
