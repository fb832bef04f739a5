#pragma once

#include "FakeServices.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTest>

// What the user saw, readable in a failed comparison.
inline char *toString(const FakeServices::Shown &shown)
{
    if (shown.beep)
        return qstrdup("beep");
    const QString text
        = QStringLiteral("message(\"%1\", %2, \"%3\")")
              .arg(QString(shown.text).replace(QStringLiteral("\r\n"), QStringLiteral("\\r\\n")))
              .arg(shown.style)
              .arg(shown.title);
    return qstrdup(text.toUtf8().constData());
}

// Every entry of the folder, hidden ones included, so that a forgotten temporary
// file shows up.
inline QStringList folderEntries(const QString &folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

inline QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return file.readAll();
}

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
