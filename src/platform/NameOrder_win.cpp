#include "NameOrder.h"

#include <QByteArray>

#include <cstring>
#include <numeric>
#include <vector>

#include <windows.h>

// Windows' own order, as Explorer sorts: the user's locale, case aside, digits as numbers.
namespace {

constexpr DWORD kFlags = LINGUISTIC_IGNORECASE | SORT_DIGITSASNUMBERS;

int compareNames(QStringView a, QStringView b)
{
    return ::CompareStringEx(LOCALE_NAME_USER_DEFAULT, kFlags,
                             reinterpret_cast<const wchar_t *>(a.utf16()), int(a.size()),
                             reinterpret_cast<const wchar_t *>(b.utf16()), int(b.size()), nullptr,
                             nullptr, 0);
}

// Names that the locale takes as equal (differing only in case) keep one order from run
// to run: that of their code units.
bool comesBefore(QStringView a, QStringView b)
{
    const int result = compareNames(a, b);
    return result == CSTR_EQUAL || result == 0 ? a < b : result == CSTR_LESS_THAN;
}

// The locale's sort key of every name, made once with the flags of the comparison and
// kept in one block: the sort then compares bytes, where comparing the names redoes the
// locale's work at every one of its n log n steps (most of the time a big folder took).
// Each key is kept up to its first level separator, the letters' own weights: the rest
// (accents, case, width, kana) is most of a key, and a million keys would not leave room
// for the names. Names whose first levels are equal are few, and compared whole.
class SortKeys
{
public:
    bool append(QStringView name)
    {
        const qsizetype start = m_bytes.size();
        int room = int(name.size()) * 6 + 16;
        for (;;) {
            m_bytes.resize(start + room);
            const int length = ::LCMapStringEx(
                LOCALE_NAME_USER_DEFAULT, LCMAP_SORTKEY | kFlags,
                reinterpret_cast<const wchar_t *>(name.utf16()), int(name.size()),
                reinterpret_cast<wchar_t *>(m_bytes.data() + start), room, nullptr, nullptr, 0);
            if (length > 0) {
                // Up to the first level separator; without one, the key's closing zero.
                const char *key = m_bytes.constData() + start;
                const void *level = std::memchr(key, kLevelSeparator, size_t(length));
                m_bytes.resize(start + (level ? static_cast<const char *>(level) - key : length - 1));
                break;
            }
            if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
                return false;
            room = ::LCMapStringEx(LOCALE_NAME_USER_DEFAULT, LCMAP_SORTKEY | kFlags,
                                   reinterpret_cast<const wchar_t *>(name.utf16()),
                                   int(name.size()), nullptr, 0, nullptr, nullptr, 0);
            if (room <= 0)
                return false;
        }
        m_ends.push_back(quint32(m_bytes.size()));
        return true;
    }
    int compare(quint32 a, quint32 b) const
    {
        const quint32 startA = a == 0 ? 0 : m_ends[a - 1];
        const quint32 startB = b == 0 ? 0 : m_ends[b - 1];
        const quint32 lengthA = m_ends[a] - startA;
        const quint32 lengthB = m_ends[b] - startB;
        const int bytes = std::memcmp(m_bytes.constData() + startA, m_bytes.constData() + startB,
                                      std::min(lengthA, lengthB));
        return bytes != 0 ? bytes : int(lengthA > lengthB) - int(lengthA < lengthB);
    }
    void reserve(qsizetype names, qsizetype characters)
    {
        m_ends.reserve(size_t(names));
        m_bytes.reserve(characters * 2 + names * 4);
    }

private:
    static constexpr char kLevelSeparator = 1;

    QByteArray m_bytes;
    std::vector<quint32> m_ends;
};

// Keys made by LCMapStringEx compare as CompareStringEx compares with the same flags;
// each neighbour is asked once more of CompareStringEx itself, so that the order shown
// is its order even where a version of Windows made a key that disagreed.
bool inCompareOrder(const Directory::Listing &listing, const QList<quint32> &order,
                    const std::function<void()> &progress)
{
    for (qsizetype i = 1; i < order.size(); ++i) {
        if (progress && i % 4096 == 0)
            progress();
        if (!comesBefore(listing.name(order[i - 1]), listing.name(order[i])))
            return false;
    }
    return true;
}
} // namespace

QList<quint32> NameOrder::of(const Directory::Listing &listing,
                             const std::function<void()> &progress)
{
    const qsizetype count = listing.count();
    QList<quint32> order(count);
    std::iota(order.begin(), order.end(), 0u);
    if (count < 2)
        return order;
    {
        SortKeys keys;
        keys.reserve(count, listing.text.size());
        bool made = true;
        for (qsizetype i = 0; made && i < count; ++i) {
            if (progress && i % 4096 == 0)
                progress();
            made = keys.append(listing.name(i));
        }
        if (made) {
            if (progress)
                progress();
            std::sort(order.begin(), order.end(), [&](quint32 a, quint32 b) {
                const int byKey = keys.compare(a, b);
                return byKey != 0 ? byKey < 0 : comesBefore(listing.name(a), listing.name(b));
            });
        }
        if (progress)
            progress();
        if (made && inCompareOrder(listing, order, progress))
            return order;
    }
    std::sort(order.begin(), order.end(), [&](quint32 a, quint32 b) {
        return comesBefore(listing.name(a), listing.name(b));
    });
    return order;
}
