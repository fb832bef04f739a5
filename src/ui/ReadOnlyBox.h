#pragma once

#include <QBasicTimer>
#include <QLineEdit>

// A box for what the program shows and nobody types, as a read-only box of Windows is:
// with the focus it shows a blinking caret, also while it is empty, which the arrow keys
// move through the text to select and copy it. Qt's read-only line edit draws none, and
// an empty one with the focus looks as if nothing had it.
class ReadOnlyBox : public QLineEdit
{
    Q_OBJECT
public:
    explicit ReadOnlyBox(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void timerEvent(QTimerEvent *event) override;

private:
    // Shown at once, as after every move, then blinking at the desktop's pace.
    void showCaret();

    QBasicTimer m_blink;
    bool m_caretShown = false;
};
