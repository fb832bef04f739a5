#include "Directory.h"
#include "DirectoryScan.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace Directory {

using namespace detail;

// Windows names are UTF-16 and never need escaping; Qt's iterator reads them as they are.
bool detail::scan(const QString &folder, Listing *folders, Listing *files, QStringView suffix,
                  const std::function<void()> &progress)
{
    if (!QFileInfo(folder).isDir())
        return false;
    QDir::Filters filter = QDir::NoDotAndDotDot | QDir::Hidden | QDir::System;
    if (folders)
        filter |= QDir::Dirs;
    if (files)
        filter |= QDir::Files;
    QDirIterator it(folder, filter);
    for (quint32 seen = 1; it.hasNext(); ++seen) {
        const QFileInfo info = it.nextFileInfo();
        if (progress && seen % 4096 == 0)
            progress();
        Listing *into = info.isDir() ? folders : files;
        const QString name = info.fileName();
        if (!into || (into == files && !endsWithCaseless(name, suffix)))
            continue;
        into->text += name;
        into->ends.append(quint32(into->text.size()));
    }
    return true;
}

bool isFolder(const QString &path)
{
    return QFileInfo(path).isDir();
}

bool isFile(const QString &path, bool *exists)
{
    const QFileInfo info(path);
    if (exists)
        *exists = info.exists();
    return info.isFile();
}

bool openForReading(QFile &file, const QString &path, QString *reason)
{
    file.setFileName(path);
    if (file.open(QIODevice::ReadOnly))
        return true;
    *reason = file.errorString();
    return false;
}

QDateTime modificationTime(const QString &path)
{
    return QFileInfo(path).lastModified();
}

} // namespace Directory
