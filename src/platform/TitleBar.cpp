#include "TitleBar.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>
#include <qdrawutil.h>

namespace {
const QColor kActive(0x00, 0x00, 0x80);
const QColor kInactive(0x80, 0x80, 0x80);
const QSize kButton(16, 14);
} // namespace

bool TitleBar::needed()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

TitleBar *TitleBar::install(QWidget *window)
{
    window->setWindowFlag(Qt::FramelessWindowHint);
    if (window->layout()) {
        window->setContentsMargins(kFrame, kOffset.y(), kFrame, kFrame);
    } else {
        for (QWidget *child : window->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            child->move(child->pos() + kOffset);
        window->setFixedSize(window->size() + QSize(2 * kFrame, kOffset.y() + kFrame));
    }
    // Under the controls, drawing the frame and the bar around them.
    auto *bar = new TitleBar(window);
    bar->setGeometry(window->rect());
    bar->lower();
    bar->show();
    return bar;
}

TitleBar::TitleBar(QWidget *window) : QWidget(window), m_window(window)
{
    setObjectName(QStringLiteral("TitleBar"));
    // The caption shows the window's title and the colour whether it is active.
    window->installEventFilter(this);
}

bool TitleBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window) {
        if (event->type() == QEvent::Resize)
            setGeometry(m_window->rect());
        else if (event->type() == QEvent::WindowTitleChange
                 || event->type() == QEvent::WindowIconChange
                 || event->type() == QEvent::ActivationChange)
            update();
    }
    return QWidget::eventFilter(watched, event);
}

QRect TitleBar::barRect() const
{
    return QRect(kFrame, kFrame, width() - 2 * kFrame, kHeight);
}

QRect TitleBar::buttonRect(Button button) const
{
    const QRect bar = barRect();
    const int top = bar.top() + (kHeight - kButton.height()) / 2;
    const int closeLeft = bar.right() - 1 - kButton.width();
    if (button == Button::Close)
        return QRect(QPoint(closeLeft, top), kButton);
    // Only a window that may be minimized has the button (a message box has not).
    if (button == Button::Minimize && m_window->windowFlags().testFlag(Qt::WindowMinimizeButtonHint))
        return QRect(QPoint(closeLeft - 2 - kButton.width(), top), kButton);
    return QRect();
}

TitleBar::Button TitleBar::buttonAt(const QPoint &pos) const
{
    for (const Button button : {Button::Minimize, Button::Close}) {
        if (buttonRect(button).contains(pos))
            return button;
    }
    return Button::None;
}

void TitleBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QPalette palette = m_window->palette();
    qDrawWinPanel(&painter, rect(), palette, false, &palette.brush(QPalette::Window));
    const QRect bar = barRect();
    painter.fillRect(bar, m_window->isActiveWindow() ? kActive : kInactive);

    int textLeft = bar.left() + 2;
    const QIcon icon = m_window->windowIcon();
    if (!icon.isNull()) {
        icon.paint(&painter, QRect(bar.left() + 1, bar.top() + 1, 16, 16));
        textLeft += 18;
    }
    QFont font = m_window->font();
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(m_window->isActiveWindow() ? Qt::white : QColor(0xC0, 0xC0, 0xC0));
    const QRect firstButton = buttonRect(Button::Minimize).isNull() ? buttonRect(Button::Close)
                                                                      : buttonRect(Button::Minimize);
    const QRect text(textLeft, bar.top(), firstButton.left() - textLeft - 2, kHeight);
    painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     painter.fontMetrics().elidedText(m_window->windowTitle(), Qt::ElideRight,
                                                      text.width()));

    for (const Button button : {Button::Minimize, Button::Close}) {
        const bool sunken = m_pressed == button && m_inside;
        const QRect box = buttonRect(button);
        if (box.isNull())
            continue;
        qDrawWinButton(&painter, box, palette, sunken, &palette.brush(QPalette::Button));
        // The glyph moves a pixel down and right while the button is held, as it did.
        const QPoint c = box.center() + (sunken ? QPoint(1, 1) : QPoint());
        painter.setPen(QPen(Qt::black, 2));
        if (button == Button::Minimize) {
            painter.fillRect(QRect(c.x() - 4, c.y() + 2, 6, 2), Qt::black);
        } else {
            painter.setRenderHint(QPainter::Antialiasing, false);
            painter.drawLine(c + QPoint(-3, -3), c + QPoint(3, 2));
            painter.drawLine(c + QPoint(-3, 2), c + QPoint(3, -3));
        }
    }
}

void TitleBar::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_pressed = buttonAt(event->position().toPoint());
    m_inside = m_pressed != Button::None;
    if (m_pressed != Button::None) {
        update();
        return;
    }
    if (!barRect().contains(event->position().toPoint()))
        return;
    // Anywhere else on the bar the window is dragged, by the compositor.
    if (QWindow *handle = m_window->windowHandle())
        handle->startSystemMove();
}

void TitleBar::mouseMoveEvent(QMouseEvent *event)
{
    const bool inside = m_pressed != Button::None && buttonAt(event->position().toPoint()) == m_pressed;
    if (inside != m_inside) {
        m_inside = inside;
        update();
    }
}

void TitleBar::mouseReleaseEvent(QMouseEvent *event)
{
    const Button pressed = std::exchange(m_pressed, Button::None);
    const bool clicked = pressed != Button::None && buttonAt(event->position().toPoint()) == pressed;
    m_inside = false;
    update();
    if (!clicked)
        return;
    if (pressed == Button::Close)
        m_window->close();
    else
        m_window->showMinimized();
}
