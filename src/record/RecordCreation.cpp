#include "RecordCreation.h"

#include "RecordBoxes.h"
#include "RecordFile.h"
#include "platform/AnsiCodec.h"
#include "platform/Services.h"

#include <QDir>
#include <QFileInfo>

namespace {
const QString kTitle = QStringLiteral("確認!");
const QString kNameMissing = QStringLiteral("作成する馬名が未記入です！");
const QString kWeightMissing = QStringLiteral("斤量を入力して下さい！");
const QString kPasswordMissing = QStringLiteral("パスワードを入力して下さい！");
const QString kNameWrong = QStringLiteral("馬名に間違いがあります！");
const QString kPasswordLengthWrong = QStringLiteral("パスワード数に間違いがあります！");
const QString kWeightWrong = QStringLiteral("斤量に間違いがあります！");
const QString kPasswordCharacterWrong = QStringLiteral("パスワードに使えない文字があります！");

bool nameIsWrong(const QString &name, const QString &fileName)
{
    return name.size() > RecordFile::kMaxNameLength || !RecordFile::isSafeName(name, fileName);
}

bool weightIsWrong(const QString &weight)
{
    return !RecordFile::isSafeWeight(weight) || !AnsiCodec::canEncode(weight);
}
} // namespace

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

bool RecordCreation::entriesPass(Kind kind)
{
    const bool weighted = kind == Kind::Weight;
    const QString name = m_boxes.horseName();
    const QString weight = m_boxes.weight();
    const QString password = m_boxes.password();

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
    const QString fileName
        = weighted ? RecordFile::composeFileName(name, weight) : RecordFile::composeFileName(name);
    if (nameIsWrong(name, fileName))
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
    if (!entriesPass(Kind::Plain))
        return;
    const QString fileName = RecordFile::composeFileName(m_boxes.horseName());
    if (!m_services.isNormalFile(m_boxes.outputFolder(), fileName))
        IniWrite();
    else if (askOverwrite(fileName))
        IniWrite3();
}

void RecordCreation::createWeightRecord()
{
    if (!entriesPass(Kind::Weight))
        return;
    const QString fileName = RecordFile::composeFileName(m_boxes.horseName(), m_boxes.weight());
    if (!m_services.isNormalFile(m_boxes.outputFolder(), fileName))
        IniWrite2();
    else if (askOverwrite(fileName))
        IniWrite4();
}

void RecordCreation::IniWrite()
{
    writeRecord(Kind::Plain, false);
}

void RecordCreation::IniWrite2()
{
    writeRecord(Kind::Weight, false);
}

void RecordCreation::IniWrite3()
{
    writeRecord(Kind::Plain, true);
}

void RecordCreation::IniWrite4()
{
    writeRecord(Kind::Weight, true);
}

void RecordCreation::writeRecord(Kind kind, bool replacing)
{
    // The boxes are read again here, as they stand at the moment of writing.
    const QString folder = m_boxes.outputFolder();
    const QString name = m_boxes.horseName();
    const QString weight = m_boxes.weight();
    const QString fileName = kind == Kind::Plain ? RecordFile::composeFileName(name)
                                                 : RecordFile::composeFileName(name, weight);
    const QString text = kind == Kind::Plain ? RecordFile::content(m_boxes.password())
                                             : RecordFile::content(m_boxes.password(), weight);

    QString reason;
    bool saved = false;
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        reason = QStringLiteral("フォルダが見つかりません: ") + QDir::toNativeSeparators(folder);
    } else if (const auto bytes = AnsiCodec::encode(text)) {
        saved = m_services.saveFile(Services::pathIn(folder, fileName), *bytes, &reason);
    } else {
        reason = QStringLiteral("シフトJISで書けない文字があります");
    }
    if (!saved) {
        refuse(fileName + QStringLiteral("を保存できませんでした！\r\n") + reason,
               Services::Exclamation, kTitle);
        return;
    }

    m_services.messageBox(fileName
                              + (replacing ? QStringLiteral("を上書き保存しました")
                                           : QStringLiteral("を作成しました")),
                          Services::Information, kTitle);
    if (m_boxes.clearAfterCreate()) {
        m_boxes.setHorseName(QString());
        m_boxes.setPassword(QString());
        m_boxes.setWeight(QString());
    }
}
