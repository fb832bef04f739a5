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
    // The folder the program was started in, also when it has been deleted since (then
    // as the system last knew it, for the caller to find what is left of it).
    static QString startFolder();

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

    // What stands in folder under exactly that name (no wildcard matching, so a "*" in
    // the name matches nothing), seen without following a link.
    struct Entry
    {
        enum Kind { Missing, File, Folder, Link, Pipe, Socket, Device, Other };
        Kind kind = Missing;
        bool writable = true; // for a File: false when its permissions forbid writing
    };
    virtual Entry entryAt(const QString &folder, const QString &name) const;
    // Why a record may not be written over this entry; empty when it may (a missing
    // entry, or a regular file that may be written).
    static QString refusalFor(const Entry &entry);
    virtual QDateTime modificationTime(const QString &path) const;
    virtual QString applicationPath() const;

    // Writes the file at path as a whole or not at all: the bytes go to a temporary file
    // beside it, reach the disk, and only then take the target's name. NewFile never
    // replaces anything that appeared meanwhile; Replace replaces only a regular file
    // that may be written, and keeps its permissions. Nothing but a regular file is
    // ever written, and a link is never followed.
    // On failure returns false, sets reason to the system's text, and the target is as
    // it was (no file at all for a new one).
    enum class SaveMode { NewFile, Replace };
    virtual bool saveFile(const QString &path, const QByteArray &bytes, SaveMode mode,
                          QString *reason);

    // Reads at most maxBytes from the start of the file.
    virtual bool readFile(const QString &path, qint64 maxBytes, QByteArray *bytes,
                          QString *reason) const;

    // The volumes a person would choose from, and whether one can be opened now: Ready;
    // NotReady when its medium, device or server is missing (the user is told); Refused
    // for any other reason (access denied, say), which ends the choice without a word.
    enum class VolumeState { Ready, NotReady, Refused };
    virtual QList<Volume> volumes() const;
    virtual VolumeState volumeState(const QString &root) const;
    // The one of volumes that holds path (the one with the longest matching root).
    static Volume volumeOf(const QString &path, const QList<Volume> &volumes);

protected:
    // The one place where record bytes meet the device; returns bytes written or -1.
    virtual qint64 writeData(QIODevice &device, const QByteArray &bytes);
};
