#include "RecordTestSupport.h"
#include "TestEntries.h"

#include "record/RecordBoxes.h"
#include "record/RecordCreation.h"

#include <QTemporaryDir>
#include <QTest>

using Shown = FakeServices::Shown;

namespace {
const QString kTitle = QStringLiteral("確認!");
const QString kPassword
    = QStringLiteral("あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもや");
const QByteArray kPasswordHex
    = "82a082a282a482a682a882a982ab82ad82af82b182b382b582b782b982bb82bd82bf82c2"
      "82c482c682c882c982ca82cb82cc82cd82d082d382d682d982dc82dd82de82df82e082e2";

// 36 UTF-16 code units that end in the given character(s).
QString passwordEndingIn(const QString &tail)
{
    return kPassword.left(36 - tail.size()) + tail;
}

enum Command { Plain, Weight };

// One window's worth of boxes over a fresh output folder.
struct Desk
{
    QTemporaryDir dir;
    FakeServices services;
    BoxValues boxes;

    Desk(
        const QString &name, const QString &password, const QString &weight, bool clearAfter = true)
    {
        boxes.name = name;
        boxes.pass = password;
        boxes.weightText = weight;
        boxes.clearAfter = clearAfter;
        boxes.folder = dir.path();
    }
    void run(int command)
    {
        RecordCreation creation(services, boxes);
        command == Plain ? creation.createPlainRecord() : creation.createWeightRecord();
    }
    QString path(const QString &fileName) const { return dir.filePath(fileName); }
};

// A weight that makes ハヤテ's file name one longer than file systems take: 256 bytes of
// UTF-8 on Linux, 256 UTF-16 units on Windows.
QString longWeight()
{
#ifdef Q_OS_WIN
    return QString(248, u'ア'); // "ハヤテ(" ")" ".pas" are 8 units
#else
    return QString(80, u'ア') + u'5'; // 16 bytes besides
#endif
}

// The file of ハヤテ with the weight box at 48.
QString hayateFile(int command)
{
    return command == Plain ? QStringLiteral("ハヤテ.pas") : QStringLiteral("ハヤテ(48).pas");
}
} // namespace

class TestRecordCreation : public QObject
{
    Q_OBJECT

private slots:
    void goldenBytes_data();
    void goldenBytes();
    void acceptedValues_data();
    void acceptedValues();
    void refusals_data();
    void refusals();
    void overwrite_data();
    void overwrite();
    void failedWrite_data();
    void failedWrite();
    void unusableTarget_data();
    void unusableTarget();
    void changedWhileAsking_data();
    void changedWhileAsking();

private:
    void verifySaveFailure(const Desk &desk, const QString &fileName, bool asked,
                           const QString &weight = QStringLiteral("48"));
};

void TestRecordCreation::goldenBytes_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("weight");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("hex");

    // clang-format off
    QTest::newRow("plain, katakana name, hiragana password")
        << int(Plain) << "サクラ" << kPassword << "" << "サクラ.pas" << kPasswordHex + "0d0a";
    // The plain command ignores whatever is in the weight box.
    QTest::newRow("plain, weight box ignored")
        << int(Plain) << "サクラ" << kPassword << "4/8" << "サクラ.pas" << kPasswordHex + "0d0a";
    QTest::newRow("weight 48") << int(Weight) << "ハヤテ" << kPassword << "48" << "ハヤテ(48).pas"
                               << kPasswordHex + "0d0a2334380d0a";
    QTest::newRow("weight 55") << int(Weight) << "ハヤテ" << kPassword << "55" << "ハヤテ(55).pas"
                               << kPasswordHex + "0d0a2335350d0a";
    QTest::newRow("weight typed as 100")
        << int(Weight) << "ハヤテ" << kPassword << "100" << "ハヤテ(100).pas"
        << kPasswordHex + "0d0a233130300d0a";
    // ① and ～ exist only in Microsoft's code page 932; half-width katakana are single bytes.
    QTest::newRow("NEC extension, half-width kana, full-width weight")
        << int(Weight) << "ミホノ" << QStringLiteral("ABCDEFGHIJ①～ｱｲｳ漢字0123456789abcdefghi")
        << "５７" << "ミホノ(５７).pas"
        << QByteArray("4142434445464748494a87408160b1b2b38abf8e9a30313233343536373839"
                      "616263646566676869" "0d0a" "23825482560d0a");
    // What an input method outside Windows types for ～ and －: the bytes Windows writes.
    QTest::newRow("wave dash and minus sign, as typed on Linux")
        << int(Weight) << "ミホノ" << QStringLiteral("ABCDEFGHIJ〜−¢£¬‖—0123456789abcdefghi")
        << "5〜" << "ミホノ(5〜).pas"
        << QByteArray("4142434445464748494a8160817c8191819281ca8161815c30313233343536373839"
                      "616263646566676869" "0d0a" "233581600d0a");
    // clang-format on
}

