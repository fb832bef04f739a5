#include "DesktopServices.h"

#include <QApplication>
#include <QLibrary>

#include <csignal>
#include <cstdint>

namespace {
// The desktop's own event sounds, through libcanberra, as the desktop's programs make
// them: Qt's beep is the X server's bell, which most desktops leave silent, and on
// Wayland it does nothing at all. Loaded when first needed, so that the program runs
// where the library is missing; libcanberra itself stays quiet where there is no sound.
class EventSound
{
public:
    static EventSound &instance()
    {
        static EventSound sound;
        return sound;
    }

    // False when the sound could not be started: no library, no sound system, no
    // sound in the theme.
    bool play(const char *eventId)
    {
        if (!m_context)
            return false;
        return m_play(m_context, 0, "event.id", eventId, nullptr) == 0;
    }

private:
    struct Context;
    using Create = int (*)(Context **);
    using ChangeProps = int (*)(Context *, ...);
    using Play = int (*)(Context *, std::uint32_t, ...);
    using SetDriver = int (*)(Context *, const char *);
    using Destroy = int (*)(Context *);

    EventSound() : m_library(QStringLiteral("canberra"), 0)
    {
        if (!m_library.load())
            return;
        const auto create = reinterpret_cast<Create>(m_library.resolve("ca_context_create"));
        m_destroy = reinterpret_cast<Destroy>(m_library.resolve("ca_context_destroy"));
        const auto change = reinterpret_cast<ChangeProps>(m_library.resolve("ca_context_change_props"));
        const auto setDriver = reinterpret_cast<SetDriver>(m_library.resolve("ca_context_set_driver"));
        m_play = reinterpret_cast<Play>(m_library.resolve("ca_context_play"));
        if (!create || !m_destroy || !change || !setDriver || !m_play || create(&m_context) != 0) {
            m_context = nullptr;
            return;
        }
        // Through the desktop's sound server (PulseAudio, or PipeWire in its place), as
        // the desktop's own sounds go. Without a server there is nothing to hear; ALSA,
        // libcanberra's other way, would then write its complaints to the terminal.
        if (setDriver(m_context, "pulse") != 0) {
            m_destroy(m_context);
            m_context = nullptr;
            return;
        }
        // The sound server shows whose sound it is.
        const QByteArray name = QCoreApplication::applicationName().toUtf8();
        const QByteArray id = QGuiApplication::desktopFileName().toUtf8();
        change(m_context, "application.name", name.constData(), "application.id",
               id.constData(), nullptr);
    }

    // The context lives as long as the program: libcanberra plays asynchronously, and
    // the sound server may still be playing the last beep when the program ends.
    QLibrary m_library;
    Context *m_context = nullptr;
    Play m_play = nullptr;
    Destroy m_destroy = nullptr;
};
} // namespace

void DesktopServices::ignoreFileSizeSignal()
{
    std::signal(SIGXFSZ, SIG_IGN);
}

void DesktopServices::beep()
{
    // The theme's bell of a window, or its plain bell in a theme without one.
    if (!EventSound::instance().play("bell-window-system"))
        QApplication::beep();
}
