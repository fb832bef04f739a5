// The main window on its own: what it shows at start-up, the mode switch, the small
// commands, the tab order and creating records with the real buttons.
#include "UiTestSupport.h"

#include <QApplication>
#include <QFontInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <optional>

using namespace UiTest;

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_dir.emplace().isValid());
        m_services.emplace();
    }

    void startUp();
    void recordCount_data();
    void recordCount();
    void modeSwitch_data();
    void modeSwitch();
    void clearEmptiesNameAndPasswordOnly();
    void versionText();
    void dateText_data();
    void dateText();
    void tabOrder_data();
    void tabOrder();
    void endClosesTheWindow();
    void createRecord_data();
    void createRecord();
    void overwrite_data();
    void overwrite();
    void clearAfterCreate_data();
    void clearAfterCreate();

private:
    QString path(const QString &name) const { return QDir(m_dir->path()).filePath(name); }

    std::optional<QTemporaryDir> m_dir;
    std::optional<FakeServices> m_services;
};

void MainWindowTest::startUp()
{
    Window w(*m_services, m_dir->path());
    QVERIFY(w.Command3->isHidden());
    QVERIFY(w.Command2->isVisible());
    QVERIFY(!w.Combo1->isEnabled());
    QCOMPARE(w.Combo1->currentText(), QString());
    QCOMPARE(w.Combo1->count(), 22);
    for (int i = 0; i < 22; ++i) {
        QCOMPARE(w.Combo1->itemText(i), QString::number(48 + i));
        QCOMPARE(w.Combo1->itemData(i), QVariant(0));
    }
    QVERIFY(!w.Check1->isChecked());
    QVERIFY(!w.Check2->isChecked());
    QVERIFY(!w.Check3->isChecked());
    QCOMPARE(w.Text6->text(), QString());
    QVERIFY(w.Label12->isHidden());
    QCOMPARE(w.window.windowTitle(), QStringLiteral("Quorvel  Ver1.08"));
    QCOMPARE(w.window.size(), QSize(465, 433));
    QCOMPARE(w.window.minimumSize(), QSize(465, 433));
    QCOMPARE(w.window.maximumSize(), QSize(465, 433));
    QCOMPARE(QDir::cleanPath(w.Dir1->path()), QDir::cleanPath(m_dir->path()));
    QVERIFY(m_services->shown.isEmpty());
    // Each control names the family it is drawn in: asked for a family that is not
    // installed, Qt looks up that family's fallbacks for every size and weight.
    for (const QWidget *control : w.window.findChildren<QWidget *>()) {
        if (!control->objectName().isEmpty())
            QCOMPARE(QFontInfo(control->font()).family(), control->font().family());
    }
}

void MainWindowTest::recordCount_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QString>("label");

    QTest::newRow("empty folder") << QStringList{} << QStringList{} << QStringLiteral("0頭");
    QTest::newRow("three records") << QStringList{"a.pas", "b(55).pas", "c.pas"} << QStringList{}
                                   << QStringLiteral("3頭");
    QTest::newRow("upper-case extension counts")
        << QStringList{"X.PAS", "y.Pas", "z.pas"} << QStringList{} << QStringLiteral("3頭");
    QTest::newRow("other files and folders do not")
        << QStringList{"a.pas", "b.txt", "c.pas.bak", "d.pasx", "pas", "e.pa"}
        << QStringList{"f.pas", "sub"} << QStringLiteral("1頭");
}

void MainWindowTest::recordCount()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, folders);
    QFETCH(QString, label);
    for (const QString &name : files)
        QVERIFY(writeBytes(path(name), (kPassword + "\r\n").toLatin1()));
    for (const QString &name : folders)
        QVERIFY(QDir(m_dir->path()).mkdir(name));

    Window w(*m_services, m_dir->path());
    QCOMPARE(w.Label9->text(), label);
    QCOMPARE(w.File1->listCount(), label.chopped(1).toInt());
}

void MainWindowTest::modeSwitch_data()
{
    QTest::addColumn<bool>("byKeyboard");
    QTest::newRow("mouse") << false;
    QTest::newRow("space bar") << true;
}

