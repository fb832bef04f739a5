#include "AnsiCodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {
// ICU's name for Microsoft's code page 932, which has the NEC and IBM extensions
// (①, ～ as U+FF5E ...) that plain Shift-JIS lacks.
constexpr char kCodePage[] = "windows-31j";
} // namespace

namespace AnsiCodec {

std::optional<QByteArray> encode(const QString &text)
{
    QStringEncoder encoder(kCodePage, QStringConverter::Flag::Stateless);
    if (!encoder.isValid())
        return std::nullopt;
    QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
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
    return decoder.decode(bytes);
}

} // namespace AnsiCodec
