#include "AnsiCodecRuns.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {
// ICU's name for Microsoft's code page 932, which has the NEC and IBM extensions
// (①, ～ as U+FF5E ...) that plain Shift-JIS lacks.
constexpr char kCodePage[] = "windows-31j";
} // namespace

namespace AnsiCodecRuns {

bool available()
{
    return QStringEncoder(kCodePage).isValid();
}

bool encode(QStringView text, QByteArray *bytes)
{
    if (text.isEmpty())
        return true;
    QStringEncoder converter(kCodePage, QStringConverter::Flag::Stateless);
    bytes->append(converter.encode(text));
    return !converter.hasError();
}

// ICU reads a byte that is no character as U+001A (the byte 0x1A itself never gets
// here), and drops a lead byte at the very end unless something follows it: the line
// end makes it finish that byte.
QString decode(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return QString();
    QStringDecoder decoder(kCodePage, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes.toByteArray() + '\n');
    text.chop(1);
    text.replace(QChar(0x1A), QChar::ReplacementCharacter);
    return text;
}

} // namespace AnsiCodecRuns
