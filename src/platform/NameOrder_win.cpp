#include "NameOrder.h"

#include <numeric>

#include <windows.h>

// Windows' own comparison, as Explorer sorts: the user's locale, case aside, digits as
// numbers. Its sort keys cannot take the numbers by value, so the names are compared
// as they are.
QList<quint32> NameOrder::of(const Directory::Listing &listing,
                             const std::function<void()> &progress)
{
    const qsizetype count = listing.count();
    QList<quint32> order(count);
    std::iota(order.begin(), order.end(), 0u);
    if (progress)
        progress();
    constexpr DWORD flags = LINGUISTIC_IGNORECASE | SORT_DIGITSASNUMBERS;
    std::sort(order.begin(), order.end(), [&](quint32 a, quint32 b) {
        const QStringView nameA = listing.name(a);
        const QStringView nameB = listing.name(b);
        const int result = ::CompareStringEx(
            LOCALE_NAME_USER_DEFAULT, flags, reinterpret_cast<const wchar_t *>(nameA.utf16()),
            int(nameA.size()), reinterpret_cast<const wchar_t *>(nameB.utf16()),
            int(nameB.size()), nullptr, nullptr, 0);
        // Names that differ only in case keep one order from run to run.
        return result == CSTR_EQUAL || result == 0 ? nameA < nameB : result == CSTR_LESS_THAN;
    });
    return order;
}
