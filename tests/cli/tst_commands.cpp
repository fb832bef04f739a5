#include "FakeServices.h"
#include "platform/Directory.h"
#include "record/RecordBoxes.h"
#include "record/RecordCreation.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
const QString kPassword = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");

struct Run
{
    int code = -1;
    QString out;
    QString err;
};

// The program as a user starts it, with no display to be had: a command must not need one.
Run quorvel(const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(QUORVEL_PROGRAM), arguments);
    // A record that is not a file, opened so that it waits, would hold the command here.
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

enum Make { Bytes, Fifo, Folder, Link, Socket };

bool make(const QString &path, Make kind, const QByteArray &bytes)
{
    const QByteArray native = Directory::nativePath(path);
    switch (kind) {
    case Fifo:
        return ::mkfifo(native.constData(), 0644) == 0;
    case Folder:
        return ::mkdir(native.constData(), 0755) == 0;
    case Link:
        return ::symlink(bytes.constData(), native.constData()) == 0;
    case Socket: {
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, native.constData(), sizeof address.sun_path);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const bool bound = ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
        ::close(fd);
        return bound;
    }
    case Bytes:
        break;
    }
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    const bool written
        = fd >= 0 && ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    return ::close(fd) == 0 && written;
}

// Every entry's bytes and time of last change, links and special files as what they are.
QStringList snapshot(const QString &folder)
{
    QStringList state;
    for (const QFileInfo &info : QDir(folder).entryInfoList(
             QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name)) {
        QFile file(info.filePath());
        const QByteArray bytes
            = info.isFile() && !info.isSymLink() && file.open(QIODevice::ReadOnly) ? file.readAll()
                                                                                   : QByteArray();
        state.append(info.fileName() + u' '
                     + QString::number(info.lastModified().toMSecsSinceEpoch()) + u' '
                     + QString::fromLatin1(bytes.toHex()));
    }
    return state;
}

// RFC 4180, as a spreadsheet reads it.
QList<QStringList> parseCsv(const QString &text)
{
    QList<QStringList> rows(1);
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"')
                field += text[++i];
            else if (c == u'"')
                quoted = false;
            else
                field += c;
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',' || c == u'\r') {
            rows.last().append(field);
            field.clear();
            if (c == u'\r' && text.mid(i + 1, 1) == u"\n") {
                ++i;
                rows.append(QStringList());
            }
        } else {
            field += c;
        }
    }
    rows.removeLast(); // after the last CR LF
    return rows;
}
} // namespace

class TestCommands : public QObject
{
    Q_OBJECT

private slots:
    void check_data();
    void check();
    void exportRoundTrip();
    void usage_data();
    void usage();
};

