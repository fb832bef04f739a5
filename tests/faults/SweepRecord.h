#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The record every swept command makes, the one it replaces, and one beside it that no
// save may touch.
inline const QString kName = QStringLiteral("アイウ");
inline const QString kFile = kName + QStringLiteral(".pas");
inline const QString kPassword = QStringLiteral("abcdefghijklmnopqrstuvwxyz0123456789");
inline const QByteArray kNewBytes = kPassword.toLatin1() + "\r\n";
inline const QByteArray kOldBytes = "OLD RECORD, NOT TO BE LOST\r\n";
inline const QString kBystander = QStringLiteral("サクラ.pas");
inline const QByteArray kBystanderBytes = "bystander\r\n";

// What one swept create command told the user, judged against what the disk holds: one
// message after the question, "saved" exactly when the whole new record is there, "not
// saved" with a reason otherwise, and no reason that names what did not happen.
// Returns what is wrong, or nothing.
inline QString judgeMessage(QStringList shown, const QString &file, bool replace, bool whole,
                            const QStringList &untrueReasons)
{
    if (replace && shown.value(0) == file + QStringLiteral("が既に存在します\r\n上書きしますか？"))
        shown.removeFirst();
    const QString result = shown.value(0);
    const QString saved
        = file
          + (replace ? QStringLiteral("を上書き保存しました") : QStringLiteral("を作成しました"));
    const bool saidSaved
        = result == saved || result.startsWith(saved + QStringLiteral("\r\nただし、"));
    const QString notSaved = file + QStringLiteral("を保存できませんでした！\r\n");
    if (shown.size() != 1
        || !(saidSaved || (result.startsWith(notSaved) && result.size() > notSaved.size())))
        return QStringLiteral("not one message saying what was done");
    if (saidSaved != whole)
        return QStringLiteral("the message does not say what is on the disk");
    for (const QString &untrue : untrueReasons) {
        if (result.contains(untrue))
            return QStringLiteral("a reason that did not happen");
    }
    return {};
}
