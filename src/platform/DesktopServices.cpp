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
// have it, not bold), and buttons with captions only, as the window's buttons are. Its
// icon comes from the window's style too.
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
    // The texts break their lines with CR LF, as the record files do; a screen reader
    // would read the CR, so the box gets bare line feeds, which it shows alike.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(icon, title.isEmpty() ? applicationTitle() : title, shown, buttons, m_window);
    // The texts hold file names, which may look like markup.
    box.setTextFormat(Qt::PlainText);
    takeLookOf(m_window, box);
    // A desktop theme names the buttons in its own manner, with a mnemonic ("_OK" under
    // GNOME, shown underlined); the classic box says OK and キャンセル, and Return, Escape
    // and Tab are all its keyboard needs.
    box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
    if (QAbstractButton *cancel = box.button(QMessageBox::Cancel))
        cancel->setText(QStringLiteral("キャンセル"));
    if (TitleBar::needed())
        TitleBar::install(&box);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(buttons.testFlag(QMessageBox::Cancel) ? QMessageBox::Cancel
                                                              : QMessageBox::Ok);
    // The control that had the focus has it again once the box is closed, so that Tab goes
    // on from there: Qt leaves that to the window system, which does not always give the
    // window its focus back.
    const QPointer<QWidget> focus = QApplication::focusWidget();
    const int answer = box.exec();
    if (focus && focus->isVisible() && focus->isEnabled()) {
        focus->activateWindow();
        focus->setFocus(Qt::OtherFocusReason);
    }
    return answer == QMessageBox::Ok ? Ok : Cancel;
}

