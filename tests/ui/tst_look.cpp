// The window's classic look: whatever palette and icon theme the desktop gives the
// application, the window is drawn grey with black captions, white boxes and lists,
// a navy selection and folder rows of the original height; folder names that show whole
// at 100 % show whole at any scale.
#include "UiTestSupport.h"
#include "platform/DesktopServices.h"
#include "ui/ClassicLook.h"

#include <QAccessible>
#include <QApplication>
#include <QGroupBox>
#include <QIcon>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <optional>

using namespace UiTest;

namespace {
const QRgb kGrey = qRgb(0xC0, 0xC0, 0xC0);
const QRgb kWhite = qRgb(0xFF, 0xFF, 0xFF);

struct Pixels
{
    int darkest = 255;
    int lightest = 0;
    int percent = 0; // of the pixels in the colour asked for
};

// What a control shows in the picture of its window, from skipLeft on.
QImage part(const QImage &shot, const QWidget *widget, int skipLeft = 0)
{
    const QPoint at = widget->mapTo(widget->window(), QPoint(skipLeft, 0));
    return shot.copy(QRect(at, widget->size()).adjusted(0, 0, -skipLeft, 0));
}

Pixels pixels(const QImage &image, QRgb colour = kGrey)
{
    Pixels found;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            found.darkest = qMin(found.darkest, qGray(image.pixel(x, y)));
            found.lightest = qMax(found.lightest, qGray(image.pixel(x, y)));
            found.percent += image.pixel(x, y) == colour;
        }
    }
    found.percent = 100 * found.percent / (image.width() * image.height());
    return found;
}

// The colour just inside a box's frame, right of where its text starts.
QRgb inside(const QImage &shot, const QWidget *box, int fromRight = 6)
{
    return shot.pixel(
        box->mapTo(box->window(), QPoint(box->width() - fromRight, box->height() / 2)));
}

// Folder names of growing width, Latin and Japanese, so that some reach the list's edge.
QStringList candidateNames()
{
    QStringList names;
    const QString latin = QStringLiteral("DocumentsArchive");
    const QString japanese = QStringLiteral("競走馬の記録ファイル");
    for (int length = 2; length <= latin.size(); ++length)
        names << latin.left(length);
    for (int length = 1; length <= japanese.size(); ++length)
        names << japanese.left(length);
    return names;
}

// Run as a child of the test at the scale factor asked for, as the program runs there
// (no fixed 96 dpi): prints the names that the folder list shows whole, found by drawing
// the name's row with and without eliding a name too long for its room. Each name is the
// last of a folder's subfolders, after enough others for the vertical scroll bar.
int printNamesShownWhole()
{
    QTemporaryDir dir;
    FakeServices services;
    Window w(services, dir.path());
    QAbstractItemView *list = w.Dir1;
    QTextStream out(stdout);
    out.setEncoding(QStringConverter::Utf8);
    const QStringList names = candidateNames();
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QDir folder(QDir(dir.path()).filePath(QString::number(i)));
        for (int other = 0; other < 10; ++other)
            folder.mkpath(QString::number(other));
        folder.mkdir(names[i]);
        w.Dir1->setPath(folder.path());
        const QModelIndex index = list->model()->index(w.Dir1->count() - 1, 0);
        list->scrollTo(index);
        const auto drawn = [&](Qt::TextElideMode mode) {
            list->setTextElideMode(mode);
            return list->viewport()->grab(list->visualRect(index)).toImage();
        };
        if (index.data().toString() == names[i] && drawn(Qt::ElideRight) == drawn(Qt::ElideNone))
            out << names[i] << '\n';
    }
    return 0;
}

QStringList namesShownWhole(const QString &scale)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_SCALE_FACTOR"), scale);
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--names-shown-whole")});
    if (!child.waitForFinished(120000) || child.exitCode() != 0)
        return {QStringLiteral("<the child at %1 failed>").arg(scale)};
    // Windows' standard output ends its lines with CR LF.
    return QString::fromUtf8(child.readAllStandardOutput())
        .remove(u'\r')
        .split(u'\n', Qt::SkipEmptyParts);
}
} // namespace

class LookTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_dir.emplace().isValid());
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("sub")));
        QVERIFY(writeBytes(QDir(m_dir->path()).filePath(QStringLiteral("a.pas")), "x\r\n"));
        m_services.emplace();
    }
    void cleanup()
    {
        QApplication::setPalette(m_defaultPalette);
        QIcon::setThemeName(m_defaultTheme);
    }

    void underAnyTheme_data();
    void underAnyTheme();
    void programIcon();
    void focusCue_data();
    void focusCue();
    void namesShownWholeAtEveryScale_data();
    void namesShownWholeAtEveryScale();
    void messageBoxes_data();
    void messageBoxes();

private:
    std::optional<QTemporaryDir> m_dir;
    std::optional<FakeServices> m_services;
    const QPalette m_defaultPalette = QApplication::palette();
    const QString m_defaultTheme = QIcon::themeName();
};

void LookTest::underAnyTheme_data()
{
    QTest::addColumn<bool>("dark");
    QTest::addColumn<QString>("iconTheme");
    QTest::newRow("default palette") << false << QString();
    QTest::newRow("dark palette") << true << QString();
    QTest::newRow("dark palette, Adwaita icons") << true << QStringLiteral("Adwaita");
}

void LookTest::underAnyTheme()
{
    QFETCH(bool, dark);
    QFETCH(QString, iconTheme);
    int rowHeight = 0;
    {
        Window plain(*m_services, m_dir->path());
        rowHeight = plain.Dir1->visualRect(plain.Dir1->model()->index(0, 0)).height();
    }
    if (dark) {
        // What a dark desktop theme hands every application.
        QPalette palette(QColor(0x35, 0x35, 0x35));
        for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            palette.setColor(role, QColor(0xEE, 0xEE, 0xEC));
        palette.setColor(QPalette::Base, QColor(0x2D, 0x2D, 0x2D));
        palette.setColor(QPalette::Highlight, QColor(0x15, 0x53, 0x9E));
        QApplication::setPalette(palette);
    }
    if (!iconTheme.isEmpty())
        QIcon::setThemeName(iconTheme);

    Window w(*m_services, m_dir->path());
    // Away from the boxes, where the caret would stand, and from the drive list,
    // whose field is highlighted while it has the focus.
    w.Command5->setFocus();
    QImage shot = w.window.grab().toImage();

    // Captions: black text on the form's grey, also inside the frames, untinted.
    for (const char *name : {"Label4", "Label5", "Label7", "Label3", "Label2"}) {
        const Pixels caption = pixels(part(shot, w.find<QLabel>(name)));
        QVERIFY2(caption.darkest < 0x40 && caption.percent > 25, name);
    }
    for (QCheckBox *box : {w.Check1, w.Check2, w.Check3}) {
        const Pixels text = pixels(part(shot, box, 20));
        QVERIFY2(text.darkest < 0x40 && text.percent > 25, qPrintable(box->objectName()));
    }
    for (const char *name : {"Frame1", "Frame2"})
        QCOMPARE(inside(shot, w.find<QGroupBox>(name), 8), kGrey);
    // Boxes and lists white; the weight box greyed while it takes no input.
    for (QWidget *box : std::initializer_list<QWidget *> {w.Text1, w.Text2, w.Text6, w.Text3,
                                                          w.Label8, w.Label1, w.File1, w.Dir1})
        QCOMPARE(inside(shot, box, 24), kWhite);
    QCOMPARE(inside(shot, w.Drive1, 24), kWhite); // left of the arrow
    QCOMPARE(inside(shot, w.Combo1, 24), kGrey);

    // The lists' own 16-pixel drawings from the program's resources, not a theme's.
    QCOMPARE(w.Dir1->model()->index(0, 0).data(Qt::DecorationRole).value<QIcon>().availableSizes(),
             QList<QSize> {QSize(16, 16)});
    QCOMPARE(w.Drive1->itemIcon(w.Drive1->currentIndex()).availableSizes(),
             QList<QSize> {QSize(16, 16)});
    QCOMPARE(w.Dir1->visualRect(w.Dir1->model()->index(0, 0)).height(), rowHeight);
    QVERIFY2(rowHeight <= 18, qPrintable(QString::number(rowHeight))); // six and a half rows

    // In weight mode the box is white; a highlighted record navy with white text,
    // also once the focus has moved on; the drop-down list drawn as its box is.
    Window::tick(w.Check2);
    w.clickFile(QStringLiteral("a.pas"));
    w.Text1->setFocus();
    shot = w.window.grab().toImage();
    QCOMPARE(inside(shot, w.Combo1, 24), kWhite);
    const QImage record = w.File1->viewport()->grab().toImage().copy(
        w.File1->visualRect(w.fileIndex(QStringLiteral("a.pas"))));
    QCOMPARE(record.pixel(record.width() - 4, record.height() / 2), qRgb(0x00, 0x00, 0x80));
    QVERIFY(pixels(record).lightest > 0xE0);
    QCOMPARE(w.Combo1->view()->style(), w.Combo1->style());
}

