#pragma once

#include <QDir>
#include <QFileInfo>
#include <QString>

#include <string>

#include <windows.h>

// A path as the Win32 file calls take it. Plain paths stop at MAX_PATH unless the system
// lets long paths through to programs whose manifest says they can take them, which is
// off by default; a path in the "\\?\" form reaches 32767 characters either way. That
// form is taken literally (no "." or "..", no "/"), so a long path is made absolute and
// clean first. Short paths stay as they are, for the system to read as it always has.
inline std::wstring nativePath(const QString &path)
{
    // CreateDirectoryW's limit, the lowest of the calls': MAX_PATH less room for an 8.3 name.
    constexpr qsizetype kLongest = MAX_PATH - 12 - 1;
    const QString native = QDir::toNativeSeparators(path);
    if (native.size() <= kLongest || native.startsWith(QLatin1String("\\\\?\\"))
        || native.startsWith(QLatin1String("\\\\.\\")))
        return native.toStdWString();
    const QString full
        = QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    if (full.startsWith(QLatin1String("\\\\"))) // \\server\share\...
        return (QLatin1String("\\\\?\\UNC\\") + full.mid(2)).toStdWString();
    return (QLatin1String("\\\\?\\") + full).toStdWString();
}
