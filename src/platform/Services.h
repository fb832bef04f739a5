#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

class QIODevice;

// What the record code and the window ask of the operating system. Everything that
// shows something to the user (message boxes, the beep) is abstract so that tests
// can answer in the user's place; the file operations have working QtCore versions
// that a test may override to make the disk fail.
class Services
{
public:
    // Message box styles and answers, with the numbers the program has always used.
    enum Style { OkOnly = 0, Exclamation = 48, ExclamationOkCancel = 49, Information = 64 };
    enum Answer { Ok = 1, Cancel = 2 };

    static QString applicationTitle();

    // The path of the entry called name inside folder. Unlike QDir::filePath, a name
    // that starts with ":" stays a file here and is not taken for one of Qt's resources.
    static QString pathIn(const QString &folder, const QString &name);

    struct Volume
    {
        QString root; // absolute path, e.g. "C:/" or "/media/usb"
        QString name; // label as the user knows it, may be empty
        bool operator==(const Volume &) const = default;
    };

    virtual ~Services();

    // Modal; an empty title shows the application title. Returns Ok or Cancel.
    virtual int messageBox(const QString &text, int style, const QString &title = QString()) = 0;
    virtual void beep() = 0;

    // True only for an existing normal file (not a folder) of exactly that name;
    // no wildcard matching, so a "*" in the name matches nothing.
    virtual bool isNormalFile(const QString &folder, const QString &name) const;
    virtual QDateTime modificationTime(const QString &path) const;
    virtual QString applicationPath() const;

    // Replaces the file at path as a whole or not at all: the bytes go to a temporary
    // file beside it that is renamed over the target only when complete.
    // On failure returns false and sets reason to the system's text.
    virtual bool saveFile(const QString &path, const QByteArray &bytes, QString *reason);

    // Reads at most maxBytes from the start of the file.
    virtual bool readFile(const QString &path, qint64 maxBytes, QByteArray *bytes,
                          QString *reason) const;

    // The volumes a person would choose from, and whether one can be opened now.
    virtual QList<Volume> volumes() const;
    virtual bool isVolumeReady(const QString &root) const;
    // The one of volumes that holds path (the one with the longest matching root).
    static Volume volumeOf(const QString &path, const QList<Volume> &volumes);

protected:
    // The one place where record bytes meet the device; returns bytes written or -1.
    virtual qint64 writeData(QIODevice &device, const QByteArray &bytes);
};
