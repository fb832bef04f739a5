#include "platform/DesktopServices.h"

#include "FakeServices.h"
#include "TestEntries.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProxyStyle>
#include <QScopeGuard>
#include <QStyleFactory>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTemporaryFile>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace {
class IconButtonStyle : public QProxyStyle
{
public:
    IconButtonStyle() : QProxyStyle(QStringLiteral("Fusion")) { }
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_DialogButtonBox_ButtonsHaveIcons)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};
} // namespace

static bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

class TestDesktopServices : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(DesktopServices::installJapaneseQtTranslation()); }

    void messageBoxLooksAndAnswers_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<QString>("press");
        QTest::addColumn<QString>("shownTitle");
        QTest::addColumn<int>("answer");

        const QString ok = QStringLiteral("OK");
        const QString cancel = QStringLiteral("キャンセル");
        QTest::newRow("0 without title") << 0 << QString() << int(QMessageBox::NoIcon)
                                         << QStringList{ok} << ok << "Quorvel" << 1;
        QTest::newRow("48") << 48 << "確認!" << int(QMessageBox::Warning) << QStringList{ok} << ok
                            << "確認!" << 1;
        QTest::newRow("49 OK") << 49 << "確認!" << int(QMessageBox::Warning)
                               << QStringList{ok, cancel} << ok << "確認!" << 1;
        QTest::newRow("49 Cancel") << 49 << "確認!" << int(QMessageBox::Warning)
                                   << QStringList{ok, cancel} << cancel << "確認!" << 2;
        QTest::newRow("49 Escape") << 49 << "確認!" << int(QMessageBox::Warning)
                                   << QStringList{ok, cancel} << "Escape" << "確認!" << 2;
        QTest::newRow("64") << 64 << "確認!" << int(QMessageBox::Information) << QStringList{ok}
                            << ok << "確認!" << 1;
    }

    void messageBoxLooksAndAnswers()
    {
        QFETCH(int, style);
        QFETCH(QString, title);
        QFETCH(int, icon);
        QFETCH(QStringList, buttons);
        QFETCH(QString, press);
        QFETCH(QString, shownTitle);
        QFETCH(int, answer);

        // A window in a look of its own, under an application style that gives dialog
        // buttons icons, as desktop themes do.
        const QString appStyle = QApplication::style()->name();
        QApplication::setStyle(new IconButtonStyle);
        const auto restoreStyle = qScopeGuard([&] { QApplication::setStyle(appStyle); });
        QWidget window;
        QPalette palette;
        palette.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
        palette.setColor(QPalette::Button, QColor(0xC0, 0xC0, 0xC0));
        window.setPalette(palette);
        window.setFont(QFont(QStringLiteral("Quorvel Window Font"), 11, QFont::Bold));
        std::unique_ptr<QStyle> windowStyle(QStyleFactory::create(QStringLiteral("Windows")));
        window.setStyle(windowStyle.get());
        window.show();
        DesktopServices services;
        services.setWindow(&window);

        bool seen = false;
        QTimer::singleShot(0, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            seen = true;
            // A failed check leaves the lambda early: the box must not be left open.
            const auto closeOnFailure = qScopeGuard([box] {
                if (QTest::currentTestFailed())
                    box->done(QMessageBox::Cancel);
            });
            QCOMPARE(box->parentWidget(), &window);
            QCOMPARE(box->windowTitle(), shownTitle);
            QCOMPARE(box->text(), QStringLiteral("テキスト"));
            QCOMPARE(int(box->icon()), icon);
            QCOMPARE(box->style(), windowStyle.get());
            const auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
            QVERIFY(label);
            for (const QWidget *part : std::initializer_list<const QWidget *>{box, label}) {
                QCOMPARE(part->palette().color(QPalette::Window), QColor(0xC0, 0xC0, 0xC0));
                QCOMPARE(part->font().family(), QStringLiteral("Quorvel Window Font"));
                QCOMPARE(part->font().pointSize(), 11);
                QVERIFY(!part->font().bold());
            }
            for (QAbstractButton *button : box->buttons()) {
                QVERIFY(button->icon().isNull());
                QCOMPARE(button->style(), windowStyle.get());
                QCOMPARE(button->palette().color(QPalette::Button), QColor(0xC0, 0xC0, 0xC0));
            }
            QStringList texts;
            for (QAbstractButton *button : box->buttons())
                texts << button->text().remove(u'&');
            texts.sort();
            QStringList expected = buttons;
            expected.sort();
            QCOMPARE(texts, expected);
            if (press == QLatin1String("Escape")) {
                QTest::keyClick(box, Qt::Key_Escape);
                return;
            }
            for (QAbstractButton *button : box->buttons()) {
                if (button->text().remove(u'&') == press)
                    button->click();
            }
        });
        QCOMPARE(services.messageBox(QStringLiteral("テキスト"), style, title), answer);
        QVERIFY(seen);
    }

    // Where there is no sound at all (no sound server, no sound card, as on a build
    // machine) the beep makes none, says nothing and does not hold the program up.
    void beepWithoutSound()
    {
        QTemporaryDir runtime;
        QVERIFY(runtime.isValid());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        qputenv("PULSE_SERVER", QFile::encodeName(runtime.path() + QStringLiteral("/none")));
        static QStringList messages;
        const QtMessageHandler before = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext &, const QString &text) { messages << text; });
        // What the sound libraries write straight to the terminal counts as saying something.
        QTemporaryFile errors;
        QVERIFY(errors.open());
        std::fflush(stderr);
        const int terminal = ::dup(STDERR_FILENO);
        QVERIFY(::dup2(errors.handle(), STDERR_FILENO) >= 0);
        DesktopServices services;
        for (int i = 0; i < 3; ++i)
            services.beep();
        // The sound plays on a thread of its own: give it the time to complain.
        QTest::qWait(500);
        std::fflush(stderr);
        ::dup2(terminal, STDERR_FILENO);
        ::close(terminal);
        qInstallMessageHandler(before);
        QCOMPARE(messages, QStringList());
        QCOMPARE(errors.readAll(), QByteArray());
    }

    void normalFileIsExactAndNotAFolder_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("expected");
        QTest::newRow("existing record") << "アイウ.pas" << true;
        QTest::newRow("wildcard star") << "*.pas" << false;
        QTest::newRow("wildcard question") << "アイ?.pas" << false;
        QTest::newRow("folder of that name") << "フォルダ.pas" << false;
        QTest::newRow("missing") << "エオ.pas" << false;
        QTest::newRow("name starting with a colon") << ":アイ.pas" << true;
    }

    void normalFileIsExactAndNotAFolder()
    {
        QFETCH(QString, name);
        QFETCH(bool, expected);
        QTemporaryDir dir;
        for (const char *existing : {"アイウ.pas", ":アイ.pas"}) {
            QFile file(dir.path() + u'/' + QString::fromUtf8(existing));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("フォルダ.pas")));
        FakeServices services;
        QString reason;
        const OpenFolder folder = services.openFolder(dir.path(), &reason);
        QVERIFY(folder.isOpen());
        QCOMPARE(services.entryAt(folder, name).kind == Services::Entry::File, expected);
    }

    void saveFileWritesOnlyWhatItMay_data()
    {
        QTest::addColumn<bool>("replace");
        QTest::addColumn<QString>("existing"); // "", "file", "read-only", "link", "folder"
        QTest::addColumn<bool>("saved");
        QTest::newRow("new file") << false << "" << true;
        QTest::newRow("new file where one appeared meanwhile") << false << "file" << false;
        QTest::newRow("replace") << true << "file" << true;
        QTest::newRow("replace a record that vanished meanwhile") << true << "" << true;
        QTest::newRow("replace a read-only record") << true << "read-only" << false;
        QTest::newRow("replace a link") << true << "link" << false;
        QTest::newRow("new file where a link appeared meanwhile") << false << "link" << false;
        QTest::newRow("replace a folder") << true << "folder" << false;
    }

    void saveFileWritesOnlyWhatItMay()
    {
        QFETCH(bool, replace);
        QFETCH(QString, existing);
        QFETCH(bool, saved);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("アイウ.pas"));
        const QString outside = dir.filePath(QStringLiteral("outside"));
        QFile old(existing == QLatin1String("link") ? outside : path);
        if (existing == QLatin1String("folder")) {
            QVERIFY(QDir().mkdir(path));
        } else if (!existing.isEmpty()) {
            QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old\r\n") == 5);
            old.close();
            const auto mode = existing == QLatin1String("read-only")
                                  ? QFile::ReadOwner | QFile::ReadGroup
                                  : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
            QVERIFY(old.setPermissions(mode));
        }
        if (existing == QLatin1String("link"))
            QUORVEL_MAKE(TestEntries::link(outside, path, false));
        const QFile::Permissions before = QFileInfo(old).permissions();

        FakeServices services;
        QString reason;
        const OpenFolder folder = services.openFolder(dir.path(), &reason);
        QVERIFY(folder.isOpen());
        const Services::Saved result = services.saveFile(
            folder, QStringLiteral("アイウ.pas"), "new\r\n",
            replace ? Services::SaveMode::Replace : Services::SaveMode::NewFile);
        QCOMPARE(result.outcome != Services::Saved::Failed, saved);
        QCOMPARE(result.reason.isEmpty(), saved);
        QFile now(existing == QLatin1String("link") ? outside : path);
        if (existing != QLatin1String("folder")) {
            QVERIFY(now.open(QIODevice::ReadOnly));
            QCOMPARE(now.readAll(), QByteArray(saved ? "new\r\n" : "old\r\n"));
        }
        if (!existing.isEmpty())
            QCOMPARE(QFileInfo(old).permissions(), before);
        QCOMPARE(QFileInfo(path).isSymLink(), existing == QLatin1String("link"));
        // No temporary file is left, whatever happened.
        const QStringList left = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        QCOMPARE(left.size(), existing == QLatin1String("link") ? 2 : existing.isEmpty() && !saved ? 0 : 1);
    }

    // The disk itself says no: a small file system (tools/windows.sh maps one to a drive
    // letter under Wine) filled up after the old record was written.
    void fullDisk_data()
    {
        QTest::addColumn<bool>("replace");
        QTest::newRow("new record") << false;
        QTest::newRow("replacing a record") << true;
    }

    void fullDisk()
    {
        QFETCH(bool, replace);
        const QString small = qEnvironmentVariable("QUORVEL_TEST_SMALL_DISK");
        if (small.isEmpty())
            QSKIP("QUORVEL_TEST_SMALL_DISK names no small file system to fill");
        QTemporaryDir dir(QDir(small).filePath(QStringLiteral("full-XXXXXX")));
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("アイウ.pas"));
        if (replace)
            QVERIFY(writeAll(path, "old\r\n"));
        QFile filler(dir.filePath(QStringLiteral("filler")));
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size()) { }
        filler.close();

        FakeServices services;
        QString reason;
        const OpenFolder folder = services.openFolder(dir.path(), &reason);
        const Services::Saved saved
            = services.saveFile(folder, QStringLiteral("アイウ.pas"), QByteArray(4096, 'n'),
                                replace ? Services::SaveMode::Replace : Services::SaveMode::NewFile);
        QCOMPARE(saved.outcome, Services::Saved::Failed);
        QVERIFY(!saved.reason.isEmpty());
        QVERIFY(filler.remove());
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                            | QDir::NoDotAndDotDot),
                 replace ? QStringList{QStringLiteral("アイウ.pas")} : QStringList{});
        if (replace) {
            QFile old(path);
            QVERIFY(old.open(QIODevice::ReadOnly));
            QCOMPARE(old.readAll(), QByteArray("old\r\n"));
        }
    }

    void volumeOfPicksTheDeepestRoot_data()
    {
        // The system's own root: "/" here, the system drive "C:/" on Windows.
        const QString top = QDir::rootPath();
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("root");
        QTest::newRow("top") << top + "home/user" << top;
        QTest::newRow("mounted below") << top + "media/usb/horses" << top + "media/usb";
        QTest::newRow("the mount itself") << top + "media/usb" << top + "media/usb";
        QTest::newRow("same prefix, other folder") << top + "media/usb2/x" << top;
    }

    void volumeOfPicksTheDeepestRoot()
    {
        QFETCH(QString, path);
        QFETCH(QString, root);
        const QString top = QDir::rootPath();
        const QList<Services::Volume> volumes = {{top, QString()},
                                                 {top + "media/usb", QStringLiteral("USB")}};
        QCOMPARE(Services::volumeOf(path, volumes).root, root);
    }

    void volumeReadyNeedsAReadableFolder_data()
    {
        QTest::addColumn<QString>("entry");  // inside a temporary folder; empty: the folder
        QTest::addColumn<bool>("ready");
        QTest::newRow("existing folder") << QString() << true;
        QTest::newRow("missing folder") << "gone" << false;
        QTest::newRow("a file, not a folder") << "file.pas" << false;
    }

    void volumeReadyNeedsAReadableFolder()
    {
        QFETCH(QString, entry);
        QFETCH(bool, ready);
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("file.pas")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        FakeServices services;
        const QString root = entry.isEmpty() ? dir.path() : dir.filePath(entry);
        QCOMPARE(services.volumeState(root) == Services::VolumeState::Ready, ready);
    }

    void staleTemporariesRemoved_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind"); // file, link, folder
        QTest::addColumn<int>("ageMinutes"); // negative: from the future
        QTest::addColumn<bool>("removed");
        const QString ours = QStringLiteral(".quorvel-1z141z3.tmp");
        QTest::newRow("ours, a day and an hour old") << ours << "file" << 25 * 60 << true;
        QTest::newRow("ours, a week old") << ".quorvel-0.tmp"
                                          << "file" << 7 * 24 * 60 << true;
        QTest::newRow("ours, 23 hours old") << ours << "file" << 23 * 60 << false;
        QTest::newRow("ours, a minute old") << ours << "file" << 1 << false;
        QTest::newRow("ours, from the future") << ours << "file" << -120 << false;
        QTest::newRow("a link under our name") << ours << "link" << 48 * 60 << false;
        QTest::newRow("a folder under our name") << ours << "folder" << 48 * 60 << false;
        QTest::newRow("capitals") << ".quorvel-ABC.tmp"
                                  << "file" << 48 * 60 << false;
        QTest::newRow("eight digits") << ".quorvel-12345678.tmp"
                                      << "file" << 48 * 60 << false;
        QTest::newRow("not hidden") << "quorvel-abc.tmp"
                                    << "file" << 48 * 60 << false;
        QTest::newRow("a record after it") << ".quorvel-abc.tmp.pas"
                                           << "file" << 48 * 60 << false;
    }

    // Temporary files that a crash left are taken away by a later save into the folder,
    // once no save can still be writing them; nothing else is.
    void staleTemporariesRemoved()
    {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(int, ageMinutes);
        QFETCH(bool, removed);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        if (kind == QLatin1String("folder"))
            QVERIFY(QDir().mkdir(path));
        else if (kind == QLatin1String("link"))
            QUORVEL_MAKE(TestEntries::link(dir.filePath(QStringLiteral("target")), path, false));
        else
            QVERIFY(QFile(path).open(QIODevice::WriteOnly));
        QVERIFY(TestEntries::setTime(path, QDateTime::currentDateTimeUtc().addSecs(-ageMinutes * 60)));

        FakeServices services;
        QString reason;
        const OpenFolder folder = services.openFolder(dir.path(), &reason);
        QCOMPARE(
            services
                .saveFile(folder, QStringLiteral("新.pas"), "x\r\n", Services::SaveMode::NewFile)
                .outcome,
            Services::Saved::Created);
        QCOMPARE(QFileInfo(path).exists() || QFileInfo(path).isSymLink(), !removed);
    }

    void readFileRefusesWhatIsNoRecord_data()
    {
        QTest::addColumn<QString>("target"); // what the record's name is a link to; "pipe" a FIFO
        QTest::addColumn<QString>("reason"); // empty: read
        QTest::newRow("a record") << "record"
                                  << "";
        QTest::newRow("a named pipe") << "pipe"
                                      << "名前付きパイプです";
        QTest::newRow("a link to a named pipe") << "link to pipe"
                                                << "名前付きパイプです";
        QTest::newRow("a folder") << "folder"
                                  << "フォルダです";
#ifdef Q_OS_LINUX
        QTest::newRow("a device") << "/dev/null"
                                  << "デバイスです";
        QTest::newRow("the system's own") << "/proc/self/status"
                                          << "システムの情報を見せるファイルで、記録ではありません";
        // Read as root, the kernel's log waits for the next message and is taken away.
        if (::geteuid() == 0 && QFileInfo::exists(QStringLiteral("/proc/kmsg")))
            QTest::newRow("the kernel's log")
                << "/proc/kmsg"
                << "システムの情報を見せるファイルで、記録ではありません";
#endif
        QTest::newRow("nothing") << "missing"
                                 << "ファイルが見つかりません";
    }

    // Opened without waiting and judged by what was opened: a named pipe put in place of a
    // record would otherwise hang the window until someone writes to it.
    void readFileRefusesWhatIsNoRecord()
    {
        QFETCH(QString, target);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("記録.pas"));
        const QString pipe = dir.filePath(QStringLiteral("管"));
        if (target == QLatin1String("record"))
            QVERIFY(QFile(path).open(QIODevice::WriteOnly));
        else if (target == QLatin1String("pipe"))
            QUORVEL_MAKE(TestEntries::fifo(path));
        else if (target == QLatin1String("link to pipe")) {
            QUORVEL_MAKE(TestEntries::fifo(pipe));
            QUORVEL_MAKE(TestEntries::link(pipe, path, false));
        } else if (target == QLatin1String("folder"))
            QVERIFY(QDir().mkdir(path));
        else if (target.startsWith(u'/'))
            QUORVEL_MAKE(TestEntries::link(target, path, false));
        FakeServices services;
        QByteArray bytes;
        QString why;
        QCOMPARE(services.readFile(path, 1000, &bytes, &why), reason.isEmpty());
        QCOMPARE(why, reason);
    }

    void readFileIsBounded()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("big.pas")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(10 * 1024 * 1024));
        file.close();
        FakeServices services;
        QByteArray bytes;
        QString reason;
        bool more = false;
        QVERIFY(services.readFile(file.fileName(), 1000, &bytes, &reason, &more));
        QCOMPARE(bytes.size(), 1000);
        QVERIFY(more);
        QVERIFY(file.resize(1000));
        QVERIFY(services.readFile(file.fileName(), 1000, &bytes, &reason, &more));
        QVERIFY(!more);
        QVERIFY(!services.readFile(dir.filePath(QStringLiteral("gone.pas")), 1000, &bytes, &reason));
        QVERIFY(!reason.isEmpty());
    }
};

QTEST_MAIN(TestDesktopServices)
#include "tst_desktopservices.moc"
