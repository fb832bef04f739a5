#pragma once

#include "Directory.h"

#include <QStringDecoder>

// What the shared listing code and each system's half of it have in common.
namespace Directory::detail {

bool isAscii(QByteArrayView bytes);
// Appends the name; the decoder is passed in so that one scan builds it once.
void appendName(QString &text, QByteArrayView bytes, QStringDecoder &utf8);
// ASCII letters in any case, everything else as it is: the rule the bytes follow too, so
// that a name matches whether it was tested as bytes or as text.
bool endsWithCaseless(QStringView name, QStringView suffix);
bool endsWithAsciiCaseless(QByteArrayView bytes, QByteArrayView suffix);

// One pass over the folder into folders and files (either may be null), files only
// when their names end in suffix.
bool scan(const QString &folder, Listing *folders, Listing *files, QStringView suffix,
          const std::function<void()> &progress);

} // namespace Directory::detail
