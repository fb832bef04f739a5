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

    // A file-size limit (ulimit -f) then makes a record's write fail with a message, as a
    // full disk does, instead of ending the program half-way through a save.
    static void ignoreFileSizeSignal();

    int messageBox(const QString &text, int style, const QString &title = QString()) override;
    void beep() override;

private:
    QPointer<QWidget> m_window;
};