void MainWindowTest::modeSwitch()
{
    QFETCH(bool, byKeyboard);
    Window w(*m_services, m_dir->path());
    const auto toggle = [&] {
        if (byKeyboard)
            QTest::keyClick(w.Check2, Qt::Key_Space);
        else
            Window::tick(w.Check2);
    };
    const auto checkButtons = [&](bool weightMode) {
        QCOMPARE(w.Check2->isChecked(), weightMode);
        QCOMPARE(w.Command3->isVisible(), weightMode);
        QCOMPARE(w.Command2->isVisible(), !weightMode);
        QCOMPARE(w.Combo1->isEnabled(), weightMode);
    };

    // A weight taken from a record while the mode is off stays when it is switched on.
    w.Combo1->setEditText(QStringLiteral("57"));
    toggle();
    checkButtons(true);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(w.Combo1->currentText(), QStringLiteral("57"));

    w.Combo1->lineEdit()->clear();
    QTest::keyClicks(w.Combo1->lineEdit(), QStringLiteral("55"));
    QCOMPARE(w.Combo1->currentText(), QStringLiteral("55"));
    toggle();
    checkButtons(false);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(w.Combo1->currentText(), QString());

    toggle();
    checkButtons(true);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(w.Combo1->currentText(), QString());
}

void MainWindowTest::clearEmptiesNameAndPasswordOnly()
{
    Window w(*m_services, m_dir->path());
    Window::tick(w.Check1);
    Window::tick(w.Check2);
    Window::tick(w.Check3);
    w.typeRecord(QStringLiteral("Abc"), kPassword, QStringLiteral("55"));
    QTest::mouseClick(w.Command4, Qt::LeftButton);

    QTest::mouseClick(w.Command5, Qt::LeftButton);
    QCOMPARE(w.Text1->text(), QString());
    QCOMPARE(w.Text2->text(), QString());
    QCOMPARE(w.Combo1->currentText(), QStringLiteral("55"));
    QVERIFY(w.Check1->isChecked() && w.Check2->isChecked() && w.Check3->isChecked());
    QCOMPARE(w.Text3->text(), Quorvel1::versionText());
    QVERIFY(m_services->shown.isEmpty());
}

void MainWindowTest::versionText()
{
    QVERIFY(writeBytes(path("Abc.pas"), (kPassword + "\r\n").toLatin1()));
    Window w(*m_services, m_dir->path());
    QTest::mouseClick(w.Command4, Qt::LeftButton);

    const QString text = w.Text3->text();
    QCOMPARE(text, Quorvel1::versionText());
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 3);
    QCOMPARE(text.count(u'\n'), 2);  // every line end a CR LF, none after the last line
    QCOMPARE(lines[0], QStringLiteral("Quorvel ver1.08"));
    QVERIFY2(QRegularExpression(QStringLiteral("^　　最新情報　https?://([\\w-]+\\.)*example\\.org(/\\S*)?$"))
                 .match(lines[1]).hasMatch(),
             qPrintable(lines[1]));
    QVERIFY2(QRegularExpression(QStringLiteral("^　　制作　　　　[^\\s　].*\\([^()\\s@]+@[^()\\s@]+\\.[^()\\s@]+\\)$"))
                 .match(lines[2]).hasMatch(),
             qPrintable(lines[2]));
    QCOMPARE(w.Text3->toPlainText(), lines.join(u'\n'));

    w.clickFile(QStringLiteral("Abc.pas"));
    QCOMPARE(w.Text3->text(), kPassword + "\r\n");
}

void MainWindowTest::tabOrder_data()
{
    QTest::addColumn<bool>("weightMode");
    QTest::addColumn<QStringList>("stops");
    QTest::newRow("plain mode") << false
                                << QStringList{"Drive1", "Text1", "Text2", "Command1", "Dir1", "File1",
                                               "Command2", "Text6", "Text3", "Check1", "Check2",
                                               "Command4", "Command5", "Check3", "Drive1"};
    QTest::newRow("weight mode") << true
                                 << QStringList{"Drive1", "Text1", "Combo1", "Text2", "Command3",
                                                "Command1", "Dir1", "File1", "Text6", "Text3", "Check1",
                                                "Check2", "Command4", "Command5", "Check3", "Drive1"};
}