void TestRecordCreation::goldenBytes()
{
    QFETCH(int, command);
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(QString, weight);
    QFETCH(QString, fileName);
    QFETCH(QByteArray, hex);

    Desk desk(name, password, weight, false);
    desk.run(command);
    QCOMPARE(desk.services.shown,
        QList { FakeServices::message(fileName + "を作成しました", 64, kTitle) });
    QCOMPARE(folderEntries(desk.dir.path()), QStringList { fileName });
    QCOMPARE(fileBytes(desk.path(fileName)), QByteArray::fromHex(hex));
    // Without clear-after-create the boxes keep what was typed.
    QCOMPARE(desk.boxes.name, name);
    QCOMPARE(desk.boxes.pass, password);
    QCOMPARE(desk.boxes.weightText, weight);
}

void TestRecordCreation::acceptedValues_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("weight");
    QTest::addColumn<QString>("fileName");

    // clang-format off
    QTest::newRow("plain, name of 9") << int(Plain) << "アイウエオカキクケ" << "" << "アイウエオカキクケ.pas";
    QTest::newRow("weight, name of 9")
        << int(Weight) << "アイウエオカキクケ" << "48" << "アイウエオカキクケ(48).pas";
    QTest::newRow("COM0 is no device") << int(Plain) << "COM0" << "" << "COM0.pas";
    QTest::newRow("CONSOLE is no device") << int(Plain) << "CONSOLE" << "" << "CONSOLE.pas";
    QTest::newRow("CONIN is no device") << int(Plain) << "CONIN" << "" << "CONIN.pas";
    QTest::newRow("dot inside a name") << int(Plain) << "a.b" << "" << "a.b.pas";
    QTest::newRow("three dots") << int(Weight) << "..." << "48" << "...(48).pas";
    QTest::newRow("plain: name .") << int(Plain) << "." << "" << "..pas";
    QTest::newRow("plain: name ..") << int(Plain) << ".." << "" << "...pas";
    QTest::newRow("weight: name ..") << int(Weight) << ".." << "48" << "..(48).pas";
    QTest::newRow("weight: CON(48) is no device") << int(Weight) << "CON" << "48" << "CON(48).pas";
    QTest::newRow("weight: lpt1(55) is no device") << int(Weight) << "lpt1" << "55" << "lpt1(55).pas";
    // 255 bytes and 255 UTF-16 units: what file systems take, also Wine's on Linux.
    QTest::newRow("weight: file name as long as file systems take")
        << int(Weight) << "N" << QString(248, u'x') << QStringLiteral("N(%1).pas").arg(QString(248, u'x'));
    // clang-format on
}

// A success with clear-after-create on: written, confirmed, and all three boxes
// emptied, the weight box too after a plain record.
void TestRecordCreation::acceptedValues()
{
    QFETCH(int, command);
    QFETCH(QString, name);
    QFETCH(QString, weight);
    QFETCH(QString, fileName);

    Desk desk(name, kPassword, weight.isEmpty() ? QStringLiteral("55") : weight);
    desk.run(command);
    QCOMPARE(desk.services.shown,
        QList { FakeServices::message(fileName + "を作成しました", 64, kTitle) });
    QCOMPARE(folderEntries(desk.dir.path()), QStringList { fileName });
    QCOMPARE(desk.boxes.name, QString());
    QCOMPARE(desk.boxes.pass, QString());
    QCOMPARE(desk.boxes.weightText, QString());
}

