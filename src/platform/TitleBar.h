#pragma once

#include <QWidget>

// A window's own title bar, as a Windows 95 to ME window has it: the icon, the caption
// on navy (grey when the window is not the active one), and the buttons to minimize and
// to close. Only where the desktop leaves title bars to the programs, as Wayland
// compositors such as GNOME's and weston do: Qt's own would offer to maximize a window
// that cannot change its size (the main window, a message box). Elsewhere the window
// system draws the title bar.
class TitleBar : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kHeight = 18; // of the bar
    static constexpr int kFrame = 3; // the raised frame around the window
    // Where what was in the window is now.
    static constexpr QPoint kOffset{kFrame, kFrame + kHeight + 1};

    // True on Wayland, where Qt would draw the title bar itself.
    static bool needed();
    // Makes window frameless, with a raised frame and the title bar across its top, and
    // what was in it inside them: moved by kOffset, the window growing by as much, or,
    // for a window that a layout arranges (a message box), left to the layout within
    // the room they leave. Before the window is first shown.
    static TitleBar *install(QWidget *window);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class Button { None, Minimize, Close };
    explicit TitleBar(QWidget *window);
    QRect barRect() const;
    QRect buttonRect(Button button) const;
    Button buttonAt(const QPoint &pos) const;

    QWidget *m_window;
    Button m_pressed = Button::None;
    bool m_inside = false; // the pointer is still on the pressed button
};
