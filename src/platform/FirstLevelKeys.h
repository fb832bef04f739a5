#pragma once

#include <QByteArray>

#include <algorithm>
#include <cstring>
#include <vector>

// The sort keys of a folder's names, all in one block, each kept up to its first level
// separator: the letters' own weights, without accents, case, width or kana. Behind a
// pointer each, or whole, a million keys would not leave room for the names. Comparing
// two kept keys gives the order of the whole ones wherever they differ: where one key
// stops at its separator, the other's byte there is a weight, which is greater. Keys
// that are equal this far belong to names that differ in those other levels alone, or
// not at all; the caller compares those names itself.
class FirstLevelKeys
{
public:
    void reserve(qsizetype names) { m_ends.reserve(size_t(names)); }

    // Room for the next key, of size bytes; asked again, the same room made larger.
    char *room(qsizetype size)
    {
        m_bytes.resize(start() + size);
        return m_bytes.data() + start();
    }
    // The key written into the room, length bytes with its closing zero.
    void keep(qsizetype length)
    {
        const char *key = m_bytes.constData() + start();
        const void *level = std::memchr(key, kLevelSeparator, size_t(std::max<qsizetype>(length, 0)));
        const qsizetype kept = level ? static_cast<const char *>(level) - key
                                     : std::max<qsizetype>(length - 1, 0);
        m_bytes.resize(start() + kept);
        m_ends.push_back(quint32(m_bytes.size()));
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

private:
    static constexpr char kLevelSeparator = 1;

    qsizetype start() const { return m_ends.empty() ? 0 : m_ends.back(); }

    QByteArray m_bytes;
    std::vector<quint32> m_ends;
};
