// The window as the eye, a screen reader and the keyboard meet it: what Qt's
// accessibility interfaces tell about every control, what a grab of the window shows of
// the display box and the date, the arrow, Enter and Space keys in the lists, and Return
// and keypad Enter on the buttons.
#include "UiTestSupport.h"

#include <QAccessible>
#include <QApplication>
#include <QGroupBox>
#include <QScrollBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>

#include <optional>

using namespace UiTest;

namespace {
// Darker than any background the window draws, so only text counts.
bool isInk(QRgb pixel)
{
    return qGray(pixel) < 128;
}

int inkIn(const QImage &image, const QRect &area)
{
    int ink = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            ink += isInk(image.pixel(x, y)) ? 1 : 0;
    }
    return ink;
}

QString labelOf(QAccessibleInterface *iface)
{
    const auto relations = iface->relations(QAccessible::Label);
    return relations.isEmpty() ? QString() : relations.first().first->text(QAccessible::Name);
}
} // namespace

class AccessibilityTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_dir.emplace().isValid());
        m_services.emplace();
    }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void controls_data();
    void controls();
    void weightListKeys_data();
    void weightListKeys();
    void fileListKeys_data();
    void fileListKeys();
    void buttonKeys_data();
    void buttonKeys();
    void versionTextShowsThreeLines_data();
    void versionTextShowsThreeLines();
    void dateFits_data();
    void dateFits();

private:
    QString path(const QString &name) const { return QDir(m_dir->path()).filePath(name); }
    void writeRecords()
    {
        QVERIFY(writeBytes(path("サクラ(55).pas"), (kPassword + "\r\n#55\r\n").toLatin1(),
                           QDateTime(QDate(2026, 12, 28), QTime(20, 39, 47))));
        QVERIFY(writeBytes(path("ハヤテ.pas"), (kPassword + "\r\n").toLatin1()));
        QVERIFY(writeBytes(path("ミホノ.pas"), (kPassword + "\r\n").toLatin1()));
    }

    std::optional<QTemporaryDir> m_dir;
    std::optional<FakeServices> m_services;
};

void AccessibilityTest::controls_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("name");
    // "*": what the control shows, read from the widget; "-": a list, whose value is the
    // entry a screen reader is on
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("label"); // the caption given as its label relation

    const int edit = QAccessible::EditableText;
    const int button = QAccessible::Button;
    const int check = QAccessible::CheckBox;
    const int text = QAccessible::StaticText;
    // clang-format off
    QTest::newRow("drive list") << "Drive1" << int(QAccessible::ComboBox) << "ドライブ" << "*" << "";
    QTest::newRow("name box") << "Text1" << edit << "馬名" << "サクラ" << "馬名";
    QTest::newRow("weight box") << "Combo1" << int(QAccessible::ComboBox) << "斤量" << "55" << "斤量";
    QTest::newRow("password box") << "Text2" << edit << "パスワード" << kPassword << "パスワード";
    QTest::newRow("create, weight mode") << "Command3" << button << "ファイル作成" << "" << "";
    QTest::newRow("End") << "Command1" << button << "End" << "" << "";
    QTest::newRow("folder list") << "Dir1" << int(QAccessible::List) << "フォルダ" << "-" << "";
    QTest::newRow("file list") << "File1" << int(QAccessible::List) << "登録ファイル" << "-" << "";
    QTest::newRow("create, plain mode") << "Command2" << button << "ファイル作成" << "" << "";
    QTest::newRow("output folder") << "Text6" << edit << "ファイル作成指定フォルダ" << "*"
                                   << "ファイル作成指定フォルダ";
    QTest::newRow("display box") << "Text3" << edit << "ファイル内容" << "*" << "";
    QTest::newRow("edit mode") << "Check1" << check << "編集する" << "" << "";
    QTest::newRow("weight mode") << "Check2" << check << "斤量別ファイル名" << "" << "";
    QTest::newRow("clear after create") << "Check3" << check << "作成毎に消去" << "" << "";
    QTest::newRow("record date") << "Label1" << text << "*" << "" << "";
    QTest::newRow("record name") << "Label8" << text << "サクラ(55).pas" << "" << "";
    QTest::newRow("record count") << "Label9" << text << "3頭" << "" << "登録延数";
    QTest::newRow("version") << "Command4" << button << "Ver情報" << "" << "";
    QTest::newRow("Clear") << "Command5" << button << "Clear" << "" << "";
    QTest::newRow("count caption") << "Label2" << text << "登録延数" << "" << "";
    QTest::newRow("name caption") << "Label4" << text << "馬名" << "" << "";
    // clang-format on
}