// Read without Qt's format detection, the title bar's drawing still comes out whole.
void LookTest::programIcon()
{
    const QIcon icon = ClassicLook::programIcon();
    QCOMPARE(icon.availableSizes(), QList<QSize> {QSize(32, 32)});
    const QImage drawn(QStringLiteral(":/quorvel.png"));
    QCOMPARE(drawn.size(), QSize(32, 32));
    QCOMPARE(icon.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32),
             drawn.convertToFormat(QImage::Format_ARGB32));
}

void LookTest::focusCue_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("after"); // the control after it in the tab order
    QTest::addColumn<QString>("spaceOpens"); // the record Space opens there at once
    QTest::addColumn<bool>("caret"); // a box's caret rather than a dotted rectangle
    // clang-format off
    QTest::newRow("file list, Shift+Tab from ファイル作成") << "File1" << "Command2" << "a.pas" << false;
    QTest::newRow("folder list") << "Dir1" << "File1" << QString() << false;
    QTest::newRow("ファイル作成") << "Command2" << "Text6" << QString() << false;
    QTest::newRow("Clear, a low button") << "Command5" << "Check3" << QString() << false;
    QTest::newRow("output folder box, empty") << "Text6" << "Text3" << QString() << true;
    // clang-format on
}

// Reached with Shift+Tab from the control after it, the control shows a dotted focus
// rectangle: where it looks otherwise than without the focus, every other pixel of the
// top edge. A box that takes no typing shows a caret, a line of the text's height.
void LookTest::focusCue()
{
    QFETCH(QString, control);
    QFETCH(QString, after);
    QFETCH(QString, spaceOpens);
    QFETCH(bool, caret);
    Window w(*m_services, m_dir->path());
    w.window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w.window));
    QWidget *widget = w.find<QWidget>(qPrintable(control));
    QWidget *next = w.find<QWidget>(qPrintable(after));
    next->setFocus(Qt::TabFocusReason);
    QTest::keyClick(next, Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), widget);
    const QImage focused = part(w.window.grab().toImage(), widget);
    w.Text1->setFocus();
    const QImage unfocused = part(w.window.grab().toImage(), widget);

    QRect cue;
    for (int y = 0; y < focused.height(); ++y) {
        for (int x = 0; x < focused.width(); ++x) {
            if (focused.pixel(x, y) != unfocused.pixel(x, y))
                cue |= QRect(x, y, 1, 1);
        }
    }
    QVERIFY(QRect(QPoint(), widget->size()).adjusted(1, 1, -1, -1).contains(cue));
    if (caret) {
        QVERIFY2(cue.width() <= 2 && cue.height() >= widget->height() / 2, "no caret");
        return;
    }
    QVERIFY2(cue.width() > 8 && cue.height() > 8, "no focus rectangle");
    int dots = 0;
    for (int x = cue.left(); x <= cue.right(); ++x)
        dots += focused.pixel(x, cue.top()) != unfocused.pixel(x, cue.top());
    QVERIFY2(qAbs(2 * dots - cue.width()) <= 2, qPrintable(QString::number(dots)));

    if (!spaceOpens.isEmpty()) {
        widget->setFocus(Qt::BacktabFocusReason);
        QTest::keyClick(widget, Qt::Key_Space);
        QCOMPARE(w.Label8->text(), spaceOpens);
    }
}

void LookTest::namesShownWholeAtEveryScale_data()
{
    QTest::addColumn<QString>("scale"); // QT_SCALE_FACTOR, as a laptop's 120, 144, 192 dpi
    QTest::newRow("125 %") << "1.25";
    QTest::newRow("150 %") << "1.5";
    QTest::newRow("200 %") << "2";
}

