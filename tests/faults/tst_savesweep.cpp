// A create command under a failing system, call by call. create_once runs one command
// (a new record, or a replace answered OK) through the real code against a real folder,
// and every file system call it makes is stopped at the kernel (seccomp) and handed to this
// test. A first run counts the calls; then, for each call in turn, one run fails it with
// each error below and one run kills the process there. After every run the record is
// its old bytes (absent, for a new one) or the whole new record with everything the old
// one had, the message says which, and temporary files are left only by a kill or a
// failed clean-up, for a later save to take away.
//
// Also here, as they need other users or the real system: a record of another user in a
// shared group folder, its ACL and extended attributes.

#include "SweepRecord.h"
#include "WatchedCalls.h"

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {
constexpr int kKill = -1;
const QList<int> kFaults
    = {EIO, ENOSPC, EDQUOT, EACCES, EPERM, EINTR, EXDEV, EINVAL, ENOSYS, EROFS, kKill};

QString faultName(int fault)
{
    return fault == kKill ? QStringLiteral("kill") : QString::fromLatin1(strerrorname_np(fault));
}

QString callName(long nr)
{
    for (const WatchedCall &call : kWatchedCalls) {
        if (call.number == nr)
            return QString::fromLatin1(call.name);
    }
    return QString::number(nr);
}

// One run of create_once, watched.
struct Watched
{
    QStringList shown; // the messages, in order
    QStringList calls; // the watched calls before the command ended
    bool killed = false;
    bool done = false; // the command ran to its end
    QString trouble; // what went wrong with the watching itself
};

int receiveDescriptor(int socket)
{
    pollfd wait {socket, POLLIN, 0};
    if (::poll(&wait, 1, 30000) != 1)
        return -1;
    char byte = 0;
    iovec io {&byte, 1};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    msghdr message {};
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    if (::recvmsg(socket, &message, MSG_CMSG_CLOEXEC) != 1)
        return -1;
    const cmsghdr *header = CMSG_FIRSTHDR(&message);
    if (!header || header->cmsg_type != SCM_RIGHTS)
        return -1;
    int fd = -1;
    std::memcpy(&fd, CMSG_DATA(header), sizeof(int));
    return fd;
}

// The sanitizers see whether memory may be read by writing it to a pipe of their own;
// a save writes to no pipe, so calls on one are let through uncounted.
bool isOnPipe(const seccomp_notif &request)
{
    if (request.data.args[0] > 1024)
        return false;
    const QByteArray link = "/proc/" + QByteArray::number(request.pid) + "/fd/"
                            + QByteArray::number(request.data.args[0]);
    char target[64] = {};
    return ::readlink(link.constData(), target, sizeof target - 1) > 0
           && std::strncmp(target, "pipe:", 5) == 0;
}

QStringList parseShown(const QByteArray &out)
{
    QStringList shown;
    for (const QByteArray &line : out.split('\n')) {
        if (!line.isEmpty() && line != "done")
            shown.append(
                QString::fromUtf8(line).replace(QLatin1String("\\r\\n"), QLatin1String("\r\n")));
    }
    return shown;
}

// Runs create_once on folder, as user when one is given ("UID:GID:GROUPS"); the call at
// index target (counted from 0) gets fault; a negative target lets every call through.
Watched watchOnce(const QString &folder, int target, int fault, const QString &user = QString())
{
    Watched watched;
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
        watched.trouble = QStringLiteral("socketpair");
        return watched;
    }
    const QByteArray helper = CREATE_ONCE;
    const QByteArray folderArg = QFile::encodeName(folder);
    const QByteArray nameArg = kName.toUtf8();
    const QByteArray passwordArg = kPassword.toUtf8();
    const QByteArray userArg = user.toLatin1();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pair[1], 3);
        const char *argv[] = {helper.constData(),  folderArg.constData(),
                              nameArg.constData(), passwordArg.constData(),
                              "--watch",           user.isEmpty() ? nullptr : "--as",
                              userArg.constData(), nullptr};
        ::execv(helper.constData(), const_cast<char **>(argv));
        ::_exit(127);
    }
    ::close(pair[1]);
    const int socket = pair[0];
    const int listener = receiveDescriptor(socket);
    if (listener < 0) {
        watched.trouble = QStringLiteral("create_once could not be watched");
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        ::close(socket);
        return watched;
    }

    QByteArray out;
    const auto drain = [&] {
        char buffer[4096];
        ssize_t n;
        while ((n = ::recv(socket, buffer, sizeof buffer, MSG_DONTWAIT)) > 0)
            out.append(buffer, n);
        watched.done = out.endsWith("done\n");
    };
    for (;;) {
        pollfd fds[2] = {{listener, POLLIN, 0}, {socket, POLLIN, 0}};
        if (::poll(fds, 2, 30000) <= 0) {
            watched.trouble = QStringLiteral("create_once stopped answering");
            ::kill(pid, SIGKILL);
            break;
        }
        if (fds[1].revents & POLLIN)
            drain();
        if (fds[0].revents & POLLIN) {
            seccomp_notif request {};
            if (::ioctl(listener, SECCOMP_IOCTL_NOTIF_RECV, &request) != 0)
                continue; // the process is gone
            // The command's end is sent before any later call, so it is here by now.
            drain();
            seccomp_notif_resp response {};
            response.id = request.id;
            response.flags = SECCOMP_USER_NOTIF_FLAG_CONTINUE;
            if (!watched.done && !watched.killed && !isOnPipe(request)) {
                const int index = int(watched.calls.size());
                watched.calls.append(callName(request.data.nr));
                if (index == target && fault == kKill) {
                    ::kill(pid, SIGKILL);
                    watched.killed = true;
                    continue;
                }
                if (index == target) {
                    response.flags = 0;
                    response.error = -fault;
                }
            }
            ::ioctl(listener, SECCOMP_IOCTL_NOTIF_SEND, &response);
        }
        if (fds[0].revents & (POLLHUP | POLLERR))
            break;
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    drain();
    ::close(listener);
    ::close(socket);
    if (!watched.killed && !(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        && watched.trouble.isEmpty())
        watched.trouble = QStringLiteral("create_once ended with status %1").arg(status);
    watched.shown = parseShown(out);
    return watched;
}

// create_once without watching, optionally as another user; returns what was shown.
QStringList runAs(const QString &folder, const QString &name, const QString &user = QString())
{
    QStringList arguments = {folder, name, kPassword};
    if (!user.isEmpty())
        arguments << QStringLiteral("--as") << user;
    QProcess process;
    process.start(QString::fromUtf8(CREATE_ONCE), arguments);
    if (!process.waitForFinished(60000))
        return {QStringLiteral("<create_once did not finish>")};
    return parseShown(process.readAllStandardOutput());
}

// Everything about a file that a save must keep or may change.
struct FileState
{
    bool exists = false;
    QByteArray bytes;
    ino_t inode = 0;
    mode_t mode = 0;
    uid_t uid = 0;
    gid_t gid = 0;
    QMap<QByteArray, QByteArray> attributes;
};

FileState stateOf(const QString &path)
{
    FileState state;
    const QByteArray native = QFile::encodeName(path);
    struct stat status {};
    if (::lstat(native.constData(), &status) != 0)
        return state;
    state.exists = true;
    state.inode = status.st_ino;
    state.mode = status.st_mode;
    state.uid = status.st_uid;
    state.gid = status.st_gid;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        state.bytes = file.readAll();
    char names[4096];
    const ssize_t listed = ::llistxattr(native.constData(), names, sizeof names);
    for (ssize_t at = 0; at < listed;) {
        const QByteArray name(names + at);
        at += name.size() + 1;
        char value[4096];
        const ssize_t size = ::lgetxattr(native.constData(), name.constData(), value, sizeof value);
        if (size >= 0 && !name.startsWith("security."))
            state.attributes.insert(name, QByteArray(value, size));
    }
    return state;
}

QStringList temporaries(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral(".quorvel-*.tmp")},
                                  QDir::Files | QDir::Hidden | QDir::System);
}

