#include "CommandButton.h"

#include <QKeyEvent>

namespace {
bool isReturn(const QKeyEvent *event)
{
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

// Return goes the space bar's way: down on the press, clicked on the release if the button
// is still down, a held key clicking once.
QKeyEvent spaceBar(const QKeyEvent *event)
{
    return QKeyEvent(event->type(), Qt::Key_Space, event->modifiers() & ~Qt::KeypadModifier,
                     QStringLiteral(" "), event->isAutoRepeat(), ushort(event->count()));
}
} // namespace

void CommandButton::keyPressEvent(QKeyEvent *event)
{
    if (!isReturn(event)) {
        QPushButton::keyPressEvent(event);
        return;
    }
    QKeyEvent space = spaceBar(event);
    QPushButton::keyPressEvent(&space);
    event->setAccepted(space.isAccepted());
}

void CommandButton::keyReleaseEvent(QKeyEvent *event)
{
    if (!isReturn(event)) {
        QPushButton::keyReleaseEvent(event);
        return;
    }
    QKeyEvent space = spaceBar(event);
    QPushButton::keyReleaseEvent(&space);
    event->setAccepted(space.isAccepted());
}
