#pragma once

#include "Services.h"

#include <QPointer>

class QWidget;

// The services as the user meets them: Qt message boxes over the main window and
// the system's beep.
class DesktopServices : public Services
{
public:
    // Message boxes are modal to this window and centred over it.
    void setWindow(QWidget *window);

    // Qt's own texts (OK / キャンセル ...) in Japanese, like the rest of the window,
    // whatever the system's language. False when Qt's Japanese translation is missing.
    static bool installJapaneseQtTranslation();

    int messageBox(const QString &text, int style, const QString &title = QString()) override;
    void beep() override;

private:
    QPointer<QWidget> m_window;
};
