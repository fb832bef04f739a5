#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Record files are text in code page 932 (Shift-JIS as Windows extends it), the
// code page of the Japanese Windows systems that our users' files come from.
namespace AnsiCodec {

// Bytes for the text, or nothing when a character has no code page 932 form:
// writing a substitute byte would corrupt the record without anyone noticing.
std::optional<QByteArray> encode(const QString &text);

bool canEncode(const QString &text);

// Bytes that are not valid code page 932 become U+FFFD; valid files decode exactly.
QString decode(const QByteArray &bytes);

} // namespace AnsiCodec
