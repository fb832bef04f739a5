#pragma once

#include "platform/Services.h"

#include <QIODevice>
#include <QList>
#include <QStringList>

#include <functional>

// Services that answer in the user's place and remember what the user would have
// seen and heard, in order. File operations are the real ones unless a test asks
// for a failure.
class FakeServices : public Services
{
public:
    struct Shown
    {
        bool beep = false;
        QString text;
        int style = -1;
        QString title;
        bool operator==(const Shown &) const = default;
    };
    static Shown beepEvent() { return Shown{true, {}, -1, {}}; }
    static Shown message(const QString &text, int style, const QString &title)
    {
        return Shown{false, text, style, title};
    }

    QList<Shown> shown;
    QList<int> answers;      // answers to the next questions; Cancel when empty
    qint64 failWriteAfter = -1;  // write only this many bytes, then fail as a bad device would
    QStringList notReadyRoots;
    QStringList refusedRoots;
    QList<Volume> fakeVolumes;   // when set, the only volumes there are
    QString fakeApplicationPath;
    // Runs while a question is open, before it is answered: what someone (or an
    // assistive technology) does to the window meanwhile.
    std::function<void()> whileAsking;

    int messageBox(const QString &text, int style, const QString &title) override
    {
        shown.append(message(text, style, title.isEmpty() ? applicationTitle() : title));
        if (style == ExclamationOkCancel && whileAsking)
            whileAsking();
        if (style == ExclamationOkCancel)
            return answers.isEmpty() ? Cancel : answers.takeFirst();
        return Ok;
    }
    void beep() override { shown.append(beepEvent()); }

    QString applicationPath() const override
    {
        return fakeApplicationPath.isEmpty() ? Services::applicationPath() : fakeApplicationPath;
    }
    QList<Volume> volumes() const override
    {
        return fakeVolumes.isEmpty() ? Services::volumes() : fakeVolumes;
    }
    VolumeState volumeState(const QString &root) const override
    {
        if (notReadyRoots.contains(root))
            return VolumeState::NotReady;
        if (refusedRoots.contains(root))
            return VolumeState::Refused;
        return Services::volumeState(root);
    }

protected:
    qint64 writeData(QIODevice &device, const QByteArray &bytes) override
    {
        if (failWriteAfter < 0)
            return Services::writeData(device, bytes);
        device.write(bytes.left(failWriteAfter));
        return -1;
    }
};
