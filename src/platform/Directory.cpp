#include "Directory.h"
#include "DirectoryScan.h"

#include "AnsiCodec.h"

#include <cstring>

namespace {
constexpr char16_t kEscapeBase = 0xDC00;

// Only a lone low surrogate is an escaped byte: the same code unit after a high surrogate
// is half of a character beyond the BMP, such as U+ED0CE, which a name may well hold.
bool isEscapeAt(QStringView path, qsizetype i)
{
    const char16_t unit = path[i].unicode();
    return unit >= 0xDC80 && unit <= 0xDCFF && (i == 0 || !path[i - 1].isHighSurrogate());
}
} // namespace

namespace Directory::detail {

bool isAscii(QByteArrayView bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

void appendName(QString &text, QByteArrayView bytes, QStringDecoder &utf8)
{
    if (isAscii(bytes)) {
        text.append(QLatin1StringView(bytes.data(), bytes.size()));
        return;
    }
    utf8.resetState();
    const QString decoded = utf8.decode(bytes);
    if (!utf8.hasError()) {
        text.append(decoded);
        return;
    }
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text.append(byte < 0x80 ? QChar(byte) : QChar(char16_t(kEscapeBase | byte)));
    }
}

bool endsWithCaseless(QStringView name, QStringView suffix)
{
    if (name.size() < suffix.size())
        return false;
    const QStringView tail = name.last(suffix.size());
    const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
    for (qsizetype i = 0; i < suffix.size(); ++i) {
        if (lower(tail[i].unicode()) != lower(suffix[i].unicode()))
            return false;
    }
    return true;
}

bool endsWithAsciiCaseless(QByteArrayView bytes, QByteArrayView suffix)
{
    if (suffix.isEmpty())
        return true;
    if (bytes.size() < suffix.size())
        return false;
    return qstrnicmp(bytes.data() + bytes.size() - suffix.size(), suffix.data(), suffix.size())
           == 0;
}
} // namespace Directory::detail

namespace Directory {

using namespace detail;

QString pathName(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    QString name;
    appendName(name, bytes, utf8);
    return name;
}

QByteArray nativePath(QStringView path)
{
    QByteArray bytes;
    qsizetype start = 0;
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (!isEscapeAt(path, i))
            continue;
        bytes += path.sliced(start, i - start).toUtf8();
        bytes += static_cast<char>(path[i].unicode() & 0xFF);
        start = i + 1;
    }
    bytes += path.sliced(start).toUtf8();
    return bytes;
}

bool isEscaped(QStringView path)
{
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (isEscapeAt(path, i))
            return true;
    }
    return false;
}

void Listing::keepEndingIn(QStringView suffix)
{
    if (suffix.isEmpty())
        return;
    QChar *data = text.data();
    quint32 start = 0;
    quint32 out = 0;
    qsizetype kept = 0;
    for (qsizetype i = 0; i < ends.size(); ++i) {
        const quint32 end = ends[i];
        const quint32 length = end - start;
        if (endsWithCaseless(QStringView(data + start, length), suffix)) {
            if (out != start)
                std::memmove(data + out, data + start, length * sizeof(QChar));
            out += length;
            ends[kept++] = out;
        }
        start = end;
    }
    text.truncate(out);
    ends.resize(kept);
}

QString displayName(QStringView path)
{
    if (!isEscaped(path))
        return path.toString();
    QString shown;
    for (const QStringView part : path.split(u'/')) {
        if (!shown.isEmpty() || part.data() != path.data())
            shown += u'/';
        shown += isEscaped(part) ? AnsiCodec::decode(nativePath(part)) : part.toString();
    }
    return shown;
}


namespace {
void squeeze(Listing &listing)
{
    listing.text.squeeze();
    listing.ends.squeeze();
}
} // namespace

Listing read(const QString &folder, Kind kind, QStringView suffix,
             const std::function<void()> &progress)
{
    Listing listing;
    listing.ok = kind == Kind::Files ? scan(folder, nullptr, &listing, suffix, progress)
                                     : scan(folder, &listing, nullptr, {}, progress);
    squeeze(listing);
    return listing;
}

Contents readContents(const QString &folder, const std::function<void()> &progress)
{
    Contents contents;
    const bool ok = scan(folder, &contents.folders, &contents.files, {}, progress);
    contents.folders.ok = contents.files.ok = ok;
    squeeze(contents.folders);
    squeeze(contents.files);
    return contents;
}

} // namespace Directory
