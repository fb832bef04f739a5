#include "RecordTestSupport.h"

#include "record/RecordBoxes.h"
#include "record/RecordCreation.h"
#include "record/RecordFile.h"

#include <QTemporaryDir>
#include <QTest>

namespace {
// 36 hiragana and their code page 932 bytes.
const QString kPassword
    = QStringLiteral("あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもや");
const QByteArray kPasswordHex
    = "82a082a282a482a682a882a982ab82ad82af82b182b382b582b782b982bb82bd82bf82c2"
      "82c482c682c882c982ca82cb82cc82cd82d082d382d682d982dc82dd82de82df82e082e2";
// 60 different characters, so that a weight taken from the wrong place shows.
const QString kSixty
    = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz01234567");
} // namespace

class TestRecordFile : public QObject
{
    Q_OBJECT

private slots:
    void displayText_data();
    void displayText();
    void takeBack_data();
    void takeBack();
    void load_data();
    void load();
    void loadFailure_data();
    void loadFailure();
    void foreignRecordReadsBackAsOurs_data();
    void foreignRecordReadsBackAsOurs();
};

void TestRecordFile::displayText_data()
{
    QTest::addColumn<QString>("fileText");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain record") << kPassword + "\r\n" << kPassword + "\r\n";
    QTest::newRow("weight record") << kPassword + "\r\n#48\r\n" << kPassword + "\r\n#48\r\n";
    QTest::newRow("comma inside a line")
        << QStringLiteral("サクラ,ハヤテ\r\nabc") << QStringLiteral("サクラ\r\nハヤテ\r\nabc\r\n");
    QTest::newRow("empty field between commas")
        << QStringLiteral("a,,b\r\n") << QStringLiteral("a\r\n\r\nb\r\n");
    QTest::newRow("LF line ends") << QStringLiteral("a\nb\n") << QStringLiteral("a\r\nb\r\n");
    QTest::newRow("CR line ends") << QStringLiteral("a\rb\r") << QStringLiteral("a\r\nb\r\n");
    QTest::newRow("blank line kept")
        << QStringLiteral("a\r\n\r\nb") << QStringLiteral("a\r\n\r\nb\r\n");
    QTest::newRow("no final line end") << QStringLiteral("abc") << QStringLiteral("abc\r\n");
    // Reading ends at the end of the file, not at a comma that promises one more field.
    QTest::newRow("comma at the very end") << QStringLiteral("a,") << QStringLiteral("a\r\n");
    QTest::newRow("two commas at the end") << QStringLiteral("a,,") << QStringLiteral("a\r\n\r\n");
    QTest::newRow("comma alone") << QStringLiteral(",") << QStringLiteral("\r\n");
    QTest::newRow("comma before the last line end")
        << QStringLiteral("a,\r\n") << QStringLiteral("a\r\n\r\n");
    QTest::newRow("empty") << QString() << QString();
}

void TestRecordFile::displayText()
{
    QFETCH(QString, fileText);
    QFETCH(QString, expected);
    QCOMPARE(RecordFile::displayText(fileText), expected);
}

void TestRecordFile::takeBack_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("taken");
    QTest::addColumn<QString>("label12");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("weight");
    QTest::addColumn<QString>("name");

    const QString plain = kPassword + "\r\n";
    const QString weight48 = kPassword + "\r\n#48\r\n";
    // clang-format off
    QTest::newRow("plain record, 38 characters")
        << plain << "サクラ.pas" << true << "38" << kPassword << "" << "サクラ";
    QTest::newRow("weight record, 43 characters")
        << weight48 << "ハヤテ(48).pas" << true << "43" << kPassword << "48" << "ハヤテ";
    // The weight and the name are taken by position, so a weight of three
    // characters comes back cut, as it always has.
    QTest::newRow("weight of three characters, 44 characters")
        << kPassword + "\r\n#100\r\n" << "ハヤテ(100).pas" << true << "44" << kPassword << "10"
        << "ハヤテ(";
    QTest::newRow("60 characters: weight from 58-59")
        << kSixty << "A.pas" << true << "60" << kSixty.left(36) << "56" << "A";
    QTest::newRow("59 characters: weight from 40-41")
        << kSixty.left(59) << "A.pas" << true << "59" << kSixty.left(36) << "no" << "A";
    QTest::newRow("41 characters: weight from 40-41")
        << kSixty.left(41) << "A.pas" << true << "41" << kSixty.left(36) << "no" << "A";
    QTest::newRow("40 characters: no weight")
        << kSixty.left(40) << "A.pas" << true << "40" << kSixty.left(36) << "" << "A";
    QTest::newRow("shorter than 36")
        << "abc\r\n" << "サクラ.pas" << true << "5" << "abc\r\n" << "" << "サクラ";
    QTest::newRow("empty text") << "" << "サクラ.pas" << false << "" << "" << "" << "";
    QTest::newRow("base name ending in ) loses 4 more")
        << plain << "アイウエオ).pas" << true << "38" << kPassword << "" << "アイ";
    QTest::newRow("short name x).pas kept whole")
        << plain << "x).pas" << true << "38" << kPassword << "" << "x)";
    QTest::newRow("(48).pas, 8 characters: empty name")
        << weight48 << "(48).pas" << true << "43" << kPassword << "48" << "";
    // clang-format on
}

