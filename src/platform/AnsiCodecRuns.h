#pragma once

#include <QByteArray>
#include <QString>

// The system's own code page 932 converter, for the text between the single bytes that
// AnsiCodec converts itself (0x1A, 0x1C, 0x7F, 0x80, 0xA0, 0xFD to 0xFF).
namespace AnsiCodecRuns {

bool available();
// Appends the bytes of text; false when a character has no code page 932 form.
bool encode(QStringView text, QByteArray *bytes);
// U+FFFD for each byte or pair of bytes that is no character; a lead byte at the very
// end is one too.
QString decode(QByteArrayView bytes);

} // namespace AnsiCodecRuns