// The window scales as a whole, and its folder list leaves a name as much room at any
// scale as at 100 %, measured in the name's own text.
void LookTest::namesShownWholeAtEveryScale()
{
    QFETCH(QString, scale);
    static const QStringList atOne = namesShownWhole(QStringLiteral("1"));
    QVERIFY2(atOne.size() > 2 && atOne.size() < candidateNames().size(),
             qPrintable(atOne.join(", ")));
    const QStringList atScale = namesShownWhole(scale);
    QStringList cut;
    for (const QString &name : atOne) {
        if (!atScale.contains(name))
            cut << name;
    }
    QVERIFY2(cut.isEmpty(), qPrintable(QStringLiteral("cut at %1: ").arg(scale) + cut.join(", ")));
}

void LookTest::messageBoxes_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QString>("icon");
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<int>("key"); // that presses ファイル作成
    QTest::newRow("replace? warning, OK and キャンセル")
        << true << ":/icons/warning.png" << QStringList {"OK", "キャンセル"} << int(Qt::Key_Space);
    QTest::newRow("created, information, pressed with Return")
        << false << ":/icons/information.png" << QStringList {"OK"} << int(Qt::Key_Return);
}

// The message boxes the user meets, as the window shows them through the desktop's own
// services: in the window's look whatever the desktop theme (the test runs again under
// GTK's Adwaita dark), their lines read without CR, and the focus goes back where it was.
void LookTest::messageBoxes()
{
    QFETCH(bool, exists);
    QFETCH(QString, icon);
    QFETCH(QStringList, buttons);
    QFETCH(int, key);
    if (qEnvironmentVariable("QT_QPA_PLATFORMTHEME") == QLatin1String("gtk3")) {
        // The theme is in force: it names Qt's buttons in GNOME's manner, with mnemonics.
        QMessageBox plain(QMessageBox::Warning, QString(), QString(), QMessageBox::Ok);
        if (!plain.button(QMessageBox::Ok)->text().contains(u'&'))
            QSKIP("Qt's GTK platform theme is not in force");
    }
    QVERIFY(DesktopServices::installJapaneseQtTranslation());
    const QString record = QDir(m_dir->path()).filePath(QStringLiteral("サクラ.pas"));
    if (exists)
        QVERIFY(writeBytes(record, "old\r\n"));
    DesktopServices services;
    Quorvel1 window(services, m_dir->path());
    services.setWindow(&window);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    window.findChild<QLineEdit *>("Text1")->setText(QStringLiteral("サクラ"));
    window.findChild<QLineEdit *>("Text2")->setText(kPassword);
    auto *create = window.findChild<QPushButton *>("Command2");
    create->setFocus(Qt::TabFocusReason);

    bool seen = false;
    QTimer::singleShot(0, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        seen = true;
        const auto close = qScopeGuard([box] { box->done(QMessageBox::Cancel); });
        const QImage classic = QImage(icon).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(box->iconPixmap().toImage().convertToFormat(QImage::Format_ARGB32), classic);
        // From left to right, as the classic desktop ordered them.
        QMap<int, QString> texts;
        for (QAbstractButton *button : box->buttons()) {
            texts.insert(button->x(), button->text());
            QCOMPARE(button->font().families(), window.font().families());
        }
        QCOMPARE(texts.values(), buttons);
        const auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
        QVERIFY(label);
        QCOMPARE(label->font().families(), window.font().families());
        QCOMPARE(label->font().pointSizeF(), window.font().pointSizeF());
        QCOMPARE(label->palette().color(QPalette::Window), QColor(kGrey));
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(Qt::black));
        // A screen reader reads the lines as they show.
        const QString read = QAccessible::queryAccessibleInterface(const_cast<QLabel *>(label))
                                 ->text(QAccessible::Name);
        QVERIFY2(!read.contains(u'\r') && read.contains(u'\n') == exists, qPrintable(read));
    });
    QTest::keyClick(create, Qt::Key(key));
    QVERIFY(seen);
    QTRY_COMPARE(QApplication::focusWidget(), create);
    QTest::keyClick(create, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), window.findChild<QLineEdit *>("Text6"));
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (app.arguments().contains(QStringLiteral("--names-shown-whole")))
        return printNamesShownWhole();
    app.setAttribute(Qt::AA_Use96Dpi, true);
    LookTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_look.moc"