bool ageTemporaries(const QString &folder)
{
    const timespec twoDaysAgo {::time(nullptr) - 2 * 24 * 60 * 60, 0};
    const timespec times[2] = {twoDaysAgo, twoDaysAgo};
    for (const QString &name : temporaries(folder)) {
        if (::utimensat(AT_FDCWD, QFile::encodeName(folder + u'/' + name).constData(), times,
                        AT_SYMLINK_NOFOLLOW)
            != 0)
            return false;
    }
    return true;
}

bool setfacl(const QStringList &arguments)
{
    return QProcess::execute(QStringLiteral("setfacl"), arguments) == 0;
}

bool setfattr(const QString &path, const QString &name, const QString &value)
{
    return QProcess::execute(QStringLiteral("setfattr"),
                             {QStringLiteral("-n"), name, QStringLiteral("-v"), value, path})
           == 0;
}

// The raw ACL of a file made by setfacl, to be given to every old record; empty when
// setfacl is not there or the file system has no ACLs.
QByteArray accessListMadeBySetfacl(const QString &folder)
{
    const QString path = folder + QStringLiteral("/acl-template");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.close();
    if (!setfacl({QStringLiteral("-m"), QStringLiteral("u:2001:rw,g:3001:r"), path}))
        return {};
    return stateOf(path).attributes.value("system.posix_acl_access");
}

