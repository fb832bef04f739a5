#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Record files are text in code page 932 (Shift-JIS as Windows extends it), the
// code page of the Japanese Windows systems that our users' files come from.
namespace AnsiCodec {

// Bytes for the text, or nothing when a character has no code page 932 form:
// writing a substitute byte would corrupt the record without anyone noticing.
// Characters that other systems type for a JIS X 0208 character that Windows writes
// as another code point (〜 for ～, − for －, ...) are written as Windows writes it.
std::optional<QByteArray> encode(const QString &text);

bool canEncode(const QString &text);

// As Windows reads code page 932: the single bytes 0x80, 0xA0 and 0xFD to 0xFF become
// U+0080 and U+F8F0 to U+F8F3, and are written back as those bytes; bytes that are no
// character become U+FFFD.
QString decode(const QByteArray &bytes);

} // namespace AnsiCodec
