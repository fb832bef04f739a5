#include "NameOrder.h"

#include "FirstLevelKeys.h"

#include <QCollator>

#include <cstring>
#include <memory>
#include <numeric>

#ifdef QUORVEL_ICU
#include <unicode/ucol.h>
#endif

namespace {
QCollator fileManagerCollator()
{
    // Without a locale (LANG=C) Qt compares code units and ignores the numeric mode;
    // the common rules of all languages are the better order there.
    const QLocale locale;
    QCollator collator(locale.language() == QLocale::C ? QLocale(QLocale::English) : locale);
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

#ifdef QUORVEL_ICU
// The collator's keys, all in one block: Qt keeps each key in a block of its own
// behind a pointer, and comparing those is most of the time a big folder takes.
// The keys are the ones Qt's collator makes, with the same settings, to their first
// level; names equal there are compared by the collator itself.
class SortKeys
{
public:
    explicit SortKeys(const QLocale &locale) : m_collator(collatorFor(locale)) { }
    SortKeys(const SortKeys &) = delete;
    SortKeys &operator=(const SortKeys &) = delete;

    bool ok() const { return m_collator != nullptr; }
    // Names whose first levels are equal: by all the collator's levels, then by their
    // code units. Out of line, as it is seldom needed and the sort's step stays small.
    Q_NEVER_INLINE bool tieBefore(const Directory::Listing &listing, quint32 a, quint32 b) const
    {
        const QString nameA = Directory::displayName(listing.name(a));
        const QString nameB = Directory::displayName(listing.name(b));
        const int result = ucol_strcoll(
            m_collator, reinterpret_cast<const UChar *>(nameA.utf16()), int32_t(nameA.size()),
            reinterpret_cast<const UChar *>(nameB.utf16()), int32_t(nameB.size()));
        return result != 0 ? result < 0 : listing.name(a) < listing.name(b);
    }
    void append(const QString &name)
    {
        const auto *text = reinterpret_cast<const UChar *>(name.utf16());
        int32_t room = 64;
        for (;;) {
            auto *out = reinterpret_cast<uint8_t *>(m_keys.room(room));
            const int32_t length
                = ucol_getSortKey(m_collator, text, int32_t(name.size()), out, room);
            if (length <= room) {
                m_keys.keep(length);
                return;
            }
            room = length;
        }
    }
    void reserve(qsizetype names) { m_keys.reserve(names); }
    int compare(quint32 a, quint32 b) const { return m_keys.compare(a, b); }

private:
    // Opened once for the locale and kept: opening one costs as much as sorting a
    // small folder, and every folder change sorts two lists.
    static UCollator *collatorFor(const QLocale &locale)
    {
        struct Closer
        {
            void operator()(UCollator *collator) const { ucol_close(collator); }
        };
        static std::unique_ptr<UCollator, Closer> collator;
        static QString openFor;
        const QString name = locale.name();
        if (!collator || openFor != name) {
            UErrorCode status = U_ZERO_ERROR;
            collator.reset(ucol_open(name.toLatin1().constData(), &status));
            ucol_setAttribute(collator.get(), UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
            ucol_setAttribute(collator.get(), UCOL_STRENGTH, UCOL_SECONDARY, &status);
            if (U_FAILURE(status))
                collator.reset();
            openFor = name;
        }
        return collator.get();
    }

    UCollator *m_collator;
    FirstLevelKeys m_keys;
};
#endif
} // namespace

QList<quint32> NameOrder::of(const Directory::Listing &listing,
                             const std::function<void()> &progress)
{
    const qsizetype count = listing.count();
    QList<quint32> order(count);
    std::iota(order.begin(), order.end(), 0u);
#ifdef QUORVEL_ICU
    {
        const QLocale locale;
        SortKeys keys(locale.language() == QLocale::C ? QLocale(QLocale::English) : locale);
        if (keys.ok()) {
            keys.reserve(count);
            for (qsizetype i = 0; i < count; ++i) {
                if (progress && i % 4096 == 0)
                    progress();
                keys.append(Directory::displayName(listing.name(i)));
            }
            if (progress)
                progress();
            std::sort(order.begin(), order.end(), [&](quint32 a, quint32 b) {
                const int result = keys.compare(a, b);
                return result != 0 ? result < 0 : keys.tieBefore(listing, a, b);
            });
            return order;
        }
    }
#endif
    // One key per name, made once: comparing keys is a byte comparison, while the
    // collator's own compare redoes the locale's work at every step of the sort.
    const QCollator collator = fileManagerCollator();
    std::vector<QCollatorSortKey> keys;
    keys.reserve(size_t(count));
    for (qsizetype i = 0; i < count; ++i) {
        if (progress && i % 4096 == 0)
            progress();
        keys.push_back(collator.sortKey(Directory::displayName(listing.name(i))));
    }
    if (progress)
        progress();
    std::sort(order.begin(), order.end(), [&](quint32 a, quint32 b) {
        const int byKey = keys[a].compare(keys[b]);
        // Names that differ only in case keep one order from run to run.
        return byKey != 0 ? byKey < 0 : listing.name(a) < listing.name(b);
    });
    return order;
}

