#include "AnsiCodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {
// ICU's name for Microsoft's code page 932, which has the NEC and IBM extensions
// (①, ～ as U+FF5E ...) that plain Shift-JIS lacks.
constexpr char kCodePage[] = "windows-31j";

// ICU's table comes from IBM's and differs from Windows in the single bytes: it rotates
// the controls 0x1A, 0x1C and 0x7F (0x1A reads as U+001C, 0x1C as U+007F, 0x7F as
// U+001A), reads a byte that is no character as U+001A, and drops a lead byte at the
// very end. These three bytes are never part of a two-byte character, so they are
// converted here one to one, and ICU only sees the text between them.
bool isRotatedControl(char16_t c)
{
    return c == 0x1A || c == 0x1C || c == 0x7F;
}

// Text of bytes without the rotated controls: ICU's U+001A is then always a byte that is
// no character. The line end makes ICU finish a lead byte left over at the end.
QString decodeRun(QStringDecoder &decoder, QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return QString();
    QString text = decoder.decode(bytes.toByteArray() + '\n');
    text.chop(1);
    text.replace(QChar(0x1A), QChar::ReplacementCharacter);
    return text;
}

bool encodeRun(QStringEncoder &encoder, QStringView text, QByteArray *bytes)
{
    if (text.isEmpty())
        return true;
    bytes->append(encoder.encode(text));
    return !encoder.hasError();
}
} // namespace

namespace AnsiCodec {

std::optional<QByteArray> encode(const QString &text)
{
    QStringEncoder encoder(kCodePage, QStringConverter::Flag::Stateless);
    if (!encoder.isValid())
        return std::nullopt;
    QByteArray bytes;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!isRotatedControl(text[i].unicode()))
            continue;
        if (!encodeRun(encoder, QStringView(text).sliced(start, i - start), &bytes))
            return std::nullopt;
        bytes.append(static_cast<char>(text[i].unicode()));
        start = i + 1;
    }
    if (!encodeRun(encoder, QStringView(text).sliced(start), &bytes))
        return std::nullopt;
    return bytes;
}

bool canEncode(const QString &text)
{
    return encode(text).has_value();
}

QString decode(const QByteArray &bytes)
{
    QStringDecoder decoder(kCodePage, QStringConverter::Flag::Stateless);
    QString text;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (!isRotatedControl(static_cast<unsigned char>(bytes[i])))
            continue;
        text += decodeRun(decoder, QByteArrayView(bytes).sliced(start, i - start));
        text += QChar(static_cast<unsigned char>(bytes[i]));
        start = i + 1;
    }
    text += decodeRun(decoder, QByteArrayView(bytes).sliced(start));
    return text;
}

} // namespace AnsiCodec
