#pragma once

#include <QPushButton>

// A button of the window as the classic desktop has it: while it has the focus, Return and
// keypad Enter press it as the space bar does. Outside a dialog Qt's buttons take only the
// keys the platform theme lists, which is the space bar alone everywhere but under GTK.
class CommandButton : public QPushButton
{
    Q_OBJECT
public:
    using QPushButton::QPushButton;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
};
