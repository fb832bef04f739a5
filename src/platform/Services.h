#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <memory>

class QIODevice;

// A folder that a create command holds open from its start to its end, so that the
// existence check, the overwrite question's test and the save all look into one and the
// same folder: moved meanwhile, it is still this folder that is written; another folder
// or a link put under its old path is never written. Shared code only holds it; what is
// held is each system's own (a folder descriptor on POSIX systems, a handle that keeps
// the folder from being moved or deleted on Windows), made by Services::openFolder.
class OpenFolder
{
public:
    // Each system's half of Services derives its own from this.
    struct System
    {
        virtual ~System() = default;
    };

    OpenFolder() = default;
    OpenFolder(const QString &path, std::unique_ptr<System> system)
        : m_path(path),
          m_system(std::move(system))
    { }

    bool isOpen() const { return m_system != nullptr; }
    // The path it was opened by, for messages; the folder may have another one by now.
    const QString &path() const { return m_path; }
    System *system() const { return m_system.get(); }

private:
    QString m_path;
    std::unique_ptr<System> m_system;
};

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
    // as the system last knew it, for the caller to find what is left of it); for the
    // program the Windows installer installed, the user's Documents folder.
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

    // Our temporary files: ".quorvel-", up to seven base-36 digits, ".tmp". Short, whatever
    // the record's name, so that one fits where the record's name fits; a dot-name and
    // not ".pas", so no list shows it.
    static QString newTemporaryName();
    static bool isTemporaryName(QStringView name);

    virtual ~Services();

    // Modal; an empty title shows the application title. Returns Ok or Cancel.
    virtual int messageBox(const QString &text, int style, const QString &title = QString()) = 0;
    virtual void beep() = 0;

    // Opens the folder at path for one create command. When it cannot be opened, the
    // result is not open and reason says why (not there, not a folder, not permitted...).
    virtual OpenFolder openFolder(const QString &path, QString *reason) const;

    // What stands in the folder under exactly that name (no wildcard matching, so a "*"
    // in the name matches nothing), seen without following a link. Unknown when the
    // system could not say (then error holds its reason): that is not "missing".
    struct Entry
    {
        enum Kind { Missing, File, Folder, Link, Pipe, Socket, Device, Other, Unknown };
        Entry(Kind k = Missing, bool w = true, const QString &e = QString())
            : kind(k),
              writable(w),
              error(e)
        { }
        Kind kind = Missing;
        bool writable = true; // for a File: false when its permissions forbid writing
        QString error; // for Unknown: the system's reason
        // Which file it is, as the system tells files apart (device, inode and the time
        // of its last change of status; volume and file ID on Windows), for a replace to
        // know that it is still the file asked about.
        QByteArray identity;
    };
    virtual Entry entryAt(const OpenFolder &folder, const QString &name) const;
    // Why the folder cannot hold a file called name: the name is longer than its file
    // system takes (in bytes of the name on POSIX systems, in UTF-16 units on Windows).
    // Empty when it fits.
    QString nameLengthRefusal(const OpenFolder &folder, const QString &name) const;
    // Why a record may not be written over this entry; empty when it may (a missing
    // entry, or a regular file that may be written).
    static QString refusalFor(const Entry &entry);
    virtual QDateTime modificationTime(const QString &path) const;
    virtual QString applicationPath() const;

    // Writes the file called name in the open folder as a whole or not at all: the bytes
    // go to a temporary file beside it, reach the disk, and only then take the name.
    // NewFile never replaces anything that appeared meanwhile. Replace replaces only a
    // regular file that may be written, and the new file keeps its group, permissions,
    // access control list and extended attributes, and its owner where the system lets
    // us set it; where the group or the access control list cannot be kept, nothing is
    // replaced. A record that vanished before a Replace is created anew. Nothing but a
    // regular file is ever written, and a link is never followed. Temporary files of
    // ours that a crash left in the folder long ago are taken away on the way.
    // With identity (of the entry asked about), Replace replaces only that very file: one
    // put under the name meanwhile is left as it is, nothing is written, and the reason
    // says so.
    enum class SaveMode { NewFile, Replace };
    struct Saved
    {
        // Failed: the name holds what it held before (nothing, for a new record), and
        // reason says why. Created or Replaced: the name holds the new bytes.
        enum Outcome { Failed, Created, Replaced };
        Outcome outcome = Failed;
        QString reason;
        // After Created or Replaced: why the folder could not be synced to the disk,
        // empty when it was. Then the record has its name but a power cut may still
        // take the change away.
        QString unsynced;
    };
    virtual Saved saveFile(const OpenFolder &folder, const QString &name, const QByteArray &bytes,
                           SaveMode mode, const QByteArray &identity = QByteArray());
    // Why a file put in place of the one asked about was not replaced.
    static QString swappedReason();

    // Reads at most maxBytes from the start of the file; *more, when given, tells whether
    // the file holds more than that. Never waits for a writer: what was opened is checked,
    // and only a regular file with real contents is read.
    virtual bool readFile(const QString &path, qint64 maxBytes, QByteArray *bytes,
                          QString *reason, bool *more = nullptr) const;

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
