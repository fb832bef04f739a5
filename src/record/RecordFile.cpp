#include "RecordFile.h"

#include "platform/AnsiCodec.h"
#include "platform/Services.h"

namespace RecordFile {

namespace {
const QString kCrLf = QStringLiteral("\r\n");
const QString kExtension = QStringLiteral(".pas");

// Besides the characters no file name may hold: control characters, and characters
// that make a name show as something else: format characters (bidirectional controls
// that turn "txt.exe" round, zero-width characters and the byte-order mark, which make a
// name look exactly like another) and line and paragraph separators.
bool hasForbiddenCharacter(const QString &text)
{
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    for (const QChar c : text) {
        switch (c.category()) {
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            return true;
        default:
            if (forbidden.contains(c))
                return true;
        }
    }
    return false;
}

bool isDeviceName(const QString &fileName)
{
    // Windows opens the device for these whatever follows the first dot, so
    // "CON.pas" is never a file there; "CON(48).pas" is.
    const QString stem = fileName.section(u'.', 0, 0).trimmed().toUpper();
    static const QStringList plain = {QStringLiteral("CON"), QStringLiteral("PRN"),
                                      QStringLiteral("AUX"), QStringLiteral("NUL")};
    if (plain.contains(stem))
        return true;
    // COM¹ to COM³ and LPT¹ to LPT³ are devices too.
    static const QString digits = QStringLiteral("123456789¹²³");
    return stem.size() == 4
           && (stem.startsWith(QLatin1String("COM")) || stem.startsWith(QLatin1String("LPT")))
           && digits.contains(stem[3]);
}
} // namespace

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
    loaded.displayText = displayText(AnsiCodec::decode(bytes));
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
