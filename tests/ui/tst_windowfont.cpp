// The window with one Japanese font family installed, as on a machine that has that one
// and no other: ctest runs this once for each family, with FONTCONFIG_FILE naming a
// configuration of DejaVu and that family only, and QUORVEL_TEST_FONT_FAMILY the
// family. The program's own copy of IPAPGothic lies in "fonts" beside this test, as it
// lies beside the program; built as windowfont_alone, the test lies where there is none.
#include "UiTestSupport.h"
#include "ui/WindowFont.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGlyphRun>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextLayout>

using namespace UiTest;

namespace {
// Where text drew into the widget: what differs from the same widget without text.
template <typename Widget> QRect inkOf(Widget *widget)
{
    const QString text = widget->text();
    const QImage with = widget->grab().toImage();
    widget->setText(QString());
    const QImage without = widget->grab().toImage();
    widget->setText(text);
    QRect ink;
    for (int y = 0; y < with.height(); ++y) {
        for (int x = 0; x < with.width(); ++x) {
            if (with.pixel(x, y) != without.pixel(x, y))
                ink |= QRect(x, y, 1, 1);
        }
    }
    return ink;
}
} // namespace

class FontsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void standInWithoutOwnFont();
    void ownFontFirst();
    void nothingClipped();
    void latinLettersDrawn();

private:
    QString m_family;
};

void FontsTest::initTestCase()
{
    m_family = qEnvironmentVariable("QUORVEL_TEST_FONT_FAMILY");
    if (m_family.isEmpty())
        QSKIP("QUORVEL_TEST_FONT_FAMILY names no family");
    if (!QFontDatabase::hasFamily(m_family))
        QSKIP(qPrintable(m_family + QStringLiteral(" is not installed")));
    QVERIFY(!QFontDatabase::hasFamily(QStringLiteral("MS PGothic")));
}

// Without the program's own copy, the family installed stands in, by its proportional
// face where it has one.
void FontsTest::standInWithoutOwnFont()
{
    if (QFontDatabase::hasFamily(QStringLiteral("IPAPGothic")) && m_family != "IPAPGothic")
        QSKIP("IPAPGothic is loaded already");
    QCOMPARE(WindowFont::choose({}), m_family);
}

void FontsTest::ownFontFirst()
{
    const QString family = WindowFont::family();
#ifdef QUORVEL_TEST_WITHOUT_OWN_FONT
    QCOMPARE(family, m_family);
#else
    QCOMPARE(family, QStringLiteral("IPAPGothic"));
#endif
    QCOMPARE(QFontInfo(QFont(family)).family(), family);
    QCOMPARE(QFontInfo(QFont(family, 9, QFont::Bold)).family(), family);
}

// The version text's three lines, the date, every caption and button text are whole,
// with room to spare inside their frames.
void FontsTest::nothingClipped()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeBytes(dir.filePath(QStringLiteral("サクラ(55).pas")), "ABC\r\n#55\r\n"));
    FakeServices services;
    Window w(services, dir.path());
    QCOMPARE(QFontInfo(w.Command2->font()).family(), WindowFont::family());

    w.clickFile(QStringLiteral("サクラ(55).pas"));
    QVERIFY(w.Label1->text().startsWith(QStringLiteral("作成日")));
    QTest::mouseClick(w.Command4, Qt::LeftButton);
    QCOMPARE(w.Text3->document()->blockCount(), 3);
    for (QTextBlock block = w.Text3->document()->begin(); block.isValid(); block = block.next())
        QCOMPARE(block.layout()->lineCount(), 1);
    QCOMPARE(w.Text3->verticalScrollBar()->maximum(), 0);

    // Buttons keep their text off their 2-pixel bevel. Labels and check boxes are as
    // high as a line of the designed font, and labels as wide as their text: their text
    // is whole when it draws the same with room around it.
    for (QPushButton *button : {w.Command1, w.Command2, w.Command4, w.Command5})
        QVERIFY2(button->rect().adjusted(2, 2, -2, -2).contains(inkOf(button)),
                 qPrintable(button->text()));
    const auto whole = [](auto *widget) {
        const QSize ink = inkOf(widget).size();
        widget->resize(widget->size() + QSize(24, 24));
        const QSize roomy = inkOf(widget).size();
        widget->resize(widget->size() - QSize(24, 24));
        QVERIFY2(ink == roomy, qPrintable(widget->objectName()));
    };
    for (QCheckBox *box : {w.Check1, w.Check2, w.Check3})
        whole(box);
    for (QLabel *label : w.window.findChildren<QLabel *>()) {
        if (label->isVisible() && !label->text().isEmpty())
            whole(label);
    }
    w.Command2->hide();
    w.Command3->show();
    QVERIFY(w.Command3->rect().adjusted(2, 2, -2, -2).contains(inkOf(w.Command3)));

    // The caption of the count inside its frame, below the frame's top edge.
    const QLabel *count = w.Label9->parentWidget()->findChild<QLabel *>(QStringLiteral("Label2"));
    QVERIFY(count->geometry().top() > 2
            && count->geometry().right() < count->parentWidget()->width() - 2);

    // The font that fits as designed keeps its designed size.
    if (WindowFont::family() == QLatin1String("IPAPGothic")) {
        for (QWidget *widget : w.window.findChildren<QWidget *>()) {
            const qreal points = widget->font().pointSizeF();
            QVERIFY2(
                points == 9
                    || (points == 8.25 && (widget == w.Text3 || w.Text3->isAncestorOf(widget))),
                qPrintable(widget->objectName() + u' ' + QString::number(points)));
        }
    }
}

// Every letter and digit is drawn from a font that has it, not as the box of a missing glyph.
void FontsTest::latinLettersDrawn()
{
    FakeServices services;
    QTemporaryDir dir;
    Window w(services, dir.path());
    for (QWidget *widget : {static_cast<QWidget *>(w.Text3), static_cast<QWidget *>(w.Label1)}) {
        QTextLayout layout(QStringLiteral("Quorvel ver1.08 ABCXYZ abcxyz 0123456789 作成日"),
                           widget->font());
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        for (const QGlyphRun &run : layout.glyphRuns())
            QVERIFY2(!run.glyphIndexes().contains(0), qPrintable(run.rawFont().familyName()));
    }
}

QTEST_MAIN(FontsTest)
#include "tst_windowfont.moc"
