#include "DesktopServices.h"

#include "TitleBar.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QStyle>
#include <QTranslator>


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

namespace {
// A message box is a window of its own, which takes the desktop theme's look, not that of
// the window it speaks for: it gets the window's palette, style and font (as its controls
// have it, not bold), and buttons with captions only, as the window's buttons are.
void takeLookOf(const QWidget *window, QMessageBox &box)
{
    if (!window)
        return;
    box.setPalette(window->palette());
    QFont font = window->font();
    font.setBold(false);
    box.setFont(font);
    QStyle *style = window->style();
    box.setStyle(style);
    for (QWidget *child : box.findChildren<QWidget *>())
        child->setStyle(style);
    for (QAbstractButton *button : box.buttons())
        button->setIcon(QIcon());
}
} // namespace

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
    takeLookOf(m_window, box);
    if (TitleBar::needed())
        TitleBar::install(&box);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(buttons.testFlag(QMessageBox::Cancel) ? QMessageBox::Cancel
                                                              : QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok ? Ok : Cancel;
}