// Every control a screen reader reaches, after a weight record was loaded in edit mode.
void AccessibilityTest::controls()
{
    QFETCH(QString, control);
    QFETCH(int, role);
    QFETCH(QString, name);
    QFETCH(QString, value);
    QFETCH(QString, label);
    writeRecords();
    Window w(*m_services, m_dir->path());
    Window::tick(w.Check1);
    Window::tick(w.Check2);
    w.clickFile(QStringLiteral("サクラ(55).pas"));
    QCOMPARE(w.Combo1->currentText(), QStringLiteral("55"));

    auto *widget = w.window.findChild<QWidget *>(control);
    QVERIFY(widget);
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(widget);
    QVERIFY(iface && iface->isValid());
    QCOMPARE(int(iface->role()), role);
    if (name == u"*")
        name = static_cast<QLabel *>(widget)->text();
    QVERIFY(!name.isEmpty());
    QCOMPARE(iface->text(QAccessible::Name), name);
    if (value == u"*") {
        if (auto *combo = qobject_cast<QComboBox *>(widget))
            value = combo->currentText();
        else if (auto *line = qobject_cast<QLineEdit *>(widget))
            value = line->text();
        else
            value = static_cast<QPlainTextEdit *>(widget)->toPlainText();
        QVERIFY(!value.isEmpty());
    }
    if (value != u"-")
        QCOMPARE(iface->text(QAccessible::Value), value);
    QCOMPARE(labelOf(iface), label);
    if (control == u"Label9")
        QCOMPARE(iface->text(QAccessible::Description), QStringLiteral("登録延数"));
    if (control == u"Check1" || control == u"Check2")
        QVERIFY(iface->state().checked);
    if (control == u"File1") {
        // The loaded record is the list's selected entry.
        const QList<QAccessibleInterface *> cells = iface->tableInterface()->selectedCells();
        QCOMPARE(cells.size(), 1);
        QCOMPARE(cells.first()->text(QAccessible::Name), QStringLiteral("サクラ(55).pas"));
    }
    if (role == QAccessible::ComboBox) {
        // The list to pick from is there as a child, and an action opens it.
        QCOMPARE(iface->childCount() >= 1, true);
        QCOMPARE(iface->child(0)->role(), QAccessible::List);
        QVERIFY(iface->actionInterface()->actionNames().contains(
            QAccessibleActionInterface::showMenuAction()));
    }
}

void AccessibilityTest::weightListKeys_data()
{
    QTest::addColumn<QString>("before"); // how the box came to hold its text
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("after");
    QTest::newRow("emptied after a pick, Down") << "pick 55, empty" << int(Qt::Key_Down) << "48";
    QTest::newRow("empty at start, Down") << "" << int(Qt::Key_Down) << "48";
    QTest::newRow("emptied by the mode switch, Down")
        << "pick 60, switch" << int(Qt::Key_Down) << "48";
    QTest::newRow("weight taken from a record, Down") << "record 55" << int(Qt::Key_Down) << "56";
    QTest::newRow("weight taken from a record, Up") << "record 55" << int(Qt::Key_Up) << "54";
    QTest::newRow("typed 57 after picking 50, Down") << "pick 50, type 57" << int(Qt::Key_Down)
                                                     << "58";
    QTest::newRow("typed 100, Down") << "pick 50, type 100" << int(Qt::Key_Down) << "48";
    QTest::newRow("typed 100, Up keeps it") << "pick 50, type 100" << int(Qt::Key_Up) << "100";
    QTest::newRow("picked 50, Down") << "pick 50" << int(Qt::Key_Down) << "51";
}

void AccessibilityTest::weightListKeys()
{
    QFETCH(QString, before);
    QFETCH(int, key);
    QFETCH(QString, after);
    QVERIFY(writeBytes(path("ハヤテ(55).pas"), (kPassword + "\r\n#55\r\n").toLatin1()));
    Window w(*m_services, m_dir->path());
    Window::tick(w.Check2);
    const auto pick = [&](const QString &weight) {
        w.Combo1->setCurrentIndex(w.Combo1->findText(weight));
        QCOMPARE(w.Combo1->currentText(), weight);
    };
    if (before.startsWith(u"pick 55"))
        pick(QStringLiteral("55"));
    if (before.startsWith(u"pick 50"))
        pick(QStringLiteral("50"));
    if (before.startsWith(u"pick 60")) {
        pick(QStringLiteral("60"));
        Window::tick(w.Check2);
        Window::tick(w.Check2);
    }
    if (before.endsWith(u"empty")) {
        w.Combo1->setFocus();
        w.Combo1->lineEdit()->selectAll();
        QTest::keyClick(w.Combo1, Qt::Key_Backspace);
    }
    if (before.endsWith(u"type 57") || before.endsWith(u"type 100")) {
        w.Combo1->lineEdit()->clear();
        QTest::keyClicks(w.Combo1, before.section(u' ', -1));
    }
    if (before == u"record 55") {
        Window::tick(w.Check1);
        w.clickFile(QStringLiteral("ハヤテ(55).pas"));
    }
    QCOMPARE(w.Combo1->currentText(), before.isEmpty() || before.endsWith(u"empty")
                                              || before.endsWith(u"switch")
                                          ? QString()
                                          : before.section(u' ', -1));

    QTest::keyClick(w.Combo1, Qt::Key(key));
    QCOMPARE(w.Combo1->currentText(), after);
}