void MainWindowTest::tabOrder()
{
    QFETCH(bool, weightMode);
    QFETCH(QStringList, stops);
    Window w(*m_services, m_dir->path());
    w.Check2->setChecked(weightMode);

    // The Tab key walks the controls in their order, skipping what is hidden or
    // disabled, and no control keeps the Tab to itself.
    w.window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w.window));
    w.Drive1->setFocus(Qt::TabFocusReason);
    const auto focused = [] {
        QWidget *widget = QApplication::focusWidget();
        while (widget && !widget->objectName().contains(QRegularExpression("^(Drive|Text|Combo|Command|Dir|File|Check)\\d$")))
            widget = widget->parentWidget();
        return widget ? widget->objectName() : QStringLiteral("<none>");
    };
    const QString text3Before = w.Text3->text();
    QStringList visited{focused()};
    for (qsizetype i = 1; i < stops.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << focused();
    }
    QCOMPARE(visited, stops);
    QCOMPARE(w.Text3->text(), text3Before);
}

void MainWindowTest::endClosesTheWindow()
{
    Window w(*m_services, m_dir->path());
    QTest::mouseClick(w.Command1, Qt::LeftButton);
    QVERIFY(!w.window.isVisible());
    QVERIFY(m_services->shown.isEmpty());
}

void MainWindowTest::createRecord_data()
{
    QTest::addColumn<bool>("weightMode");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("plain") << false << QStringLiteral("Abc.pas") << (kPassword + "\r\n").toLatin1();
    QTest::newRow("weight") << true << QStringLiteral("Abc(55).pas")
                            << (kPassword + "\r\n#55\r\n").toLatin1();
}

void MainWindowTest::createRecord()
{
    QFETCH(bool, weightMode);
    QFETCH(QString, fileName);
    QFETCH(QByteArray, bytes);
    Window w(*m_services, m_dir->path());
    if (weightMode)
        Window::tick(w.Check2);
    w.typeRecord(QStringLiteral("Abc"), kPassword, weightMode ? QStringLiteral("55") : QString());
    QTest::mouseClick(weightMode ? w.Command3 : w.Command2, Qt::LeftButton);

    QCOMPARE(m_services->shown,
             QList<Shown>{FakeServices::message(fileName + "を作成しました", Services::Information, kTitle)});
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{fileName});
    QCOMPARE(fileBytes(path(fileName)), bytes);
    // Without 作成毎に消去 the boxes keep what was typed.
    QCOMPARE(w.Text1->text(), QStringLiteral("Abc"));
    QCOMPARE(w.Text2->text(), kPassword);
}

void MainWindowTest::overwrite_data()
{
    QTest::addColumn<bool>("weightMode");
    QTest::addColumn<int>("answer");
    for (const bool weightMode : {false, true}) {
        const char *mode = weightMode ? "weight" : "plain";
        QTest::addRow("%s, OK", mode) << weightMode << int(Services::Ok);
        QTest::addRow("%s, Cancel", mode) << weightMode << int(Services::Cancel);
    }
}

void MainWindowTest::overwrite()
{
    QFETCH(bool, weightMode);
    QFETCH(int, answer);
    const QString fileName = weightMode ? QStringLiteral("Abc(55).pas") : QStringLiteral("Abc.pas");
    const QString tail = weightMode ? QStringLiteral("\r\n#55\r\n") : QStringLiteral("\r\n");
    Window w(*m_services, m_dir->path());
    QPushButton *create = weightMode ? w.Command3 : w.Command2;
    if (weightMode)
        Window::tick(w.Check2);
    w.typeRecord(QStringLiteral("Abc"), kPassword, weightMode ? QStringLiteral("55") : QString());
    QTest::mouseClick(create, Qt::LeftButton);
    m_services->shown.clear();

    w.Text2->clear();
    QTest::keyClicks(w.Text2, kOtherPassword);
    m_services->answers = {answer};
    QTest::mouseClick(create, Qt::LeftButton);

    QList<Shown> expected{FakeServices::message(fileName + "が既に存在します\r\n上書きしますか？",
                                                Services::ExclamationOkCancel, kTitle)};
    if (answer == Services::Ok)
        expected << FakeServices::message(fileName + "を上書き保存しました", Services::Information, kTitle);
    QCOMPARE(m_services->shown, expected);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{fileName});
    QCOMPARE(fileBytes(path(fileName)),
             ((answer == Services::Ok ? kOtherPassword : kPassword) + tail).toLatin1());
}

