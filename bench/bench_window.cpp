// The program's start-up as the benchmark times it from outside: "quorvel" builds the
// window as main.cpp does, "bare" a plain window with one line edit. Either one prints
// its peak resident memory once the first paint of the whole window (every control in
// it) is done, and quits; the benchmark takes the time from starting the process to
// that line. "check" runs the check command on the folder it is started in, without a
// window as the command runs, and prints the time it took and its peak memory.
#include "BenchSystem.h"
#include "cli/Commands.h"
#include "platform/DesktopServices.h"
#include "ui/ClassicLook.h"
#include "ui/Quorvel1.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QIcon>
#include <QLineEdit>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {
// Reports after the first paint event of the window has been handled, once the rest
// of that paint pass (the children, the flush) has run too.
class FirstPaint : public QObject
{
public:
    explicit FirstPaint(QWidget *window) : m_window(window) { }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!m_seen && watched == m_window && event->type() == QEvent::Paint) {
            m_seen = true;
            QTimer::singleShot(0, qApp, [] {
                std::printf("painted %ld\n", BenchSystem::peakResidentKiB());
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return false;
    }

private:
    QWidget *m_window;
    bool m_seen = false;
};
} // namespace

int main(int argc, char *argv[])
{
    // "read": the folder's entries counted, nothing shown, for what the read alone costs.
    if (argc > 1 && QByteArray(argv[1]) == "read") {
        BenchSystem::countEntries(QDir::currentPath());
        std::printf("painted %ld\n", BenchSystem::peakResidentKiB());
        return 0;
    }
    if (argc > 1 && QByteArray(argv[1]) == "check") {
        QCoreApplication app(argc, argv);
        QElapsedTimer timer;
        timer.start();
        const int code = Commands::check({}, false);
        const double ms = timer.nsecsElapsed() / 1e6;
        std::printf("\nchecked %d %.3f %ld\n", code, ms, BenchSystem::peakResidentKiB());
        return 0;
    }
    const bool bare = argc > 1 && QByteArray(argv[1]) == "bare";
    QApplication app(argc, argv);
    std::unique_ptr<QWidget> window;
    std::unique_ptr<DesktopServices> services;
    if (bare) {
        window = std::make_unique<QWidget>();
        new QLineEdit(window.get());
    } else {
        QApplication::setApplicationName(QStringLiteral("Quorvel"));
        QApplication::setWindowIcon(ClassicLook::programIcon());
        DesktopServices::installJapaneseQtTranslation();
        services = std::make_unique<DesktopServices>();
        window = std::make_unique<Quorvel1>(*services, QDir::currentPath());
        services->setWindow(window.get());
    }
    FirstPaint watcher(window.get());
    window->installEventFilter(&watcher);
    window->show();
    return app.exec();
}
