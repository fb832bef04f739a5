#include "Services.h"

#include "Directory.h"
#include "Volumes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>

QString Services::applicationTitle()
{
    return QStringLiteral("Quorvel");
}

QString Services::pathIn(const QString &folder, const QString &name)
{
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

Services::~Services() = default;

QString Services::refusalFor(const Entry &entry)
{
    switch (entry.kind) {
    case Entry::Missing:
        return QString();
    case Entry::File:
        return entry.writable ? QString() : QStringLiteral("読み取り専用のファイルです");
    case Entry::Folder:
        return QStringLiteral("同じ名前のフォルダがあります");
    case Entry::Link:
        return QStringLiteral("同じ名前のシンボリックリンクがあります");
    case Entry::Pipe:
        return QStringLiteral("同じ名前の名前付きパイプがあります");
    case Entry::Socket:
        return QStringLiteral("同じ名前のソケットがあります");
    case Entry::Device:
        return QStringLiteral("同じ名前のデバイスがあります");
    case Entry::Unknown:
        return QStringLiteral("同じ名前のものがあるか確かめられません: ") + entry.error;
    case Entry::Other:
        break;
    }
    return QStringLiteral("同じ名前の特殊なファイルがあります");
}

QString Services::swappedReason()
{
    return QStringLiteral("上書きを尋ねた後で、別のファイルに置き換えられたか変更されました");
}

QDateTime Services::modificationTime(const QString &path) const
{
    return Directory::modificationTime(path);
}

QString Services::applicationPath() const
{
    return QCoreApplication::applicationDirPath();
}

QList<Services::Volume> Services::volumes() const
{
    return Volumes::list();
}

Services::VolumeState Services::volumeState(const QString &root) const
{
    return Volumes::state(root);
}

namespace {
const QLatin1StringView kTemporaryStart(".quorvel-");
const QLatin1StringView kTemporaryEnd(".tmp");
} // namespace

QString Services::newTemporaryName()
{
    return kTemporaryStart + QString::number(QRandomGenerator::global()->generate(), 36)
           + kTemporaryEnd;
}

bool Services::isTemporaryName(QStringView name)
{
    if (!name.startsWith(kTemporaryStart) || !name.endsWith(kTemporaryEnd))
        return false;
    const QStringView digits = name.sliced(
        kTemporaryStart.size(), name.size() - kTemporaryStart.size() - kTemporaryEnd.size());
    return !digits.isEmpty() && digits.size() <= 7
           && std::all_of(digits.begin(), digits.end(), [](QChar c) {
                  return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z');
              });
}

qint64 Services::writeData(QIODevice &device, const QByteArray &bytes)
{
    return device.write(bytes);
}

bool Services::readFile(const QString &path, qint64 maxBytes, QByteArray *bytes,
                        QString *reason, bool *more) const
{
    // What is opened is what is judged: a path looked at first could be something else
    // (a named pipe that would never answer) by the time it is opened.
    QFile file;
    qint64 size = 0;
    if (!Directory::openForReading(file, path, reason, &size))
        return false;
    // As much as the file held when it was opened, asked for at once, so that a folder of
    // records costs one read each. A file system that gives no size (some FUSE ones) is
    // read up to a byte beyond the limit, to tell whether there is more.
    const qint64 want = size > 0 ? qMin(size, maxBytes) : maxBytes + 1;
    *bytes = file.read(want);
    if (file.error() != QFileDevice::NoError) {
        *reason = file.errorString();
        return false;
    }
    const bool beyond
        = size > 0 ? size > maxBytes && bytes->size() == want : bytes->size() > maxBytes;
    bytes->truncate(maxBytes);
    if (more)
        *more = beyond;
    return true;
}

namespace {
#ifdef Q_OS_WIN
constexpr Qt::CaseSensitivity kPathCase = Qt::CaseInsensitive;
#else
constexpr Qt::CaseSensitivity kPathCase = Qt::CaseSensitive;
#endif
} // namespace

Services::Volume Services::volumeOf(const QString &path, const QList<Volume> &volumes)
{
    const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    Volume best;
    for (const Volume &volume : volumes) {
        const QString root = QDir::cleanPath(volume.root);
        const bool inside
            = clean.compare(root, kPathCase) == 0
              || clean.startsWith(root.endsWith(u'/') ? root : root + u'/', kPathCase);
        if (inside && root.size() > QDir::cleanPath(best.root).size())
            best = volume;
    }
    return best;
}