bool writeOld(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(kOldBytes) == kOldBytes.size();
}

const QString kMember = QStringLiteral("2002:2002:2002,3000");

bool isRoot()
{
    return ::geteuid() == 0;
}
} // namespace

class TestSaveSweep : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everyCallFailsOrKills_data();
    void everyCallFailsOrKills();
    void replacedRecordKeeps_data();
    void replacedRecordKeeps();

private:
    // Sets up the folder for one run: a bystander, and for a replace the old record with
    // its owner, group, permissions, ACL and an extended attribute.
    void prepare(const QString &folder, bool replace, bool withAccessList, bool shared = false);
    static QString judge(const Watched &run, const QString &folder, const FileState &before,
                         bool ownerRefused, const QString &call);
    QTemporaryDir m_base;
    QByteArray m_accessList;
};

void TestSaveSweep::initTestCase()
{
    QVERIFY(m_base.isValid());
    m_accessList = isRoot() ? accessListMadeBySetfacl(m_base.path()) : QByteArray();
    // The kernel must be able to hand calls over (Linux 5.5 and later).
    const QString folder = m_base.filePath(QStringLiteral("probe"));
    prepare(folder, false, false);
    const Watched probe = watchOnce(folder, -1, 0);
    if (probe.trouble == QLatin1String("create_once could not be watched"))
        QSKIP("this kernel cannot hand a process's system calls to another (seccomp user "
              "notification)");
    QVERIFY2(probe.trouble.isEmpty(), qPrintable(probe.trouble));
}

// shared: the folder is 0775 of group 3000, the record 0664, for a member of the group.
void TestSaveSweep::prepare(const QString &folder, bool replace, bool withAccessList, bool shared)
{
    QVERIFY(QDir().mkpath(folder));
    if (shared) {
        QCOMPARE(::chown(QFile::encodeName(folder).constData(), 0, 3000), 0);
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0775), 0);
    }
    QFile bystander(folder + u'/' + kBystander);
    QVERIFY(bystander.open(QIODevice::WriteOnly)
            && bystander.write(kBystanderBytes) == kBystanderBytes.size());
    bystander.close();
    if (!replace)
        return;
    const QString path = folder + u'/' + kFile;
    QVERIFY(writeOld(path));
    const QByteArray native = QFile::encodeName(path);
    QCOMPARE(::setxattr(native.constData(), "user.horse", "馬", 3, 0), 0);
    if (isRoot())
        QCOMPARE(::chown(native.constData(), 2001, 3000), 0);
    if (withAccessList)
        QCOMPARE(::setxattr(native.constData(), "system.posix_acl_access", m_accessList.constData(),
                            size_t(m_accessList.size()), 0),
                 0);
    QCOMPARE(::chmod(native.constData(), shared ? 0664 : 0640), 0);
}

void TestSaveSweep::everyCallFailsOrKills_data()
{
    QTest::addColumn<bool>("replace");
    QTest::addColumn<bool>("withAccessList");
    QTest::addColumn<QString>("user"); // who saves; "" this test's user
    QTest::newRow("new record") << false << false << "";
    QTest::newRow("replace") << true << true << "";
    QTest::newRow("replace, no ACL") << true << false << "";
    // Not root: the record stays the other user's only in its group.
    QTest::newRow("replace by a member of the record's group") << true << false << kMember;
}