void TestCommands::check_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("twin"); // a record beside it, under a name of its own
    QTest::addColumn<QString>("says");

    const QByteArray record = kPassword.toLatin1() + "\r\n";
    const QByteArray weighted = record + "#55\r\n";
    QTest::newRow("line-end-lf") << "アイ.pas" << +Bytes << kPassword.toLatin1() + "\n"
                                 << ""
                                 << "CR LFに変わります";
    QTest::newRow("line-end-cr") << "アイ.pas" << +Bytes << kPassword.toLatin1() + "\r"
                                 << ""
                                 << "CRだけ";
    QTest::newRow("no-final-line-end") << "アイ.pas" << +Bytes << kPassword.toLatin1() << ""
                                       << "改行で終わっていません";
    QTest::newRow("not-cp932") << "アイ.pas" << +Bytes << kPassword.left(35).toLatin1() + "\x82\r\n"
                               << ""
                               << "36文字目は画面に「\uFFFD」";
    QTest::newRow("comma") << "アイ.pas" << +Bytes << "ABC," + kPassword.mid(4).toLatin1() + "\r\n"
                           << ""
                           << "パスワードは「ABC<CR><LF>";
    QTest::newRow("password-length")
        << "アイ.pas" << +Bytes << kPassword.left(35).toLatin1() + "\r\n"
        << ""
        << "35文字";
    QTest::newRow("weight-line") << "アイ(55).pas" << +Bytes << record + "#48\r\n"
                                 << ""
                                 << "斤量は「48」";
    QTest::newRow("extra-lines") << "アイ(55).pas" << +Bytes << weighted + "0123456789ABCDEFGH\r\n"
                                 << ""
                                 << "斤量は「EF」";
    QTest::newRow("weight-length") << "アイ(5).pas" << +Bytes << record + "#5\r\n"
                                   << ""
                                   << "馬名は「ア」、斤量は「5<CR>」";
    QTest::newRow("name-paren") << "アイウエオ).pas" << +Bytes << record << ""
                                << "馬名は「アイ」";
    QTest::newRow("windows-name") << "ウマ?.pas" << +Bytes << record << ""
                                  << "「?」";
    QTest::newRow("device-name") << "CON.pas" << +Bytes << record << ""
                                 << "装置の名前（CON）";
    QTest::newRow("case-clash") << "ABC.pas" << +Bytes << record << "abc.pas"
                                << "「abc.pas」";
    QTest::newRow("normal-form") << "ガ.pas" << +Bytes << record << "カ\u3099.pas"
                                 << "こちらはNFC";
    QTest::newRow("invisible") << "ウ\u200Bマ.pas" << +Bytes << record << ""
                               << "U+200B";
    QTest::newRow("refused-name") << "アイウエオカキクケコ.pas" << +Bytes << record << ""
                                  << "馬名に間違いがあります！";
    // ウマ in code page 932, as an archive from Windows unpacks it.
    const QString escaped = QStringLiteral("%1E%1}.pas").arg(QChar(0xDC83));
    QTest::newRow("name-bytes") << escaped << +Bytes << record << ""
                                << "「ウマ.pas」";
    QTest::newRow("extension-case") << "アイ.PAS" << +Bytes << record << ""
                                    << "「アイ.pas」";
    QTest::newRow("empty") << "アイ.pas" << +Bytes << QByteArray() << ""
                           << "空のファイル";
    QTest::newRow("temporary") << ".quorvel-1x2y.tmp" << +Bytes << record << ""
                               << "一時ファイル";
    QTest::newRow("link") << "アイ.pas" << +Link << QByteArray("twin.pas") << "twin.pas"
                          << "シンボリックリンクがあります";
    QTest::newRow("fifo") << "アイ.pas" << +Fifo << QByteArray() << ""
                          << "名前付きパイプ";
    QTest::newRow("special") << "アイ.pas" << +Socket << QByteArray() << ""
                             << "ソケット";
    QTest::newRow("folder") << "アイ.pas" << +Folder << QByteArray() << ""
                            << "フォルダです";
    // A file of the system's that calls itself a regular file; root reads anything else.
    QTest::newRow("unreadable") << "アイ.pas" << +Link << QByteArray("/proc/self/status") << ""
                                << "読み込めません";
}

void TestCommands::check()
{
    QFETCH(QString, name);
    QFETCH(int, kind);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, twin);
    QFETCH(QString, says);
    const QTemporaryDir folder;
    QVERIFY(make(folder.filePath(name), Make(kind), bytes));
    if (!twin.isEmpty())
        QVERIFY(make(folder.filePath(twin), Bytes, kPassword.toLatin1() + "\r\n"));

    const Run run = quorvel({QStringLiteral("--check"), folder.path()});
    QCOMPARE(run.code, 1);
    const QString start = folder.filePath(Directory::displayName(name)) + u'\t'
                          + QString::fromLatin1(QTest::currentDataTag()) + u'\t';
    const QStringList lines = run.out.split(u'\n');
    const auto line = std::find_if(lines.begin(), lines.end(),
                                   [&](const QString &line) { return line.startsWith(start); });
    QVERIFY2(line != lines.end(), qPrintable(run.out));
    QVERIFY2(line->contains(says), qPrintable(*line));
    QVERIFY2(run.out.endsWith(QStringLiteral("件見つかりました。\n")), qPrintable(run.out));
    ::unlink(Directory::nativePath(folder.filePath(name)).constData()); // QDir cannot name it
}