void TestRecordCreation::refusals_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("weight");
    QTest::addColumn<QString>("message");

    // Every check in its order: where a row breaks several, only the first is reported.
    const QString nameMissing = QStringLiteral("作成する馬名が未記入です！");
    const QString weightMissing = QStringLiteral("斤量を入力して下さい！");
    const QString passwordMissing = QStringLiteral("パスワードを入力して下さい！");
    const QString nameWrong = QStringLiteral("馬名に間違いがあります！");
    const QString lengthWrong = QStringLiteral("パスワード数に間違いがあります！");
    const QString weightWrong = QStringLiteral("斤量に間違いがあります！");
    const QString characterWrong = QStringLiteral("パスワードに使えない文字があります！");
    const QString tenLong = QStringLiteral("アイウエオカキクケコ");
    const QString bad = passwordEndingIn(QStringLiteral("ゔ"));

    // clang-format off
    QTest::newRow("plain: all empty") << int(Plain) << "" << "" << "" << nameMissing;
    QTest::newRow("plain: no name, rest fine") << int(Plain) << "" << kPassword << "" << nameMissing;
    QTest::newRow("plain: no password before wrong name")
        << int(Plain) << "a/b" << "" << "" << passwordMissing;
    QTest::newRow("plain: name of 10 before short password")
        << int(Plain) << tenLong << "abc" << "" << nameWrong;
    QTest::newRow("plain: password of 35 with bad character")
        << int(Plain) << "サクラ" << kPassword.left(34) + "ゔ" << "" << lengthWrong;
    QTest::newRow("plain: password of 37")
        << int(Plain) << "サクラ" << kPassword + "a" << "" << lengthWrong;
    QTest::newRow("plain: password with ゔ") << int(Plain) << "サクラ" << bad << "" << characterWrong;

    QTest::newRow("weight: all empty") << int(Weight) << "" << "" << "" << nameMissing;
    QTest::newRow("weight: no name, rest fine")
        << int(Weight) << "" << kPassword << "48" << nameMissing;
    QTest::newRow("weight: no weight before no password")
        << int(Weight) << "a/b" << "" << "" << weightMissing;
    QTest::newRow("weight: no password before wrong name")
        << int(Weight) << "a/b" << "" << "4/8" << passwordMissing;
    QTest::newRow("weight: name of 10 before short password and wrong weight")
        << int(Weight) << tenLong << "abc" << "4/8" << nameWrong;
    QTest::newRow("weight: short password before wrong weight")
        << int(Weight) << "ハヤテ" << "abc" << "4/8" << lengthWrong;
    QTest::newRow("weight: wrong weight before bad password character")
        << int(Weight) << "ハヤテ" << bad << "4/8" << weightWrong;
    QTest::newRow("weight: password with ゔ")
        << int(Weight) << "ハヤテ" << bad << "48" << characterWrong;
    // clang-format on

    // Unsafe names and weights, characters that code page 932 lacks.
    for (const QChar c : QStringLiteral("/\\:*?\"<>|")) {
        QTest::addRow("plain: name with %c", c.toLatin1())
            << int(Plain) << "サ" + QString(c) + "ラ" << kPassword << "" << nameWrong;
        QTest::addRow("weight: weight with %c", c.toLatin1())
            << int(Weight) << "ハヤテ" << kPassword << "4" + QString(c) << weightWrong;
    }
    QTest::newRow("weight: name with /")
        << int(Weight) << "サ/ラ" << kPassword << "48" << nameWrong;
    QTest::newRow("plain: name with tab") << int(Plain) << "サ\tラ" << kPassword << "" << nameWrong;
    QTest::newRow("plain: name with U+0001")
        << int(Plain) << QStringLiteral("サ\x01ラ") << kPassword << "" << nameWrong;
    QTest::newRow("plain: name with DEL")
        << int(Plain) << QStringLiteral("サ\x7fラ") << kPassword << "" << nameWrong;
    // Characters that make a name show as another: "\u202etxt.exe" shows as "exe.txt",
    // a zero-width character, the byte-order mark, a tag or a variation selector as the
    // name without it. Those beyond U+FFFF are two UTF-16 units, neither a format
    // character by itself.
    const struct
    {
        const char *what;
        char32_t c;
    } invisible[] = {
        {"right-to-left override", 0x202E},
        {"left-to-right isolate", 0x2066},
        {"Arabic letter mark", 0x061C},
        {"zero-width space", 0x200B},
        {"zero-width joiner", 0x200D},
        {"byte-order mark", 0xFEFF},
        {"soft hyphen", 0x00AD},
        {"line separator", 0x2028},
        {"paragraph separator", 0x2029},
        {"tag letter A", 0xE0041},
        {"tag space", 0xE0020},
        {"language tag", 0xE0001},
        {"musical symbol begin beam", 0x1D173},
        {"combining grapheme joiner", 0x034F},
        {"variation selector 16", 0xFE0F},
        {"variation selector 17", 0xE0100},
        {"Mongolian variation selector", 0x180B},
        {"Hangul filler", 0x3164},
    };
    for (const auto &[what, c] : invisible) {
        const QString shown = QStringView(QChar::fromUcs4(c)).toString();
        QTest::addRow("plain: name with %s", what)
            << int(Plain) << QStringLiteral("サクラ") + shown << kPassword << "" << nameWrong;
        QTest::addRow("weight: weight with %s", what)
            << int(Weight) << "ハヤテ" << kPassword << QStringLiteral("4") + shown + u'8'
            << weightWrong;
    }
    for (const char *device : { "CON", "con", "PRN", "Aux", "NUL", "COM1", "com9", "LPT1", "lpt1",
             "LPT9", "CON.x", "nul ", "COM¹", "lpt³", "CONIN$", "conin$", "CONOUT$", "Conout$",
             "CONIN$.x", "conout$ ", "CONIN$ .x" }) {
        QTest::addRow("plain: device name %s", device)
            << int(Plain) << device << kPassword << "" << nameWrong;
    }
    // The first dot ends the device name: lpt1.x(48).pas opens the printer.
    QTest::newRow("weight: device name lpt1 before a dot")
        << int(Weight) << "lpt1.x" << kPassword << "48" << nameWrong;
    QTest::newRow("weight: device name con before a dot")
        << int(Weight) << "con.(" << kPassword << "55" << nameWrong;
    QTest::newRow("weight: weight with line break")
        << int(Weight) << "ハヤテ" << kPassword << "4\r\n8" << weightWrong;
    QTest::newRow("weight: weight with emoji")
        << int(Weight) << "ハヤテ" << kPassword << "😀" << weightWrong;
    QTest::newRow("weight: weight with ゔ")
        << int(Weight) << "ハヤテ" << kPassword << "ゔ" << weightWrong;
    QTest::newRow("plain: password with emoji")
        << int(Plain) << "サクラ" << passwordEndingIn("😀") << "" << characterWrong;
    QTest::newRow("plain: password with 𠮷")
        << int(Plain) << "サクラ" << passwordEndingIn("𠮷") << "" << characterWrong;
    QTest::newRow("weight: password with 𠮷")
        << int(Weight) << "ハヤテ" << passwordEndingIn("𠮷") << "48" << characterWrong;
    // A line break would split the password line, and the record would read back as another.
    QTest::newRow("plain: password with CR LF")
        << int(Plain) << "サクラ" << kPassword.left(34) + "\r\n" << "" << characterWrong;
    QTest::newRow("weight: password with LF")
        << int(Weight) << "ハヤテ" << kPassword.left(35) + "\n" << "48" << characterWrong;
    // Lengths are counted in UTF-16 code units: 36 characters with 𠮷 are 37.
    QTest::newRow("plain: 36 characters with 𠮷 are 37 units")
        << int(Plain) << "サクラ" << kPassword.left(35) + "𠮷" << QString() << lengthWrong;
}

