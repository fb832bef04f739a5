#pragma once

#include <QString>

#include <optional>

class Services;

// A record file: the horse's name is the file's name, the file holds the password
// and, for a weight record, a second line "#" + weight. Lengths are counted in
// UTF-16 code units, as QString counts them.
namespace RecordFile {

inline constexpr qsizetype kMaxNameLength = 9;
inline constexpr qsizetype kPasswordLength = 36;
// Only the start of a file is read, so that a huge or foreign ".pas" file cannot
// freeze the window.
inline constexpr qint64 kReadLimit = 64 * 1024;

QString composeFileName(const QString &name);
QString composeFileName(const QString &name, const QString &weight);

QString content(const QString &password);
QString content(const QString &password, const QString &weight);

// False for a name that would leave the folder, that some file system refuses, that
// would show as another name (format characters, line separators), or that is not
// whole UTF-16 text (an unpaired surrogate); fileName is the name composed from
// it, false too when Windows would open that as a device ("CON.pas", not "CON(48).pas").
bool isSafeName(const QString &name, const QString &fileName);
// Characters that no file name on Windows may hold: control characters and \ / : * ? " < > |.
bool isForbiddenInFileNames(char32_t c);
// Characters that make a name show as another one: they draw nothing, or break the line.
bool showsAsSomethingElse(char32_t c);
// True for a file name that Windows opens as a device, whatever its folder.
bool isDeviceName(const QString &fileName);
// False for a password that cannot be written as one line of code page 932.
bool isWritablePassword(const QString &password);
// False for a weight with a character that no file name may hold.
bool isSafeWeight(const QString &weight);

// The display text of a file's text: every field (ended by a comma or a line end)
// followed by CR LF.
QString displayText(const QString &fileText);

struct Loaded
{
    bool ok = false;
    QString displayText;
    QString fileText; // the file's text before it is split into fields
    QString reason; // the system's text when !ok
    bool truncated = false; // only the first kReadLimit bytes were read
};
Loaded load(Services &services, const QString &path);

// What taking a record back puts into the window.
struct TakenBack
{
    QString label12; // length of the display text, in decimal
    QString password; // Text2
    QString weight; // Combo1
    QString fileName; // Label8
    QString name; // Text1
    bool operator==(const TakenBack &) const = default;
};
// Nothing for an empty display text: then no box changes.
std::optional<TakenBack> IniWrite1(const QString &displayText, const QString &fileName);

} // namespace RecordFile
