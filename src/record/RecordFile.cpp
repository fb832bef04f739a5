#include "RecordFile.h"

#include "platform/AnsiCodec.h"
#include "platform/Services.h"

#include <algorithm>

namespace RecordFile {

namespace {
const QString kCrLf = QStringLiteral("\r\n");
const QString kExtension = QStringLiteral(".pas");

// Code points that draw nothing and are not format characters: the Unicode character
// database lists them as default-ignorable (DerivedCoreProperties.txt), a property that
// QChar does not give. They make a name look exactly like the name without them, as
// format characters do.
bool isIgnorableNonFormat(char32_t c)
{
    return c == 0x034F // combining grapheme joiner
           || c == 0x115F || c == 0x1160 || c == 0x3164 || c == 0xFFA0 // Hangul fillers
           || (c >= 0x17B4 && c <= 0x17B5) // Khmer inherent vowels
           || (c >= 0x180B && c <= 0x180F) // Mongolian variation selectors
           || (c >= 0xFE00 && c <= 0xFE0F) // variation selectors
           || c == 0x2065 || (c >= 0xFFF0 && c <= 0xFFF8) // kept unassigned as ignorable
           || (c >= 0xE0000 && c <= 0xE0FFF); // tags, variation selectors 17-256 and
                                              // the rest of their block
}
} // namespace

bool isForbiddenInFileNames(char32_t c)
{
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    return QChar::category(c) == QChar::Other_Control || (c < 0x80 && forbidden.contains(QChar(c)));
}

// Format characters anywhere in Unicode (bidirectional controls that turn "txt.exe"
// round, zero-width characters, the byte-order mark, tags), the other default-ignorable
// code points, and line and paragraph separators. Judged by whole code points: a tag or
// U+1D173 is a pair of UTF-16 units, neither of which is a format character by itself.
bool showsAsSomethingElse(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Other_Format:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return isIgnorableNonFormat(c);
    }
}

namespace {
bool hasForbiddenCharacter(const QString &text)
{
    const QList<uint> codePoints = text.toUcs4();
    return std::any_of(codePoints.begin(), codePoints.end(),
                       [](uint c) { return isForbiddenInFileNames(c) || showsAsSomethingElse(c); });
}
} // namespace

bool isDeviceName(const QString &fileName)
{
    // Windows opens the device for these whatever follows the first dot, so
    // "CON.pas" is never a file there; "CON(48).pas" is.
    const QString stem = fileName.section(u'.', 0, 0).trimmed().toUpper();
    // CONIN$ and CONOUT$ are the console, as CON is.
    static const QStringList plain
        = {QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"),
           QStringLiteral("NUL"), QStringLiteral("CONIN$"), QStringLiteral("CONOUT$")};
    if (plain.contains(stem))
        return true;
    // COM¹ to COM³ and LPT¹ to LPT³ are devices too.
    static const QString digits = QStringLiteral("123456789¹²³");
    return stem.size() == 4
           && (stem.startsWith(QLatin1String("COM")) || stem.startsWith(QLatin1String("LPT")))
           && digits.contains(stem[3]);
}

QString composeFileName(const QString &name)
{
    return name + kExtension;
}

QString composeFileName(const QString &name, const QString &weight)
{
    return name + u'(' + weight + u')' + kExtension;
}

QString content(const QString &password)
{
    return password + kCrLf;
}

QString content(const QString &password, const QString &weight)
{
    return password + kCrLf + u'#' + weight + kCrLf;
}

bool isSafeName(const QString &name, const QString &fileName)
{
    // A half of a surrogate pair has no form in a file name: the file would get another
    // name than the one the user is told, the same for every such name. "." and ".."
    // are no trouble: they compose "..pas" and "...pas".
    return !hasForbiddenCharacter(name) && name.isValidUtf16() && !isDeviceName(fileName);
}

bool isWritablePassword(const QString &password)
{
    // A CR or LF (pasted from elsewhere, or taken back from a record that held a comma)
    // would split the line, and the record would read back as a different password.
    return !password.contains(u'\r') && !password.contains(u'\n') && AnsiCodec::canEncode(password);
}

bool isSafeWeight(const QString &weight)
{
    return !hasForbiddenCharacter(weight);
}

QString displayText(const QString &fileText)
{
    QString result;
    result.reserve(fileText.size() + fileText.size() / 8 + 2);
    qsizetype fieldStart = 0;
    const qsizetype size = fileText.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = fileText[i];
        if (c == u',' || c == u'\r' || c == u'\n') {
            result += QStringView(fileText).sliced(fieldStart, i - fieldStart);
            result += kCrLf;
            if (c == u'\r' && i + 1 < size && fileText[i + 1] == u'\n')
                ++i;
            fieldStart = i + 1;
        }
    }
    // Reading stops at the end of the file: a comma just before it starts no field.
    if (fieldStart < size) {
        result += QStringView(fileText).sliced(fieldStart);
        result += kCrLf;
    }
    return result;
}

Loaded load(Services &services, const QString &path)
{
    Loaded loaded;
    QByteArray bytes;
    if (!services.readFile(path, kReadLimit, &bytes, &loaded.reason, &loaded.truncated))
        return loaded;
    loaded.ok = true;
    loaded.fileText = AnsiCodec::decode(bytes);
    loaded.displayText = displayText(loaded.fileText);
    return loaded;
}

std::optional<TakenBack> IniWrite1(const QString &text, const QString &fileName)
{
    if (text.isEmpty())
        return std::nullopt;
    TakenBack back;
    const qsizetype length = text.size();
    back.label12 = QString::number(length);
    back.password = text.left(kPasswordLength);
    // The weight is taken by position: the two characters after "#" of a record
    // written by us, or characters 58 and 59 of a longer text.
    if (length >= 60)
        back.weight = text.mid(57, 2);
    else if (length >= 41)
        back.weight = text.mid(39, 2);
    back.fileName = fileName;

    const qsizetype n = fileName.size();
    const QString base = fileName.left(qMax<qsizetype>(0, n - 4));
    // The name rule drops "(", two weight characters, ")" and ".pas". A base name
    // too short for that is a plain record whose name ends in ")": keep it whole,
    // so that writing it again gives the same file.
    if (base.endsWith(u')') && n >= 8)
        back.name = fileName.left(n - 8);
    else
        back.name = base;
    return back;
}

} // namespace RecordFile