void TestRecordCreation::refusals()
{
    QFETCH(int, command);
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(QString, weight);
    QFETCH(QString, message);

    Desk desk(name, password, weight);
    desk.run(command);
    // The one message of a missing name in the weight command has no icon and the
    // program's title, as it always had.
    const bool plainBox = command == Weight && name.isEmpty();
    const QList<Shown> expected { FakeServices::beepEvent(),
        FakeServices::message(
            message, plainBox ? 0 : 48, plainBox ? QStringLiteral("Quorvel") : kTitle) };
    QCOMPARE(desk.services.shown, expected);
    QCOMPARE(folderEntries(desk.dir.path()), QStringList());
    // Clear-after-create is on, but nothing was created.
    QCOMPARE(desk.boxes.name, name);
    QCOMPARE(desk.boxes.pass, password);
    QCOMPARE(desk.boxes.weightText, weight);
}

void TestRecordCreation::overwrite_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("clearAfter");

    QTest::newRow("plain, OK, clear on") << int(Plain) << int(Services::Ok) << true;
    QTest::newRow("plain, OK, clear off") << int(Plain) << int(Services::Ok) << false;
    QTest::newRow("plain, Cancel, clear on") << int(Plain) << int(Services::Cancel) << true;
    QTest::newRow("weight, OK, clear on") << int(Weight) << int(Services::Ok) << true;
    QTest::newRow("weight, Cancel, clear on") << int(Weight) << int(Services::Cancel) << true;
}

