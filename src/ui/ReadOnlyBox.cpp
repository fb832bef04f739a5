#include "ReadOnlyBox.h"

#include <QGuiApplication>
#include <QPainter>
#include <QStyle>
#include <QStyleHints>

ReadOnlyBox::ReadOnlyBox(QWidget *parent) : QLineEdit(parent)
{
    setReadOnly(true);
    connect(this, &QLineEdit::cursorPositionChanged, this, [this] {
        if (hasFocus())
            showCaret();
    });
}

void ReadOnlyBox::showCaret()
{
    m_caretShown = true;
    // A flash time below two milliseconds is the desktop's word for a caret that stays.
    const int flash = QGuiApplication::styleHints()->cursorFlashTime();
    if (flash >= 2)
        m_blink.start(flash / 2, this);
    else
        m_blink.stop();
    update();
}

void ReadOnlyBox::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    showCaret();
}

void ReadOnlyBox::focusOutEvent(QFocusEvent *event)
{
    m_blink.stop();
    m_caretShown = false;
    QLineEdit::focusOutEvent(event);
    update();
}

void ReadOnlyBox::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_blink.timerId()) {
        QLineEdit::timerEvent(event);
        return;
    }
    m_caretShown = !m_caretShown;
    update();
}

void ReadOnlyBox::paintEvent(QPaintEvent *event)
{
    QLineEdit::paintEvent(event);
    if (!m_caretShown || !hasFocus())
        return;
    // Qt's cursor rectangle stands a few pixels out on either side of the line it draws
    // for an editable box, with the line in its middle, one text line high.
    const QRect around = cursorRect();
    const int width = qMax(1, style()->pixelMetric(QStyle::PM_TextCursorWidth, nullptr, this));
    QPainter painter(this);
    painter.fillRect(
        QRect(around.left() + around.width() / 2, around.top(), width, around.height() - 1),
        palette().brush(QPalette::Text));
}
