#include "platform/DesktopServices.h"
#include "ui/Quorvel1.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/quorvel.png")));

    DesktopServices::installJapaneseQtTranslation();
    DesktopServices::ignoreFileSizeSignal();

    DesktopServices services;
    Quorvel1 window(services, Services::startFolder());
    services.setWindow(&window);
    window.show();
    return app.exec();
}