void TestSaveSweep::everyCallFailsOrKills()
{
    QFETCH(bool, replace);
    QFETCH(bool, withAccessList);
    QFETCH(QString, user);
    const QString scenario = !replace          ? QStringLiteral("new")
                             : !user.isEmpty() ? QStringLiteral("replace-by-member")
                             : withAccessList  ? QStringLiteral("replace")
                                               : QStringLiteral("replace-without-acl");
    if (withAccessList && m_accessList.isEmpty())
        QSKIP("needs root and setfacl (package acl) on a file system with ACLs");
    if (!user.isEmpty() && !isRoot())
        QSKIP("needs root, to act as another user");
    // The other users must reach the folders.
    QCOMPARE(::chmod(QFile::encodeName(m_base.path()).constData(), 0755), 0);
    const auto prepare = [&](const QString &folder) {
        this->prepare(folder, replace, withAccessList, !user.isEmpty());
    };
    const QString countFolder = m_base.filePath(scenario + QStringLiteral("-count"));
    prepare(countFolder);
    const Watched count = watchOnce(countFolder, -1, 0, user);
    QVERIFY2(count.trouble.isEmpty(), qPrintable(count.trouble));
    QVERIFY(count.done);
    QCOMPARE(count.shown.size(), replace ? 2 : 1);

    QStringList broken;
    QElapsedTimer timer;
    timer.start();
    for (int call = 0; call < count.calls.size(); ++call) {
        for (const int fault : kFaults) {
            const QString at = QStringLiteral("%1-%2-%3-%4")
                                   .arg(scenario)
                                   .arg(call)
                                   .arg(count.calls[call], faultName(fault));
            const QString folder = m_base.filePath(at);
            prepare(folder);
            const FileState before = stateOf(folder + u'/' + kFile);
            const Watched run = watchOnce(folder, call, fault, user);
            // The owner is kept where the system lets us give the file away: not where it
            // refused that, as it does to anybody but root.
            const bool ownerRefused
                = !user.isEmpty()
                  || (count.calls[call] == QLatin1String("fchown") && fault == EPERM);
            const QString wrong
                = run.calls.mid(0, call + 1) != count.calls.mid(0, call + 1)
                      ? QStringLiteral("another order of calls: ") + run.calls.join(u' ')
                      : judge(run, folder, before, ownerRefused, count.calls[call]);
            if (!wrong.isEmpty())
                broken.append(at + QStringLiteral(": ") + wrong + QStringLiteral(" [shown: ")
                              + run.shown.join(QLatin1String(" | "))
                                    .replace(QLatin1String("\r\n"), QLatin1String("\\r\\n"))
                              + u']');
            QDir(folder).removeRecursively();
        }
    }
    const qsizetype runs = count.calls.size() * kFaults.size();
    qInfo().noquote() << QStringLiteral(
                             "%1: %2 calls watched (%3); %4 faults at each; %5 runs, %6 held, %7 s")
                             .arg(scenario)
                             .arg(count.calls.size())
                             .arg(count.calls.join(u' '))
                             .arg(kFaults.size())
                             .arg(runs)
                             .arg(runs - broken.size())
                             .arg(timer.elapsed() / 1000.0, 0, 'f', 1);
    QVERIFY2(broken.isEmpty(), qPrintable(broken.join(u'\n')));
}

// What is wrong after one run, or nothing: the record is the old one or the whole new
// one with all the old one had, the message says which, and a temporary file is left
// only by a kill or a failed clean-up, for a later save to take away.
QString TestSaveSweep::judge(const Watched &run, const QString &folder, const FileState &before,
                             bool ownerRefused, const QString &call)
{
    if (!run.trouble.isEmpty())
        return run.trouble;
    const bool replace = before.exists;
    const FileState after = stateOf(folder + u'/' + kFile);
    const bool keptAll = after.mode == before.mode && after.gid == before.gid
                         && after.attributes == before.attributes
                         && (after.uid == before.uid || ownerRefused);
    const bool old = replace ? after.inode == before.inode && after.bytes == kOldBytes && keptAll
                             : !after.exists;
    const bool whole
        = after.bytes == kNewBytes && (!replace || (after.inode != before.inode && keptAll));
    if (!old && !whole)
        return QStringLiteral("the record is neither the old one nor the whole new one");
    if (stateOf(folder + u'/' + kBystander).bytes != kBystanderBytes)
        return QStringLiteral("the record beside it changed");
    if (!run.killed) {
        // The reason is what happened, not a file or folder that is not there.
        const QString wrong = judgeMessage(run.shown, kFile, replace, whole,
                                           {QStringLiteral("既にあります"),
                                            QStringLiteral("見つかりません")});
        if (!wrong.isEmpty())
            return wrong;
        if (!temporaries(folder).isEmpty() && call != QLatin1String("unlinkat"))
            return QStringLiteral("a temporary file left: ") + temporaries(folder).join(u' ');
    }
    // Whatever was left, a later save takes away once it is old.
    if (!temporaries(folder).isEmpty()) {
        if (!ageTemporaries(folder))
            return QStringLiteral("cannot age the temporary files");
        if (runAs(folder, QStringLiteral("ウマ"))
                != QStringList {QStringLiteral("ウマ.pasを作成しました")}
            || !temporaries(folder).isEmpty())
            return QStringLiteral("a later save did not take the old temporary files away");
    }
    return {};
}