void AccessibilityTest::fileListKeys_data()
{
    QTest::addColumn<QList<int>>("keys"); // after tabbing in from Dir1
    QTest::addColumn<QString>("loaded"); // Label8 afterwards, empty: nothing loaded
    const QString first = QStringLiteral("サクラ(55).pas");
    QTest::newRow("tabbing in loads nothing") << QList<int>{} << "";
    QTest::newRow("Enter right after tabbing in loads the first record")
        << QList<int>{Qt::Key_Return} << first;
    QTest::newRow("Space right after tabbing in loads the first record")
        << QList<int>{Qt::Key_Space} << first;
    QTest::newRow("Down chooses the first record") << QList<int>{Qt::Key_Down} << first;
    QTest::newRow("Down twice") << QList<int>{Qt::Key_Down, Qt::Key_Down} << "ハヤテ.pas";
    QTest::newRow("Enter loads the current record again")
        << QList<int>{Qt::Key_Down, Qt::Key_Return} << first;
    QTest::newRow("Space loads the current record again")
        << QList<int>{Qt::Key_Down, Qt::Key_Space} << first;
    QTest::newRow("keypad Enter") << QList<int>{Qt::Key_Down, Qt::Key_Enter} << first;
}

void AccessibilityTest::fileListKeys()
{
    QFETCH(QList<int>, keys);
    QFETCH(QString, loaded);
    writeRecords();
    Window w(*m_services, m_dir->path());
    w.window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w.window));
    w.Dir1->setFocus(Qt::TabFocusReason);
    QTest::keyClick(w.Dir1, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), w.File1);
    // The focus rectangle stands on the first record; nothing looks chosen that is not loaded.
    QCOMPARE(w.File1->currentIndex(), w.File1->model()->index(0, 0));
    QVERIFY(w.File1->selectionModel()->selectedIndexes().isEmpty());

    for (const int key : keys) {
        // A record changed on disk since it was shown: Enter and Space read it again.
        w.Text3->setText(QString());
        QTest::keyClick(w.File1, Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier
                                                                     : Qt::NoModifier);
    }
    QCOMPARE(w.Label8->text(), loaded);
    QCOMPARE(w.Text3->text().startsWith(kPassword + "\r\n"), !loaded.isEmpty());
    if (!loaded.isEmpty())
        QCOMPARE(w.File1->selectionModel()->selectedIndexes(), {w.fileIndex(loaded)});
    QVERIFY(m_services->shown.isEmpty());
}

void AccessibilityTest::buttonKeys_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("releasedOutside"); // the focus taken by a press let go elsewhere
    for (const char *button : {"Command2", "Command3", "Command4", "Command5", "Command1"}) {
        QTest::addRow("%s, Return", button) << button << int(Qt::Key_Return) << false;
        QTest::addRow("%s, keypad Enter", button) << button << int(Qt::Key_Enter) << false;
    }
    QTest::newRow("Command2, Return after a press let go outside")
        << "Command2" << int(Qt::Key_Return) << true;
}

// Return and keypad Enter press the button with the focus, as the space bar does, whatever
// keys the platform theme gives buttons (none here).
void AccessibilityTest::buttonKeys()
{
    QFETCH(QString, button);
    QFETCH(int, key);
    QFETCH(bool, releasedOutside);
    Window w(*m_services, m_dir->path());
    if (button == u"Command3")
        Window::tick(w.Check2);
    QTest::keyClicks(w.Text1, QStringLiteral("Abc"));
    auto *pressed = w.find<QPushButton>(qPrintable(button));
    pressed->setFocus(Qt::TabFocusReason);
    if (releasedOutside) {
        QTest::mousePress(pressed, Qt::LeftButton, {}, pressed->rect().center());
        QTest::mouseRelease(pressed, Qt::LeftButton, {}, QPoint(-8, -8));
        QVERIFY(m_services->shown.isEmpty() && w.Text3->text().isEmpty());
    }
    QTest::keyClick(pressed, Qt::Key(key),
                    key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);

    const QString told = button == u"Command2" ? QStringLiteral("パスワードを入力して下さい！")
                         : button == u"Command3" ? QStringLiteral("斤量を入力して下さい！")
                                                 : QString();
    QCOMPARE(m_services->shown.value(1).text, told);
    QCOMPARE(w.Text3->text(), button == u"Command4" ? Quorvel1::versionText() : QString());
    QCOMPARE(w.Text1->text(), button == u"Command5" ? QString() : QStringLiteral("Abc"));
    QCOMPARE(w.window.isVisible(), button != u"Command1");
}