void TestRecordCreation::overwrite()
{
    QFETCH(int, command);
    QFETCH(int, answer);
    QFETCH(bool, clearAfter);

    Desk desk(QStringLiteral("ハヤテ"), kPassword, QStringLiteral("48"), clearAfter);
    const QString fileName = hayateFile(command);
    const QByteArray newBytes
        = QByteArray::fromHex(kPasswordHex + (command == Plain ? "0d0a" : "0d0a2334380d0a"));
    const QByteArray oldBytes("old record\r\n");
    QVERIFY(writeBytes(desk.path(fileName), oldBytes));
    desk.services.answers = { answer };

    desk.run(command);
    QList<Shown> expected { FakeServices::message(
        fileName + "が既に存在します\r\n上書きしますか？", 49, kTitle) };
    if (answer == Services::Ok)
        expected.append(FakeServices::message(fileName + "を上書き保存しました", 64, kTitle));
    QCOMPARE(desk.services.shown, expected);
    QCOMPARE(folderEntries(desk.dir.path()), QStringList { fileName });
    QCOMPARE(fileBytes(desk.path(fileName)), answer == Services::Ok ? newBytes : oldBytes);
    const bool cleared = answer == Services::Ok && clearAfter;
    QCOMPARE(desk.boxes.name, cleared ? QString() : QStringLiteral("ハヤテ"));
    QCOMPARE(desk.boxes.pass, cleared ? QString() : kPassword);
    QCOMPARE(desk.boxes.weightText, cleared ? QString() : QStringLiteral("48"));
}

void TestRecordCreation::failedWrite_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<bool>("replacing");
    QTest::addColumn<qint64>("failAfter");

    QTest::newRow("plain new, nothing written") << int(Plain) << false << qint64(0);
    QTest::newRow("weight new, half written") << int(Weight) << false << qint64(20);
    QTest::newRow("plain replace, nothing written") << int(Plain) << true << qint64(0);
    QTest::newRow("weight replace, half written") << int(Weight) << true << qint64(20);
}

// A device that fails part way: the old record stays byte for byte and no
// temporary file is left behind.
void TestRecordCreation::failedWrite()
{
    QFETCH(int, command);
    QFETCH(bool, replacing);
    QFETCH(qint64, failAfter);

    Desk desk(QStringLiteral("ハヤテ"), kPassword, QStringLiteral("48"));
    const QString fileName = hayateFile(command);
    const QByteArray oldBytes = QByteArray::fromHex("82a082a20d0a2335350d0a");
    if (replacing)
        QVERIFY(writeBytes(desk.path(fileName), oldBytes));
    desk.services.answers = { Services::Ok };
    desk.services.failWriteAfter = failAfter;

    desk.run(command);
    verifySaveFailure(desk, fileName, replacing);
    QCOMPARE(folderEntries(desk.dir.path()), replacing ? QStringList { fileName } : QStringList());
    if (replacing)
        QCOMPARE(fileBytes(desk.path(fileName)), oldBytes);
}

void TestRecordCreation::unusableTarget_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("kind");

    QTest::newRow("plain, output folder removed") << int(Plain) << "removed";
    QTest::newRow("weight, output folder removed") << int(Weight) << "removed";
    QTest::newRow("plain, no output folder chosen") << int(Plain) << "none";
    QTest::newRow("weight, output folder is a file") << int(Weight) << "file";
    // A folder of the record's name is no record: no question, and the folder stays.
    QTest::newRow("plain, target is a folder") << int(Plain) << "target";
    QTest::newRow("weight, target is a folder") << int(Weight) << "target";
    // Refused before it is looked for, with its own reason.
    QTest::newRow("weight, file name too long") << int(Weight) << "long";
}