void TestSaveSweep::replacedRecordKeeps_data()
{
    QTest::addColumn<QString>("user"); // who replaces user 2001's record; "" root
    QTest::addColumn<QString>("acl"); // the record's ACL, for setfacl --set; "" none
    QTest::addColumn<int>("mode"); // without an ACL
    QTest::addColumn<bool>("kept"); // else refused, nothing changed
    const QString acl = QStringLiteral("u::rw,u:2001:rw,g::r,g:3001:r,m::rw,o::-");
    QTest::newRow("root: owner, group, ACL, attributes") << "" << acl << 0 << true;
    // The folder's default ACL gives a new file an ACL that the record did not have.
    QTest::newRow("root: no ACL where the folder has a default one") << ""
                                                                     << "" << 0640 << true;
    QTest::newRow("a member of the record's group")
        << "2002:2002:2002,3000" << QStringLiteral("u::rw,u:2004:r,g::rw,m::rw,o::r") << 0 << true;
    QTest::newRow("not a member, the record writable by all") << "2003:2003:2003"
                                                              << "" << 0666 << false;
}

void TestSaveSweep::replacedRecordKeeps()
{
    QFETCH(QString, user);
    QFETCH(QString, acl);
    QFETCH(int, mode);
    QFETCH(bool, kept);
    if (!isRoot() || m_accessList.isEmpty())
        QSKIP("needs root, to act as other users, and setfacl (package acl) on a file system with "
              "ACLs");
    // Folder 0777 of group 3000 with a default ACL; the record 2001:3000.
    QCOMPARE(::chmod(QFile::encodeName(m_base.path()).constData(), 0755), 0);
    const QTemporaryDir shared(m_base.filePath(QStringLiteral("shared-XXXXXX")));
    const QString folder = shared.path();
    QCOMPARE(::chown(QFile::encodeName(folder).constData(), 0, 3000), 0);
    QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0777), 0);
    QVERIFY(setfacl(
        {QStringLiteral("-d"), QStringLiteral("-m"), QStringLiteral("u:2005:rwx"), folder}));
    const QString path = folder + u'/' + kFile;
    QVERIFY(writeOld(path));
    QCOMPARE(::chown(QFile::encodeName(path).constData(), 2001, 3000), 0);
    QVERIFY(setfacl(acl.isEmpty() ? QStringList {QStringLiteral("-b"), path}
                                  : QStringList {QStringLiteral("--set"), acl, path}));
    if (acl.isEmpty())
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode_t(mode)), 0);
    QVERIFY(setfattr(path, QStringLiteral("user.origin"), QStringLiteral("stable")));
    if (user.isEmpty())
        QVERIFY(setfattr(path, QStringLiteral("trusted.checked"), QStringLiteral("yes")));
    const FileState before = stateOf(path);

    const QStringList shown = runAs(folder, kName, user);
    QCOMPARE(shown.value(0), kFile + QStringLiteral("が既に存在します\r\n上書きしますか？"));
    const FileState after = stateOf(path);
    if (!kept) {
        QVERIFY2(shown.value(1).startsWith(
                     kFile
                     + QStringLiteral(
                         "を保存できませんでした！\r\n元のファイルのグループを引き継げません")),
                 qPrintable(shown.value(1)));
        QCOMPARE(after.inode, before.inode);
        QCOMPARE(after.bytes, kOldBytes);
        QVERIFY(temporaries(folder).isEmpty());
        return;
    }
    QCOMPARE(shown.value(1), kFile + QStringLiteral("を上書き保存しました"));
    QCOMPARE(after.bytes, kNewBytes);
    QCOMPARE(after.attributes, before.attributes);
    QCOMPARE(after.mode, before.mode);
    QCOMPARE(after.gid, before.gid);
    // Only root may give a file to another user.
    QCOMPARE(after.uid, user.isEmpty() ? before.uid : uid_t(user.section(u':', 0, 0).toUInt()));
    if (!user.isEmpty()) {
        // The record's owner still reaches it through the group, and replaces it in turn.
        const QStringList again = runAs(folder, kName, QStringLiteral("2001:2001:2001,3000"));
        QCOMPARE(again.value(1), kFile + QStringLiteral("を上書き保存しました"));
        QCOMPARE(stateOf(path).gid, gid_t(3000));
    }
}

QTEST_GUILESS_MAIN(TestSaveSweep)
#include "tst_savesweep.moc"
