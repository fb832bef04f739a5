#include "Services.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

QString Services::startFolder()
{
    return QDir::currentPath();
}

Services::Entry Services::entryAt(const QString &folder, const QString &name) const
{
    const QString path = pathIn(folder, name);
    const QFileInfo info(path);
    if (info.isSymLink() || info.isJunction())
        return {Entry::Link};
    if (info.isDir())
        return {Entry::Folder};
    if (info.isFile())
        return {Entry::File, info.isWritable()};
    return {info.exists() ? Entry::Other : Entry::Missing};
}

bool Services::saveFile(const QString &path, const QByteArray &bytes, SaveMode mode,
                        QString *reason)
{
    const QFileInfo info(path);
    const Entry entry = entryAt(info.absolutePath(), info.fileName());
    if (const QString refusal = refusalFor(entry); !refusal.isEmpty()) {
        *reason = refusal;
        return false;
    }
    if (mode == SaveMode::NewFile && entry.kind != Entry::Missing) {
        *reason = QStringLiteral("同じ名前のファイルが既にあります");
        return false;
    }
    QSaveFile file(path);
    // Without this, QSaveFile falls back to writing the target in place when it
    // cannot create a temporary file, and a failure half-way would ruin the old record.
    file.setDirectWriteFallback(false);
    // Unbuffered, so that a refused write is seen here and not lost in a buffer.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        *reason = file.errorString();
        return false;
    }
    if (writeData(file, bytes) != bytes.size() || file.error() != QFileDevice::NoError) {
        *reason = file.error() != QFileDevice::NoError
                      ? file.errorString()
                      : QStringLiteral("書き込みが途中で失敗しました");
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *reason = file.errorString();
        return false;
    }
    return true;
}
