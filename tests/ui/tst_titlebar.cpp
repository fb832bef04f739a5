// The window's title bar: one that offers to minimize and to close and never to
// maximize a window of fixed size, whoever draws it. ctest runs this offscreen, and on
// Wayland (weston's headless backend) where Qt would draw the title bar itself.
#include "UiTestSupport.h"
#include "platform/DesktopServices.h"
#include "platform/TitleBar.h"
#include "ui/Twips.h"

#include <QApplication>
#include <QMessageBox>
#include <QScopeGuard>
#include <QTimer>
#include <QTemporaryDir>
#include <QWindow>

using namespace UiTest;

class TitleBarTest : public QObject
{
    Q_OBJECT

private slots:
    void windowOnThisPlatform();
    void messageBoxOnThisPlatform();
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

// A message box is a window of fixed size too.
void TitleBarTest::messageBoxOnThisPlatform()
{
    QWidget window;
    window.show();
    DesktopServices services;
    services.setWindow(&window);
    const bool wayland = QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    bool seen = false;
    QTimer::singleShot(0, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        const auto close = qScopeGuard([box] { box->done(QMessageBox::Ok); });
        QVERIFY(QTest::qWaitForWindowExposed(box));
        seen = true;
        QVERIFY(!box->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        auto *bar = box->findChild<TitleBar *>();
        QCOMPARE(bool(bar), wayland);
        if (!wayland)
            return;
        QCOMPARE(box->windowHandle()->frameMargins(), QMargins());
        QCOMPARE(bar->geometry(), box->rect());
        // The text and the button lie below the bar, inside the frame.
        for (QWidget *part : box->findChildren<QWidget *>()) {
            if (part != bar && part->isVisible() && part->parentWidget() == box)
                QVERIFY(part->y() >= TitleBar::kOffset.y() && part->x() >= TitleBar::kFrame);
        }
    });
    QCOMPARE(services.messageBox(QStringLiteral("テキスト"), Services::Exclamation, QStringLiteral("確認!")),
             int(Services::Ok));
    QVERIFY(seen);
}

void TitleBarTest::ownTitleBar_data()
{
    QTest::addColumn<bool>("mayMinimize"); // the window's own flag
    QTest::addColumn<int>("fromRight"); // where on the bar, from its right end
    QTest::addColumn<bool>("closed");
    QTest::addColumn<bool>("minimized");
    QTest::newRow("close") << true << TitleBar::kFrame + 10 << true << false;
    QTest::newRow("minimize") << true << TitleBar::kFrame + 28 << false << true;
    QTest::newRow("caption") << true << 200 << false << false;
    QTest::newRow("no minimize button") << false << TitleBar::kFrame + 28 << false << false;
}

void TitleBarTest::ownTitleBar()
{
    QFETCH(bool, mayMinimize);
    QFETCH(int, fromRight);
    QFETCH(bool, closed);
    QFETCH(bool, minimized);
    QWidget window(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                                | (mayMinimize ? Qt::WindowMinimizeButtonHint : Qt::Widget));
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
