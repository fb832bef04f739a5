#include "RecordCreation.h"

#include "RecordBoxes.h"
#include "RecordFile.h"
#include "platform/AnsiCodec.h"
#include "platform/Services.h"

namespace {
const QString kTitle = QStringLiteral("確認!");
const QString kNameMissing = QStringLiteral("作成する馬名が未記入です！");
const QString kWeightMissing = QStringLiteral("斤量を入力して下さい！");
const QString kPasswordMissing = QStringLiteral("パスワードを入力して下さい！");
const QString kNameWrong = QStringLiteral("馬名に間違いがあります！");
const QString kPasswordLengthWrong = QStringLiteral("パスワード数に間違いがあります！");
const QString kWeightWrong = QStringLiteral("斤量に間違いがあります！");
const QString kPasswordCharacterWrong = QStringLiteral("パスワードに使えない文字があります！");
// After a save whose folder could not be synced: the record has its name, but the disk
// may not hold that yet.
const QString kUnsynced
    = QStringLiteral("\r\nただし、ディスクへの書き込みを確かめられませんでした。\r\n"
                     "電源が切れると変更が失われることがあります！\r\n");

bool nameIsWrong(const QString &name, const QString &fileName)
{
    return name.size() > RecordFile::kMaxNameLength || !RecordFile::isSafeName(name, fileName);
}

bool weightIsWrong(const QString &weight)
{
    return !RecordFile::isSafeWeight(weight) || !AnsiCodec::canEncode(weight);
}
} // namespace

QString RecordCreation::nameRefusal(const QString &name, const std::optional<QString> &weight)
{
    const QString fileName
        = weight ? RecordFile::composeFileName(name, *weight) : RecordFile::composeFileName(name);
    if (name.isEmpty())
        return kNameMissing;
    if (weight && weight->isEmpty())
        return kWeightMissing;
    if (nameIsWrong(name, fileName))
        return kNameWrong;
    if (weight && weightIsWrong(*weight))
        return kWeightWrong;
    return QString();
}

RecordCreation::RecordCreation(Services &services, RecordBoxes &boxes)
    : m_services(services),
      m_boxes(boxes)
{ }

bool RecordCreation::refuse(const QString &text, int style, const QString &title)
{
    m_services.beep();
    m_services.messageBox(text, style, title);
    return false;
}

bool RecordCreation::askOverwrite(const QString &fileName)
{
    const QString question = fileName + QStringLiteral("が既に存在します\r\n上書きしますか？");
    return m_services.messageBox(question, Services::ExclamationOkCancel, kTitle) == Services::Ok;
}

RecordCreation::Entries RecordCreation::takeEntries(Kind kind) const
{
    Entries entries{kind,
                    m_boxes.horseName(),
                    m_boxes.password(),
                    kind == Kind::Weight ? m_boxes.weight() : QString(),
                    m_boxes.outputFolder(),
                    QString(),
                    QByteArray()};
    entries.fileName = kind == Kind::Plain
                           ? RecordFile::composeFileName(entries.name)
                           : RecordFile::composeFileName(entries.name, entries.weight);
    return entries;
}

bool RecordCreation::entriesPass(const Entries &entries)
{
    const bool weighted = entries.kind == Kind::Weight;
    const QString &name = entries.name;
    const QString &weight = entries.weight;
    const QString &password = entries.password;

    // In this order; only the first failure is reported.
    if (name.isEmpty()) {
        // Weight mode has always said this without an icon, under the program's title.
        return weighted ? refuse(kNameMissing, Services::OkOnly, QString())
                        : refuse(kNameMissing, Services::Exclamation, kTitle);
    }
    if (weighted && weight.isEmpty())
        return refuse(kWeightMissing, Services::Exclamation, kTitle);
    if (password.isEmpty())
        return refuse(kPasswordMissing, Services::Exclamation, kTitle);
    if (nameIsWrong(name, entries.fileName))
        return refuse(kNameWrong, Services::Exclamation, kTitle);
    if (password.size() != RecordFile::kPasswordLength)
        return refuse(kPasswordLengthWrong, Services::Exclamation, kTitle);
    if (weighted && weightIsWrong(weight))
        return refuse(kWeightWrong, Services::Exclamation, kTitle);
    if (!RecordFile::isWritablePassword(password))
        return refuse(kPasswordCharacterWrong, Services::Exclamation, kTitle);
    return true;
}