void MainWindowTest::clearAfterCreate_data()
{
    QTest::addColumn<bool>("weightMode");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("cleared");
    QTest::newRow("plain, written") << false << kPassword << false << 0 << true;
    QTest::newRow("weight, written") << true << kPassword << false << 0 << true;
    QTest::newRow("plain, replaced") << false << kPassword << true << int(Services::Ok) << true;
    QTest::newRow("weight, no password") << true << QString() << false << 0 << false;
    QTest::newRow("plain, short password") << false << kPassword.left(35) << false << 0 << false;
    QTest::newRow("plain, replace cancelled") << false << kPassword << true << int(Services::Cancel) << false;
    QTest::newRow("weight, replace cancelled") << true << kPassword << true << int(Services::Cancel) << false;
}

void MainWindowTest::clearAfterCreate()
{
    QFETCH(bool, weightMode);
    QFETCH(QString, password);
    QFETCH(bool, exists);
    QFETCH(int, answer);
    QFETCH(bool, cleared);
    const QString fileName = weightMode ? QStringLiteral("Abc(55).pas") : QStringLiteral("Abc.pas");
    if (exists)
        QVERIFY(writeBytes(path(fileName), "old\r\n"));
    m_services->answers = {answer};

    Window w(*m_services, m_dir->path());
    Window::tick(w.Check3);
    if (weightMode)
        Window::tick(w.Check2);
    w.typeRecord(QStringLiteral("Abc"), password, weightMode ? QStringLiteral("55") : QString());
    QTest::mouseClick(weightMode ? w.Command3 : w.Command2, Qt::LeftButton);

    QCOMPARE(fileBytes(path(fileName)) != "old\r\n" && QFile::exists(path(fileName)), cleared);
    QCOMPARE(w.Text1->text(), cleared ? QString() : QStringLiteral("Abc"));
    QCOMPARE(w.Text2->text(), cleared ? QString() : password);
    QCOMPARE(w.Combo1->currentText(), cleared || !weightMode ? QString() : QStringLiteral("55"));
    QVERIFY(w.Check3->isChecked());
    QCOMPARE(w.Check2->isChecked(), weightMode);
}

void MainWindowTest::dateText_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<QString>("text");
    const QDateTime evening(QDate(2026, 12, 8), QTime(20, 39, 47));
    const QDateTime morning(QDate(2026, 1, 2), QTime(9, 5, 7));
    QTest::newRow("Japanese evening") << "ja_JP" << evening << "2026/12/08 20:39:47";
    QTest::newRow("Japanese morning") << "ja_JP" << morning << "2026/01/02 9:05:07";
    QTest::newRow("American, with AM/PM") << "en_US" << evening << "12/8/26 8:39:47 PM";
    QTest::newRow("German") << "de_DE" << morning << "02.01.26 09:05:07";
}

// The record date is the locale's date and time, always with seconds.
void MainWindowTest::dateText()
{
#ifdef Q_OS_WIN
    QSKIP("on Windows the date follows the user's settings in Windows, not Qt's locale: "
          "tst_windowsdesktop checks it there");
#endif
    QFETCH(QString, locale);
    QFETCH(QDateTime, time);
    QFETCH(QString, text);
    const QLocale before;
    QLocale::setDefault(QLocale(locale));
    const QString shown = Quorvel1::dateText(time);
    QLocale::setDefault(before);
    QCOMPARE(shown.simplified(), text);
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
