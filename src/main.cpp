#include "platform/DesktopServices.h"
#include "ui/Quorvel1.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/quorvel.png")));

    // The window speaks Japanese whatever the system's language, so Qt's own
    // buttons (OK / キャンセル) must too.
    QTranslator qtJapanese;
    if (qtJapanese.load(QStringLiteral("qtbase_ja"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtJapanese);

    DesktopServices services;
    Quorvel1 window(services, QDir::currentPath());
    services.setWindow(&window);
    window.show();
    return app.exec();
}