void TestRecordFile::takeBack()
{
    QFETCH(QString, text);
    QFETCH(QString, fileName);
    QFETCH(bool, taken);

    const std::optional<RecordFile::TakenBack> back = RecordFile::IniWrite1(text, fileName);
    QCOMPARE(back.has_value(), taken);
    if (!taken)
        return;
    QTEST(back->label12, "label12");
    QTEST(back->password, "password");
    QTEST(back->weight, "weight");
    QTEST(back->name, "name");
    QCOMPARE(back->fileName, fileName);
}

void TestRecordFile::load_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("truncated");

    const QString sixtyFourKiB = QString(64 * 1024, u'A') + "\r\n";
    // clang-format off
    QTest::newRow("plain record from another program")
        << QByteArray::fromHex(kPasswordHex + "0d0a") << kPassword + "\r\n" << false;
    QTest::newRow("weight record from another program")
        << QByteArray::fromHex(kPasswordHex + "0d0a2334380d0a") << kPassword + "\r\n#48\r\n" << false;
    QTest::newRow("comma inside a line")
        << QByteArray::fromHex("8354834e83892c836e838483650d0a616263")
        << QStringLiteral("サクラ\r\nハヤテ\r\nabc\r\n") << false;
    QTest::newRow("empty file") << QByteArray() << QString() << false;
    QTest::newRow("exactly 64 KiB") << QByteArray(64 * 1024, 'A') << sixtyFourKiB << false;
    QTest::newRow("one byte over 64 KiB") << QByteArray(64 * 1024 + 1, 'A') << sixtyFourKiB << true;
    QTest::newRow("1 MiB") << QByteArray(1024 * 1024, 'A') << sixtyFourKiB << true;
    // clang-format on
}

void TestRecordFile::load()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, truncated);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("サクラ.pas"));
    QVERIFY(writeBytes(path, bytes));

    FakeServices services;
    const RecordFile::Loaded loaded = RecordFile::load(services, path);
    QVERIFY(loaded.ok);
    QTEST(loaded.displayText, "expected");
    QCOMPARE(loaded.truncated, truncated);
    QVERIFY(services.shown.isEmpty());
    // An empty file gives nothing to take back.
    QCOMPARE(RecordFile::IniWrite1(loaded.displayText, QStringLiteral("サクラ.pas")).has_value(),
        !bytes.isEmpty());
}

void TestRecordFile::loadFailure_data()
{
    QTest::addColumn<bool>("makeFolder");
    QTest::newRow("missing file") << false;
    QTest::newRow("folder named like a record") << true;
}

void TestRecordFile::loadFailure()
{
    QFETCH(bool, makeFolder);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("サクラ.pas"));
    if (makeFolder)
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("サクラ.pas")));

    FakeServices services;
    const RecordFile::Loaded loaded = RecordFile::load(services, path);
    QVERIFY(!loaded.ok);
    QVERIFY(!loaded.reason.isEmpty());
    QVERIFY(loaded.displayText.isEmpty());
}

void TestRecordFile::foreignRecordReadsBackAsOurs_data()
{
    QTest::addColumn<QByteArray>("foreignHex");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("weight");

    // clang-format off
    QTest::newRow("plain") << kPasswordHex + "0d0a" << "サクラ.pas" << "サクラ" << "";
    QTest::newRow("weight 55") << kPasswordHex + "0d0a2335350d0a" << "ハヤテ(55).pas" << "ハヤテ" << "55";
    // clang-format on
}

// A record that another Windows program wrote in code page 932 with CR LF is the
// same file as ours, and both give the same boxes back.
void TestRecordFile::foreignRecordReadsBackAsOurs()
{
    QFETCH(QByteArray, foreignHex);
    QFETCH(QString, fileName);
    QFETCH(QString, name);
    QFETCH(QString, weight);

    QTemporaryDir foreignDir;
    QTemporaryDir ourDir;
    QVERIFY(foreignDir.isValid() && ourDir.isValid());
    const QByteArray foreignBytes = QByteArray::fromHex(foreignHex);
    QVERIFY(writeBytes(foreignDir.filePath(fileName), foreignBytes));

    FakeServices services;
    BoxValues boxes;
    boxes.name = name;
    boxes.pass = kPassword;
    boxes.weightText = weight;
    boxes.folder = ourDir.path();
    RecordCreation creation(services, boxes);
    if (weight.isEmpty())
        creation.createPlainRecord();
    else
        creation.createWeightRecord();
    QCOMPARE(fileBytes(ourDir.filePath(fileName)), foreignBytes);

    const RecordFile::Loaded foreign = RecordFile::load(services, foreignDir.filePath(fileName));
    const RecordFile::Loaded ours = RecordFile::load(services, ourDir.filePath(fileName));
    QVERIFY(foreign.ok && ours.ok);
    QCOMPARE(foreign.displayText, ours.displayText);

    const auto back = RecordFile::IniWrite1(foreign.displayText, fileName);
    QVERIFY(back.has_value());
    QCOMPARE(back, RecordFile::IniWrite1(ours.displayText, fileName));
    QCOMPARE(back->name, name);
    QCOMPARE(back->password, kPassword);
    QCOMPARE(back->weight, weight);
}

QTEST_GUILESS_MAIN(TestRecordFile)
#include "tst_recordfile.moc"
