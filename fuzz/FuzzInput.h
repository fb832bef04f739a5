#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

// How fuzz_record reads one input, and how make_fuzz_seeds writes one.
//
// Byte 0 holds the flags below. The rest is split at kSeparator (the ASCII unit
// separator) into the fields, in order; the last field takes whatever follows, and
// missing fields are empty:
//   FileBytes   the bytes of a record file, code page 932 as it is on disk
//   ListedName  the file name as the file list shows it (text)
//   HorseName   the name box (text)
//   Password    the password box (text)
//   Weight      the weight box (text)
// Text fields are UTF-8, or UTF-16 in the machine's byte order with the Utf16 flag, which
// lets unpaired surrogates and other text that no UTF-8 decoder makes reach the code.
namespace FuzzInput {

enum Flag : std::uint8_t {
    Utf16 = 0x01, // text fields are UTF-16
    WeightMode = 0x02, // the weight-mode create command, else the plain one
    AnswerOk = 0x04, // the answer to the overwrite question, else Cancel
    ExistingFile = 0x08, // a file of the composed name is in the folder beforehand
    ClearAfter = 0x10, // 作成毎に消去 is ticked
    MissingFolder = 0x20, // the output folder does not exist
    ExistingFolder = 0x40, // a folder of the composed name is there beforehand
    LoadBytes = 0x80, // also write FileBytes to a file and load it
};

enum Field { FileBytes, ListedName, HorseName, Password, Weight, FieldCount };

inline constexpr char kSeparator = '\x1f';

struct Input
{
    std::uint8_t flags = 0;
    std::array<QByteArray, FieldCount> fields;

    bool has(Flag flag) const { return (flags & flag) != 0; }

    QString text(Field field) const
    {
        const QByteArray &bytes = fields[field];
        if (!has(Utf16))
            return QString::fromUtf8(bytes);
        // Copied first: the input bytes need not be aligned for char16_t.
        std::u16string units(static_cast<std::size_t>(bytes.size()) / 2, u'\0');
        std::memcpy(units.data(), bytes.constData(), units.size() * sizeof(char16_t));
        return QString::fromUtf16(units.data(), static_cast<qsizetype>(units.size()));
    }
};

inline Input parse(const std::uint8_t *data, std::size_t size)
{
    Input input;
    if (size == 0)
        return input;
    input.flags = data[0];
    const char *const bytes = reinterpret_cast<const char *>(data);
    std::size_t start = 1;
    for (int field = 0; field < FieldCount && start <= size; ++field) {
        std::size_t stop = size;
        if (field + 1 < FieldCount) {
            if (const void *found = std::memchr(bytes + start, kSeparator, size - start))
                stop = static_cast<std::size_t>(static_cast<const char *>(found) - bytes);
        }
        input.fields[field] = QByteArray(bytes + start, static_cast<qsizetype>(stop - start));
        start = stop + 1;
    }
    return input;
}

inline QByteArray textBytes(const QString &text, bool utf16)
{
    if (!utf16)
        return text.toUtf8();
    return QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
}

inline QByteArray pack(const Input &input)
{
    QByteArray bytes(1, static_cast<char>(input.flags));
    for (int field = 0; field < FieldCount; ++field) {
        if (field > 0)
            bytes += kSeparator;
        bytes += input.fields[field];
    }
    return bytes;
}

} // namespace FuzzInput
