#pragma once

class QDateTime;
class QString;

namespace GeneralDate {

// A file's date and time as the user's settings write a date with its time: on Windows
// the short date and the long time the user chose there, elsewhere the locale's date and
// time, always with seconds.
QString text(const QDateTime &time);

} // namespace GeneralDate
