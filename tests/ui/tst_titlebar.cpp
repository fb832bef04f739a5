// The window's title bar: one that offers to minimize and to close and never to
// maximize a window of fixed size, whoever draws it. ctest runs this offscreen, and on
// Wayland (weston's headless backend) where Qt would draw the title bar itself.
#include "UiTestSupport.h"
#include "ui/TitleBar.h"
#include "ui/Twips.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <QWindow>

using namespace UiTest;

class TitleBarTest : public QObject
{
    Q_OBJECT

private slots:
    void windowOnThisPlatform();
    void ownTitleBar_data();
    void ownTitleBar();
};

void TitleBarTest::windowOnThisPlatform()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    FakeServices services;
    Window w(services, dir.path());
    const Qt::WindowFlags flags = w.window.windowFlags();
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint) || flags.testFlag(Qt::FramelessWindowHint));
    QCOMPARE(w.window.minimumSize(), w.window.maximumSize());

    auto *bar = w.window.findChild<TitleBar *>();
    const QSize client(465, 433);
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        QVERIFY(!bar);
        QCOMPARE(w.window.size(), client);
        return;
    }
    // On Wayland: Qt draws no title bar (none with a maximize button); the window's own
    // is there, and the window is as large as its controls need and its frame adds.
    QVERIFY(bar);
    QVERIFY(flags.testFlag(Qt::FramelessWindowHint));
    QCOMPARE(w.window.windowHandle()->frameMargins(), QMargins());
    QCOMPARE(w.window.size(), client + QSize(2 * TitleBar::kFrame,
                                             TitleBar::kOffset.y() + TitleBar::kFrame));
    QCOMPARE(w.Text1->pos(), Twips::rect(120, 360, 1815, 300).topLeft() + TitleBar::kOffset);
}

void TitleBarTest::ownTitleBar_data()
{
    QTest::addColumn<int>("fromRight"); // where on the bar, from its right end
    QTest::addColumn<bool>("closed");
    QTest::addColumn<bool>("minimized");
    QTest::newRow("close") << TitleBar::kFrame + 10 << true << false;
    QTest::newRow("minimize") << TitleBar::kFrame + 28 << false << true;
    QTest::newRow("caption") << 200 << false << false;
}

void TitleBarTest::ownTitleBar()
{
    QFETCH(int, fromRight);
    QFETCH(bool, closed);
    QFETCH(bool, minimized);
    QWidget window(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint
                                | Qt::WindowCloseButtonHint);
    window.setFixedSize(465, 433);
    auto *child = new QWidget(&window);
    child->setGeometry(8, 24, 121, 20);
    TitleBar *bar = TitleBar::install(&window);
    QVERIFY(window.windowFlags().testFlag(Qt::FramelessWindowHint));
    QCOMPARE(child->pos(), QPoint(8, 24) + TitleBar::kOffset);
    QCOMPARE(window.minimumSize(), QSize(471, 458));
    QCOMPARE(window.maximumSize(), QSize(471, 458));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    const QPoint at(window.width() - fromRight, TitleBar::kFrame + TitleBar::kHeight / 2);
    QTest::mouseClick(bar, Qt::LeftButton, {}, at);
    QCOMPARE(window.isVisible(), !closed);
    QCOMPARE(window.isMinimized(), minimized);
}

QTEST_MAIN(TitleBarTest)
#include "tst_titlebar.moc"
