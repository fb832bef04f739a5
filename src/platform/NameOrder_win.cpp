#include "NameOrder.h"

#include "FirstLevelKeys.h"

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

// The locale's sort key of every name, made once with the flags of the comparison: the
// sort then compares bytes, where comparing the names redoes the locale's work at every
// one of its n log n steps (most of the time a big folder took).
bool appendKey(FirstLevelKeys &keys, QStringView name)
{
    int room = int(name.size()) * 6 + 16;
    for (;;) {
        const int length = ::LCMapStringEx(
            LOCALE_NAME_USER_DEFAULT, LCMAP_SORTKEY | kFlags,
            reinterpret_cast<const wchar_t *>(name.utf16()), int(name.size()),
            reinterpret_cast<wchar_t *>(keys.room(room)), room, nullptr, nullptr, 0);
        if (length > 0) {
            keys.keep(length);
            return true;
        }
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            return false;
        room = ::LCMapStringEx(LOCALE_NAME_USER_DEFAULT, LCMAP_SORTKEY | kFlags,
                               reinterpret_cast<const wchar_t *>(name.utf16()), int(name.size()),
                               nullptr, 0, nullptr, nullptr, 0);
        if (room <= 0)
            return false;
    }
}

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
        FirstLevelKeys keys;
        keys.reserve(count);
        bool made = true;
        for (qsizetype i = 0; made && i < count; ++i) {
            if (progress && i % 4096 == 0)
                progress();
            made = appendKey(keys, listing.name(i));
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
