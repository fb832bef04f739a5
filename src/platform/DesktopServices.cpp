#include "DesktopServices.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>

#ifdef Q_OS_UNIX
#include <csignal>
#endif

void DesktopServices::setWindow(QWidget *window)
{
    m_window = window;
}

bool DesktopServices::installJapaneseQtTranslation()
{
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral("qtbase_ja"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

void DesktopServices::ignoreFileSizeSignal()
{
#ifdef Q_OS_UNIX
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

int DesktopServices::messageBox(const QString &text, int style, const QString &title)
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    switch (style) {
    case Exclamation:
        icon = QMessageBox::Warning;
        break;
    case ExclamationOkCancel:
        icon = QMessageBox::Warning;
        buttons = QMessageBox::Ok | QMessageBox::Cancel;
        break;
    case Information:
        icon = QMessageBox::Information;
        break;
    default:
        break;
    }
    QMessageBox box(icon, title.isEmpty() ? applicationTitle() : title, text, buttons, m_window);
    // The texts hold file names, which may look like markup.
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(buttons.testFlag(QMessageBox::Cancel) ? QMessageBox::Cancel
                                                              : QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok ? Ok : Cancel;
}

void DesktopServices::beep()
{
    QApplication::beep();
}
