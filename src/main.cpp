#include "Version.h"
#include "cli/Commands.h"
#include "platform/DesktopServices.h"
#include "platform/Volumes.h"
#include "ui/ClassicLook.h"
#include "ui/Quorvel1.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    // A command runs without the window, and so without a display.
    if (Commands::given(argc, argv))
        return Commands::run(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    QApplication::setWindowIcon(ClassicLook::programIcon());
    // Lets a Wayland desktop match the window to the installed menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(QUORVEL_APP_ID));

    DesktopServices::installJapaneseQtTranslation();
    DesktopServices::ignoreFileSizeSignal();
    Volumes::failWithoutAskingForMedia();

    DesktopServices services;
    Quorvel1 window(services, Services::startFolder());
    services.setWindow(&window);
    window.show();
    return app.exec();
}