void TestCommands::exportRoundTrip()
{
    const QTemporaryDir folder;
    const QTemporaryDir elsewhere;
    struct Made
    {
        QString name;
        QString weight; // empty: a plain record
        QString password;
    };
    // With what the take-back cuts by position and what a CSV must quote.
    const QList<Made> made = {{QStringLiteral("ハヤテ"), {}, kPassword},
                              {QStringLiteral("サクラ"), QStringLiteral("55"), kPassword.toLower()},
                              {QStringLiteral("アイウエオ)"), {}, kPassword},
                              {QStringLiteral("ミドリ"), QStringLiteral("100"), kPassword},
                              {QStringLiteral("カゼ"), QStringLiteral("5"), kPassword},
                              {QStringLiteral("ア,イ"), QStringLiteral("48"),
                               QStringLiteral("A,B\"C") + kPassword.mid(5)}};
    FakeServices services;
    BoxValues boxes;
    boxes.folder = folder.path();
    RecordCreation creation(services, boxes);
    for (const Made &record : made) {
        boxes.name = record.name;
        boxes.weightText = record.weight;
        boxes.pass = record.password;
        record.weight.isEmpty() ? creation.createPlainRecord() : creation.createWeightRecord();
    }
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files).size(), made.size());
    const QStringList before = snapshot(folder.path());

    const QString csvPath = elsewhere.filePath(QStringLiteral("一覧.csv"));
    const QStringList exporting
        = {QStringLiteral("--export"), folder.path(), QStringLiteral("-o"), csvPath};
    QCOMPARE(quorvel(exporting).code, 1); // said on standard error: the records the window cuts
    QFile csv(csvPath);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QByteArray bytes = csv.readAll();
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
    QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
    QList<QStringList> rows = parseCsv(QString::fromUtf8(bytes.mid(3)));
    QCOMPARE(rows.takeFirst(), QStringList({"ファイル名", "馬名", "斤量", "パスワード", "作成日"}));
    QCOMPARE(rows.size(), made.size());
    for (const Made &record : made) {
        const QString fileName = record.weight.isEmpty()
                                     ? record.name + ".pas"
                                     : record.name + u'(' + record.weight + ").pas";
        const auto row = std::find_if(rows.begin(), rows.end(), [&](const QStringList &row) {
            return row.first() == fileName;
        });
        QVERIFY2(row != rows.end(), qPrintable(fileName));
        QCOMPARE(row->mid(1, 3), QStringList({record.name, record.weight, record.password}));
        QVERIFY(!row->at(4).isEmpty());
    }

    // Never replaced unasked; replaced with --force, through a save that leaves no
    // temporary file behind.
    csv.close();
    QVERIFY(QFile::resize(csvPath, 0));
    QCOMPARE(quorvel(exporting).code, 2);
    QCOMPARE(QFileInfo(csvPath).size(), 0);
    QCOMPARE(quorvel(exporting + QStringList {QStringLiteral("--force")}).code, 1);
    QCOMPARE(QFileInfo(csvPath).size(), bytes.size());
    QCOMPARE(QDir(elsewhere.path())
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                 .size(),
             1);

    QCOMPARE(quorvel({QStringLiteral("--check"), QStringLiteral("-r"), folder.path()}).code, 1);
    QCOMPARE(snapshot(folder.path()), before);
}

void TestCommands::usage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("out");

    QTest::newRow("unknown option") << QStringList {"--chek"} << 2 << "";
    QTest::newRow("both commands") << QStringList {"--check", "--export", "."} << 2 << "";
    QTest::newRow("export of no folder") << QStringList {"--export"} << 2 << "";
    QTest::newRow("no file after -o") << QStringList {"--export", ".", "-o"} << 2 << "";
    QTest::newRow("--force without -o") << QStringList {"--export", ".", "--force"} << 2 << "";
    QTest::newRow("-o with --check") << QStringList {"--check", "-o", "x.csv"} << 2 << "";
    QTest::newRow("help") << QStringList {"--help"} << 0 << "quorvel --check [-r] [フォルダ…]";
    QTest::newRow("version") << QStringList {"--version"} << 0 << "Quorvel ver";
    QTest::newRow("no such folder")
        << QStringList {"--check", "/nonexistent/ウマ"} << 2 << "記録0件を読み";
}

void TestCommands::usage()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, code);
    QFETCH(QString, out);
    const Run run = quorvel(arguments);
    QCOMPARE(run.code, code);
    QVERIFY2(run.out.contains(out), qPrintable(run.out));
    // A usage error is one line, and a failure to read a folder one line.
    QCOMPARE(run.err.count(u'\n'), code == 2 ? 1 : 0);
}

QTEST_GUILESS_MAIN(TestCommands)
#include "tst_commands.moc"