void AccessibilityTest::versionTextShowsThreeLines_data()
{
    QTest::addColumn<QString>("style");
    QTest::newRow("default style") << QString();
    for (const QString &key : QStyleFactory::keys())
        QTest::newRow(qPrintable(key)) << key;
}

// A grab of the window: each of the three version lines lies whole inside the box and
// was drawn there, and no scroll bar takes room from them.
void AccessibilityTest::versionTextShowsThreeLines()
{
    QFETCH(QString, style);
    const QString before = QApplication::style()->name();
    if (!style.isEmpty())
        QApplication::setStyle(style);
    Window w(*m_services, m_dir->path());
    QTest::mouseClick(w.Command4, Qt::LeftButton);
    QApplication::processEvents();
    const QImage shot = w.window.grab().toImage();
    QApplication::setStyle(before);

    DisplayBox *box = w.Text3;
    QVERIFY(!box->verticalScrollBar()->isVisible());
    QCOMPARE(box->verticalScrollBar()->maximum(), 0);
    QVERIFY(!box->horizontalScrollBar()->isVisible());
    const QRect viewport(box->viewport()->mapTo(&w.window, QPoint(0, 0)), box->viewport()->size());
    const QImage inside = shot.copy(viewport);
    QCOMPARE(box->document()->blockCount(), 3);
    int previousBottom = -1;
    for (QTextBlock block = box->document()->firstBlock(); block.isValid(); block = block.next()) {
        QCOMPARE(block.layout()->lineCount(), 1);
        QTextCursor cursor(block);
        const QRect start = box->cursorRect(cursor);
        cursor.movePosition(QTextCursor::EndOfBlock);
        const QRect line = QRect(0, start.top(), inside.width(), start.height())
                               .united(QRect(0, box->cursorRect(cursor).top(), 1, start.height()));
        QVERIFY2(line.top() >= 0 && line.bottom() < inside.height(),
                 qPrintable(QStringLiteral("line %1 at %2..%3 of %4 pixels")
                                .arg(block.blockNumber() + 1)
                                .arg(line.top())
                                .arg(line.bottom())
                                .arg(inside.height())));
        QVERIFY(line.top() > previousBottom);
        previousBottom = line.bottom();
        QVERIFY2(inkIn(inside, line) > 20,
                 qPrintable(QStringLiteral("line %1 not drawn").arg(block.blockNumber() + 1)));
    }
}

void AccessibilityTest::dateFits_data()
{
    QTest::addColumn<QString>("locale");
    QTest::newRow("ja_JP") << "ja_JP";
    QTest::newRow("en_US") << "en_US";
    QTest::newRow("C") << "C";
    QTest::newRow("de_DE") << "de_DE";
}

// A grab of the date box after a record click: the text has room inside the border on
// both sides, and the box stays clear of the buttons beside it.
void AccessibilityTest::dateFits()
{
    QFETCH(QString, locale);
    QLocale::setDefault(QLocale(locale));
    writeRecords();
    Window w(*m_services, m_dir->path());
    w.clickFile(QStringLiteral("サクラ(55).pas"));
    QApplication::processEvents();
    QLabel *date = w.Label1;
    QVERIFY(date->text().startsWith(QStringLiteral("作成日　")));
    const QImage shot = w.window.grab(date->geometry()).toImage();

    const int frame = date->frameWidth();
    const QRect inside = QRect(QPoint(0, 0), date->size()).adjusted(frame, frame, -frame, -frame);
    QVERIFY2(inkIn(shot, inside) > 100, "no date drawn");
    const QRect leftEdge(inside.left(), inside.top(), 2, inside.height());
    const QRect rightEdge(inside.right() - 1, inside.top(), 2, inside.height());
    QCOMPARE(inkIn(shot, leftEdge), 0);
    QCOMPARE(inkIn(shot, rightEdge), 0);
    QVERIFY(date->fontMetrics().horizontalAdvance(date->text()) <= inside.width() - 4);
    for (QWidget *other : {static_cast<QWidget *>(w.Command5), static_cast<QWidget *>(w.Command2),
                           static_cast<QWidget *>(w.Label8), static_cast<QWidget *>(w.File1)})
        QVERIFY2(!date->geometry().intersects(other->geometry()), qPrintable(other->objectName()));
}

QTEST_MAIN(AccessibilityTest)
#include "tst_accessibility.moc"
