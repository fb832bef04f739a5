#include "AnsiCodecRuns.h"

#include <windows.h>

namespace {
constexpr UINT kCodePage = 932;

bool isLeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool isTrailByte(unsigned char byte)
{
    return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}

// One character of one or two bytes, or U+FFFD where Windows has none for them.
// Asking strictly is what tells: by default Windows reads an unassigned pair as ・.
void appendCharacter(QString &text, const char *bytes, int size)
{
    wchar_t out[2];
    const int length
        = ::MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, bytes, size, out, 2);
    if (length <= 0) {
        text += QChar::ReplacementCharacter;
        return;
    }
    text += QStringView(reinterpret_cast<const char16_t *>(out), length);
}
} // namespace

namespace AnsiCodecRuns {

bool available()
{
    return ::IsValidCodePage(kCodePage);
}

bool encode(QStringView text, QByteArray *bytes)
{
    if (text.isEmpty())
        return true;
    const auto *wide = reinterpret_cast<const wchar_t *>(text.utf16());
    const int wideSize = int(text.size());
    // No best fit: Windows would otherwise write a look-alike (ä as a) without a word.
    BOOL usedDefault = FALSE;
    const int size = ::WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, wide, wideSize,
                                           nullptr, 0, nullptr, &usedDefault);
    if (size <= 0 || usedDefault)
        return false;
    const qsizetype start = bytes->size();
    bytes->resize(start + size);
    return ::WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, wide, wideSize,
                                 bytes->data() + start, size, nullptr, &usedDefault)
               == size
           && !usedDefault;
}

QString decode(QByteArrayView bytes)
{
    QString text;
    text.reserve(bytes.size());
    const char *data = bytes.data();
    const qsizetype size = bytes.size();
    qsizetype i = 0;
    while (i < size) {
        // ASCII and half-width katakana by the run; the rest a character at a time.
        qsizetype end = i;
        while (end < size && !isLeadByte(static_cast<unsigned char>(data[end])))
            ++end;
        if (end > i) {
            const int wideSize = ::MultiByteToWideChar(kCodePage, 0, data + i, int(end - i),
                                                       nullptr, 0);
            const qsizetype at = text.size();
            text.resize(at + wideSize);
            ::MultiByteToWideChar(kCodePage, 0, data + i, int(end - i),
                                  reinterpret_cast<wchar_t *>(text.data() + at), wideSize);
            i = end;
            continue;
        }
        if (i + 1 < size && isTrailByte(static_cast<unsigned char>(data[i + 1]))) {
            appendCharacter(text, data + i, 2);
            i += 2;
        } else {
            // A lead byte with no second byte after it.
            text += QChar::ReplacementCharacter;
            ++i;
        }
    }
    return text;
}

} // namespace AnsiCodecRuns
