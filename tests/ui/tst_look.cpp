// The window's classic look: whatever palette and icon theme the desktop gives the
// application, the window is drawn grey with black captions, white boxes and lists,
// a navy selection and rows of the original height.
#include "UiTestSupport.h"

#include <QApplication>
#include <QGroupBox>
#include <QIcon>
#include <QTemporaryDir>

#include <optional>

using namespace UiTest;

namespace {
const QRgb kGrey = qRgb(0xC0, 0xC0, 0xC0);
const QRgb kWhite = qRgb(0xFF, 0xFF, 0xFF);
const QRgb kNavy = qRgb(0x00, 0x00, 0x80);

// What a dark desktop theme hands every application.
QPalette darkPalette()
{
    QPalette dark(QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::WindowText, QColor(0xEE, 0xEE, 0xEC));
    dark.setColor(QPalette::Text, QColor(0xEE, 0xEE, 0xEC));
    dark.setColor(QPalette::ButtonText, QColor(0xEE, 0xEE, 0xEC));
    dark.setColor(QPalette::Base, QColor(0x2D, 0x2D, 0x2D));
    dark.setColor(QPalette::Highlight, QColor(0x15, 0x53, 0x9E));
    return dark;
}

// The part of the window's picture that a control covers.
QImage part(const QImage &shot, const QWidget *window, const QWidget *widget)
{
    return shot.copy(QRect(widget->mapTo(window, QPoint()), widget->size()));
}

int darkest(const QImage &image)
{
    int value = 255;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            value = qMin(value, qGray(image.pixel(x, y)));
    return value;
}

int lightest(const QImage &image)
{
    int value = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            value = qMax(value, qGray(image.pixel(x, y)));
    return value;
}

// In per cent of the image's pixels.
int share(const QImage &image, QRgb colour)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixel(x, y) == colour;
    return 100 * count / (image.width() * image.height());
}

// The colour inside a box, just within its frame.
QRgb inside(const QImage &image)
{
    return image.pixel(4, image.height() / 2);
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
    void disabledWeightBox_data();
    void disabledWeightBox();
    void selection();

private:
    void setTheme(bool dark, const QString &iconTheme)
    {
        if (dark)
            QApplication::setPalette(darkPalette());
        if (!iconTheme.isEmpty())
            QIcon::setThemeName(iconTheme);
    }
    int folderRowHeight()
    {
        Window w(*m_services, m_dir->path());
        return w.Dir1->visualRect(w.Dir1->model()->index(0, 0)).height();
    }

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
    // Adwaita's folders are larger drawings than the lists' 16 pixels.
    QTest::newRow("dark palette, Adwaita icons") << true << QStringLiteral("Adwaita");
}

void LookTest::underAnyTheme()
{
    QFETCH(bool, dark);
    QFETCH(QString, iconTheme);
    const int rowHeight = folderRowHeight();
    setTheme(dark, iconTheme);

    Window w(*m_services, m_dir->path());
    // Away from the drive list, whose field is highlighted while it has the focus as a
    // classic one is, and from the boxes, where the caret would stand.
    w.Command5->setFocus();
    const QImage shot = w.window.grab().toImage();
    const QWidget *window = &w.window;

    // Captions: black text on the form's grey.
    for (const char *name : {"Label4", "Label5", "Label7", "Label3", "Label2"}) {
        const QImage caption = part(shot, window, w.find<QLabel>(name));
        QVERIFY2(darkest(caption) < 0x40, name);
        QVERIFY2(share(caption, kGrey) > 25, name);
    }
    for (QCheckBox *box : {w.Check1, w.Check2, w.Check3}) {
        const QImage text
            = part(shot, window, box).copy(QRect(20, 0, box->width() - 20, box->height()));
        QVERIFY2(darkest(text) < 0x40, qPrintable(box->objectName()));
        QVERIFY2(share(text, kGrey) > 25, qPrintable(box->objectName()));
    }
    // Frames are etched lines, the grey inside them untinted.
    for (const char *name : {"Frame1", "Frame2"}) {
        const QImage frame = part(shot, window, w.find<QGroupBox>(name));
        QCOMPARE(frame.pixel(frame.width() - 8, frame.height() - 8), kGrey);
    }

    // Boxes and lists: white, with black text where there is some.
    for (QWidget *box : std::initializer_list<QWidget *> {w.Text1, w.Text2, w.Text6, w.Text3,
                                                          w.Label8, w.Label1, w.File1}) {
        QCOMPARE(inside(part(shot, window, box)), kWhite);
    }
    const QImage folders = part(shot, window, w.Dir1);
    QCOMPARE(folders.pixel(folders.width() - 24, folders.height() - 6), kWhite);
    QVERIFY(darkest(folders) < 0x40);
    const QImage drive = part(shot, window, w.Drive1);
    QCOMPARE(drive.pixel(drive.width() - 24, drive.height() / 2), kWhite); // left of the arrow

    // The lists' own 16-pixel drawings from the program's resources, not a theme's.
    for (const QModelIndex &row : {w.Dir1->model()->index(0, 0), w.Dir1->model()->index(3, 0)}) {
        QCOMPARE(row.data(Qt::DecorationRole).value<QIcon>().availableSizes(),
                 QList<QSize> {QSize(16, 16)});
    }
    QCOMPARE(w.Drive1->itemIcon(w.Drive1->currentIndex()).availableSizes(),
             QList<QSize> {QSize(16, 16)});
    QCOMPARE(w.Dir1->visualRect(w.Dir1->model()->index(0, 0)).height(), rowHeight);
    // Six and a half entries, as the original shows.
    QVERIFY2(rowHeight <= 18, qPrintable(QString::number(rowHeight)));
}

void LookTest::disabledWeightBox_data()
{
    QTest::addColumn<bool>("dark");
    QTest::newRow("default palette") << false;
    QTest::newRow("dark palette") << true;
}

// Greyed as a classic box is when it takes no input, white once weight mode is on.
void LookTest::disabledWeightBox()
{
    QFETCH(bool, dark);
    setTheme(dark, QString());
    Window w(*m_services, m_dir->path());
    QCOMPARE(inside(part(w.window.grab().toImage(), &w.window, w.Combo1)), kGrey);
    Window::tick(w.Check2);
    QTest::keyClicks(w.Combo1->lineEdit(), QStringLiteral("55"));
    const QImage enabled = part(w.window.grab().toImage(), &w.window, w.Combo1);
    QCOMPARE(inside(enabled), kWhite);
    QVERIFY(darkest(enabled) < 0x40);
    // Its drop-down list is drawn as the box is.
    QCOMPARE(w.Combo1->view()->style(), w.Combo1->style());
}

// A highlighted record is navy with white text, and stays so when the focus moves on.
void LookTest::selection()
{
    setTheme(true, QString());
    Window w(*m_services, m_dir->path());
    w.clickFile(QStringLiteral("a.pas"));
    const QRect row = w.File1->visualRect(w.fileIndex(QStringLiteral("a.pas")));
    for (bool focused : {true, false}) {
        if (!focused)
            w.Text1->setFocus();
        const QImage shot = w.File1->viewport()->grab().toImage().copy(row);
        QVERIFY2(share(shot, kNavy) > 50, focused ? "focused" : "unfocused");
        QVERIFY2(lightest(shot) > 0xE0, focused ? "focused" : "unfocused");
    }
}

QTEST_MAIN(LookTest)
#include "tst_look.moc"