void RecordCreation::createPlainRecord()
{
    create(Kind::Plain);
}

void RecordCreation::createWeightRecord()
{
    create(Kind::Weight);
}

void RecordCreation::create(Kind kind)
{
    Entries entries = takeEntries(kind);
    // The folder is opened as the command starts and held to its end: what is checked,
    // asked about and written is this one folder, wherever it is moved meanwhile.
    QString folderReason;
    const OpenFolder folder = m_services.openFolder(entries.folder, &folderReason);
    if (!entriesPass(entries))
        return;
    if (!folder.isOpen()) {
        // None is chosen where the folder open could not be used and the list shows the
        // nearest one above it: the user has not chosen that one.
        const QString noneChosen = QStringLiteral("ファイル作成指定フォルダが選ばれていません");
        refuseSaving(entries.fileName, entries.folder.isEmpty() ? noneChosen : folderReason);
        return;
    }
    if (const QString tooLong = m_services.nameLengthRefusal(folder, entries.fileName);
        !tooLong.isEmpty()) {
        refuseSaving(entries.fileName, tooLong);
        return;
    }
    const Services::Entry existing = m_services.entryAt(folder, entries.fileName);
    // A link, a special file or a read-only record is never written over, so there is
    // nothing to ask about; nor is there when the system cannot say what is there.
    if (const QString refusal = Services::refusalFor(existing); !refusal.isEmpty()) {
        refuseSaving(entries.fileName, refusal);
        return;
    }
    const bool plain = kind == Kind::Plain;
    entries.asked = existing.identity;
    if (existing.kind == Services::Entry::Missing)
        plain ? IniWrite(folder, entries) : IniWrite2(folder, entries);
    else if (askOverwrite(entries.fileName))
        plain ? IniWrite3(folder, entries) : IniWrite4(folder, entries);
}

void RecordCreation::IniWrite(const OpenFolder &folder, const Entries &entries)
{
    writeRecord(folder, entries, false);
}

void RecordCreation::IniWrite2(const OpenFolder &folder, const Entries &entries)
{
    writeRecord(folder, entries, false);
}

void RecordCreation::IniWrite3(const OpenFolder &folder, const Entries &entries)
{
    writeRecord(folder, entries, true);
}

void RecordCreation::IniWrite4(const OpenFolder &folder, const Entries &entries)
{
    writeRecord(folder, entries, true);
}

void RecordCreation::refuseSaving(const QString &fileName, const QString &reason)
{
    refuse(fileName + QStringLiteral("を保存できませんでした！\r\n") + reason,
           Services::Exclamation, kTitle);
}

void RecordCreation::writeRecord(const OpenFolder &folder, const Entries &entries, bool replacing)
{
    const QString &fileName = entries.fileName;
    const QString text = entries.kind == Kind::Plain
                             ? RecordFile::content(entries.password)
                             : RecordFile::content(entries.password, entries.weight);
    const auto bytes = AnsiCodec::encode(text);
    if (!bytes) {
        refuseSaving(fileName, QStringLiteral("シフトJISで書けない文字があります"));
        return;
    }
    const Services::Saved saved = m_services.saveFile(
        folder, fileName, *bytes,
        replacing ? Services::SaveMode::Replace : Services::SaveMode::NewFile, entries.asked);
    if (saved.outcome == Services::Saved::Failed) {
        refuseSaving(fileName, saved.reason);
        return;
    }

    // Said as it happened: a record deleted while the question was open is created anew.
    const QString done
        = fileName
          + (saved.outcome == Services::Saved::Replaced ? QStringLiteral("を上書き保存しました")
                                                        : QStringLiteral("を作成しました"));
    if (saved.unsynced.isEmpty()) {
        m_services.messageBox(done, Services::Information, kTitle);
    } else {
        m_services.messageBox(done + kUnsynced + saved.unsynced, Services::Exclamation, kTitle);
    }
    if (m_boxes.clearAfterCreate()) {
        m_boxes.setHorseName(QString());
        m_boxes.setPassword(QString());
        m_boxes.setWeight(QString());
    }
}