void TestRecordCreation::unusableTarget()
{
    QFETCH(int, command);
    QFETCH(QString, kind);

    const QString weight = kind == "long" ? longWeight() : QStringLiteral("48");
    Desk desk(QStringLiteral("ハヤテ"), kPassword, weight);
    const QString fileName = kind == "long" ? QStringLiteral("ハヤテ(%1).pas").arg(weight)
                                            : hayateFile(command);
    const QString sub = desk.path(QStringLiteral("出力"));
    if (kind == "removed") {
        QVERIFY(QDir().mkdir(sub) && QDir().rmdir(sub));
        desk.boxes.folder = sub;
    } else if (kind == "file") {
        QVERIFY(writeBytes(sub, "x"));
        desk.boxes.folder = sub;
    } else if (kind == "none") {
        desk.boxes.folder.clear();
    } else if (kind == "target") {
        QVERIFY(QDir().mkdir(desk.path(fileName)));
        QVERIFY(writeBytes(desk.path(fileName + "/inside.txt"), "keep"));
    }
    const QStringList before = folderEntries(desk.dir.path());
    desk.services.answers = { Services::Ok };

    desk.run(command);
    verifySaveFailure(desk, fileName, false, weight);
    if (kind == "long")
        QVERIFY2(desk.services.shown[1].text.contains(QStringLiteral("ファイル名が長すぎます")),
                 qPrintable(desk.services.shown[1].text));
    QCOMPARE(folderEntries(desk.dir.path()), before);
    QVERIFY(!QFileInfo::exists(fileName)); // nothing in the working folder either
    if (kind == "target")
        QCOMPARE(fileBytes(desk.path(fileName + "/inside.txt")), QByteArray("keep"));
}

void TestRecordCreation::changedWhileAsking_data()
{
    QTest::addColumn<QString>("change"); // what happens while the question is open
    QTest::addColumn<QString>("result"); // the message after it
    QTest::addColumn<QString>("written"); // where the new record is, below the desk; "" none

    const QString replaced = QStringLiteral("ハヤテ.pasを上書き保存しました");
    const QString created = QStringLiteral("ハヤテ.pasを作成しました");
    const QString notSaved = QStringLiteral("ハヤテ.pasを保存できませんでした！\r\n");
#ifdef Q_OS_WIN
    // The folder asked about is held, so Windows lets nobody move or delete it meanwhile.
    QTest::newRow("folder moved, a link to another put in its place")
        << "link" << replaced << "出力/ハヤテ.pas";
    QTest::newRow("folder moved, another folder put in its place")
        << "folder" << replaced << "出力/ハヤテ.pas";
    // Deleting it takes the record inside, but the folder stays.
    QTest::newRow("folder deleted") << "deleted" << created << "出力/ハヤテ.pas";
#else
    // The folder asked about is the folder written, wherever it went.
    QTest::newRow("folder moved, a link to another put in its place")
        << "link" << replaced << "出力.orig/ハヤテ.pas";
    QTest::newRow("folder moved, another folder put in its place")
        << "folder" << replaced << "出力.orig/ハヤテ.pas";
    QTest::newRow("folder deleted")
        << "deleted" << notSaved + QStringLiteral("書き込み先のフォルダが削除されています") << "";
#endif
    QTest::newRow("record deleted") << "record deleted" << created << "出力/ハヤテ.pas";
    // Another file under the record's name is somebody else's: its bytes, owner and
    // permissions stay as they are.
    QTest::newRow("record swapped for another file")
        << "record swapped"
        << notSaved + QStringLiteral("上書きを尋ねた後で、別のファイルに置き換えられたか変更されました")
        << "";
    QTest::newRow("record replaced by a link")
        << "record link" << notSaved + QStringLiteral("同じ名前のシンボリックリンクがあります")
        << "";
}

