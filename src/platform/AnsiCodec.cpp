#include "AnsiCodec.h"

#include "AnsiCodecRuns.h"

#include <utility>

namespace {
// The converters differ in the single bytes: ICU's table comes from IBM's and rotates
// the controls 0x1A, 0x1C and 0x7F (0x1A reads as U+001C, 0x1C as U+007F, 0x7F as
// U+001A), and reads 0x80, 0xA0 and 0xFD to 0xFF as no character where Windows has
// U+0080 and the private-use U+F8F0 to U+F8F3 for them. These single bytes are converted
// here one to one, as Windows does, and the system's converter only sees the text
// between them.
struct SingleByte
{
    unsigned char byte;
    char16_t character;
};
constexpr SingleByte kSingleBytes[]
    = {{0x1A, 0x1A},   {0x1C, 0x1C},   {0x7F, 0x7F},   {0x80, 0x80},
       {0xA0, 0xF8F0}, {0xFD, 0xF8F1}, {0xFE, 0xF8F2}, {0xFF, 0xF8F3}};

// Input methods on Linux and macOS type these where Windows has the character on the
// right; both are the same JIS X 0208 character, so they are written as Windows writes
// its own (and read back as that).
constexpr std::pair<char16_t, char16_t> kWindowsForms[] = {
    {0x301C, 0xFF5E}, // 〜 ～
    {0x2212, 0xFF0D}, // − －
    {0x00A2, 0xFFE0}, // ¢ ￠
    {0x00A3, 0xFFE1}, // £ ￡
    {0x00AC, 0xFFE2}, // ¬ ￢
    {0x2016, 0x2225}, // ‖ ∥
    {0x2014, 0x2015}, // — ―
};

int singleByteOf(char16_t c)
{
    for (const SingleByte &single : kSingleBytes) {
        if (single.character == c)
            return single.byte;
    }
    return -1;
}

int characterOfSingleByte(unsigned char byte)
{
    for (const SingleByte &single : kSingleBytes) {
        if (single.byte == byte)
            return single.character;
    }
    return -1;
}

bool isLeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool isTrailByte(unsigned char byte)
{
    return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}

QString windowsForm(const QString &text)
{
    QString result = text;
    for (const auto &[other, windows] : kWindowsForms)
        result.replace(QChar(other), QChar(windows));
    return result;
}

} // namespace

namespace AnsiCodec {

std::optional<QByteArray> encode(const QString &text)
{
    if (!AnsiCodecRuns::available())
        return std::nullopt;
    const QString windows = windowsForm(text);
    QByteArray bytes;
    qsizetype start = 0;
    for (qsizetype i = 0; i < windows.size(); ++i) {
        const int single = singleByteOf(windows[i].unicode());
        if (single < 0)
            continue;
        if (!AnsiCodecRuns::encode(QStringView(windows).sliced(start, i - start), &bytes))
            return std::nullopt;
        bytes.append(static_cast<char>(single));
        start = i + 1;
    }
    if (!AnsiCodecRuns::encode(QStringView(windows).sliced(start), &bytes))
        return std::nullopt;
    // A converter may write some characters that code page 932 lacks as a look-alike
    // (ICU writes U+F86F as the bytes of №) without a word; such a record would read back as other text.
    if (decode(bytes) != windows)
        return std::nullopt;
    return bytes;
}

bool canEncode(const QString &text)
{
    return encode(text).has_value();
}

QString decode(const QByteArray &bytes)
{
    QString text;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        // 0x80 and 0xA0 are also second bytes of two-byte characters.
        if (isLeadByte(byte) && i + 1 < bytes.size()
            && isTrailByte(static_cast<unsigned char>(bytes[i + 1]))) {
            ++i;
            continue;
        }
        const int single = characterOfSingleByte(byte);
        if (single < 0)
            continue;
        text += AnsiCodecRuns::decode(QByteArrayView(bytes).sliced(start, i - start));
        text += QChar(single);
        start = i + 1;
    }
    text += AnsiCodecRuns::decode(QByteArrayView(bytes).sliced(start));
    return text;
}

} // namespace AnsiCodec
