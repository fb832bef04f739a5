#include "GeneralDate.h"

#include <QDateTime>
#include <QLocale>

namespace GeneralDate {

QString text(const QDateTime &time)
{
    const QLocale locale;
    QString timeFormat = locale.timeFormat(QLocale::ShortFormat);
    if (!timeFormat.contains(u's')) {
        const qsizetype minutes = timeFormat.indexOf(QLatin1String("mm"));
        if (minutes >= 0)
            timeFormat.insert(minutes + 2, QLatin1String(":ss"));
    }
    return locale.toString(time.date(), QLocale::ShortFormat) + u' '
           + locale.toString(time.time(), timeFormat);
}

} // namespace GeneralDate