void TestRecordCreation::changedWhileAsking()
{
    QFETCH(QString, change);
    QFETCH(QString, result);
    QFETCH(QString, written);

    Desk desk(QStringLiteral("ハヤテ"), kPassword, QString());
    const QString out = desk.path(QStringLiteral("出力"));
    const QString elsewhere = desk.path(QStringLiteral("よそ"));
    const QByteArray oldBytes("old record\r\n");
    const QByteArray newBytes = QByteArray::fromHex(kPasswordHex + "0d0a");
    const QByteArray theirs("somebody else's\r\n");
    QVERIFY(QDir().mkdir(out) && QDir().mkdir(elsewhere));
    QVERIFY(writeBytes(out + QStringLiteral("/ハヤテ.pas"), oldBytes));
    QVERIFY(writeBytes(elsewhere + QStringLiteral("/ハヤテ.pas"), oldBytes));
    desk.boxes.folder = out;
    desk.services.answers = {Services::Ok};
#ifdef Q_OS_WIN
    const bool held = true;
#else
    const bool held = false;
#endif
    // A skip from inside the question would let the command run on; ask the system first.
    if (change == "record link" || (change == "link" && !held)) {
        QUORVEL_MAKE(TestEntries::link(elsewhere, desk.path(QStringLiteral("probe")), true));
        TestEntries::remove(desk.dir.path(), "probe");
    }
    desk.services.whileAsking = [&] {
        const QString record = out + QStringLiteral("/ハヤテ.pas");
        if (change == "link" || change == "folder") {
            QCOMPARE(QDir().rename(out, out + QStringLiteral(".orig")), !held);
            if (!held)
                QVERIFY((change == "link" ? TestEntries::link(elsewhere, out, true)
                                          : TestEntries::folder(desk.dir.path(), "出力"))
                        == TestEntries::Made::Yes);
        } else if (change == "deleted") {
            QCOMPARE(QDir(out).removeRecursively(), !held);
        } else if (change == "record deleted") {
            QVERIFY(QFile::remove(record));
        } else if (change == "record swapped") {
            // As another user would: a file of theirs, moved over the record.
            QVERIFY(writeBytes(out + QStringLiteral("/t"), theirs));
            QVERIFY(QFile::remove(record));
            QVERIFY(QFile::rename(out + QStringLiteral("/t"), record));
        } else if (change == "record link") {
            QVERIFY(QFile::remove(record));
            QVERIFY(TestEntries::link(elsewhere + QStringLiteral("/ハヤテ.pas"), record, false)
                    == TestEntries::Made::Yes);
        }
    };

    desk.run(Plain);
    const QString last = desk.services.shown.value(desk.services.shown.size() - 1).text;
    QCOMPARE(last, result);
    // Nothing that nobody was asked about is written.
    QCOMPARE(fileBytes(elsewhere + QStringLiteral("/ハヤテ.pas")), oldBytes);
    if (!written.isEmpty())
        QCOMPARE(fileBytes(desk.path(written)), newBytes);
    if (change == "record swapped")
        QCOMPARE(fileBytes(out + QStringLiteral("/ハヤテ.pas")), theirs);
    const QStringList left = QDir(desk.dir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &folder : left)
        QCOMPARE(folderEntries(desk.path(folder)).filter(QStringLiteral(".tmp")), QStringList());
}

// The save failed: a beep and the reason, after the question when replacing, and
// the boxes keep their text although clear-after-create is on.
void TestRecordCreation::verifySaveFailure(const Desk &desk, const QString &fileName, bool asked,
                                           const QString &weight)
{
    QList<Shown> shown = desk.services.shown;
    if (asked) {
        QVERIFY(!shown.isEmpty());
        QCOMPARE(shown.takeFirst().style, 49);
    }
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown[0], FakeServices::beepEvent());
    const QString prefix = fileName + "を保存できませんでした！\r\n";
    QVERIFY2(shown[1].text.startsWith(prefix) && shown[1].text.size() > prefix.size(),
        qPrintable(shown[1].text));
    QCOMPARE(shown[1].style, 48);
    QCOMPARE(shown[1].title, kTitle);
    QCOMPARE(desk.boxes.name, QStringLiteral("ハヤテ"));
    QCOMPARE(desk.boxes.pass, kPassword);
    QCOMPARE(desk.boxes.weightText, weight);
}

QTEST_GUILESS_MAIN(TestRecordCreation)
#include "tst_recordcreation.moc"
