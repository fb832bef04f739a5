#pragma once

#include <QElapsedTimer>
#include <QGuiApplication>

// The wait cursor for work that turns out to be long: poll() now and then while
// working shows it once a fraction of a second has passed, so that opening a small
// folder does not make the cursor flicker. It goes when the object does.
class BusyCursor
{
public:
    BusyCursor() { m_timer.start(); }
    ~BusyCursor()
    {
        if (m_shown)
            QGuiApplication::restoreOverrideCursor();
    }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;

    void poll()
    {
        if (m_shown || m_timer.elapsed() < kDelayMs)
            return;
        m_shown = true;
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }

private:
    static constexpr qint64 kDelayMs = 150;
    QElapsedTimer m_timer;
    bool m_shown = false;
};
