// One create command through the real record and platform code, for a test that watches
// it from another process: the command runs against a real folder, the overwrite question
// is answered OK, and what the user would have been shown is handed back.
//
//   create_once FOLDER NAME PASSWORD [--as UID:GID[:GROUP,...]] [--watch]
//
// --as  runs the command as that user, with those groups (needs root to start).
// --watch  fd 3 is a socket to the watcher. Before the command starts, every file system
//       call of this process is stopped at the kernel (seccomp) and handed to the watcher,
//       which lets it through, fails it with an error of its choice or kills the process
//       there; the descriptor that hands them over is sent on fd 3 first.
// What was shown goes to fd 3 when watched, else to standard output: one line per
// message ("\r\n" in a message written as "\\r\\n"), then "done".

#include "WatchedCalls.h"
#include "platform/Services.h"
#include "record/RecordBoxes.h"
#include "record/RecordCreation.h"

#include <QRandomGenerator>
#include <QStringList>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <grp.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <iterator>
#include <vector>

namespace {
class AnsweringServices : public Services
{
public:
    QStringList shown;
    int messageBox(const QString &text, int, const QString &) override
    {
        shown.append(text);
        return Ok;
    }
    void beep() override { }
};

#if defined(__x86_64__)
constexpr unsigned kArch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr unsigned kArch = AUDIT_ARCH_AARCH64;
#else
constexpr unsigned kArch = 0;
#endif


// Returns the descriptor on which the watched calls are handed over, or -1.
int watchFileSystemCalls()
{
    if (kArch == 0)
        return -1;
    std::vector<sock_filter> program;
    program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)));
    program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kArch, 1, 0));
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)));
    const auto count = std::size(kWatchedCalls);
    for (std::size_t i = 0; i < count; ++i) {
        // Equal: jump to the last instruction but one (hand over); else the next test.
        program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, unsigned(kWatchedCalls[i].number),
                                   static_cast<__u8>(count - i), 0));
    }
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_USER_NOTIF));
    const sock_fprog filter {static_cast<unsigned short>(program.size()), program.data()};
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return -1;
    return int(
        ::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, SECCOMP_FILTER_FLAG_NEW_LISTENER, &filter));
}

bool sendDescriptor(int socket, int fd)
{
    char byte = 'L';
    iovec io {&byte, 1};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    msghdr message {};
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr *header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = SOL_SOCKET;
    header->cmsg_type = SCM_RIGHTS;
    header->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(header), &fd, sizeof(int));
    return ::sendmsg(socket, &message, 0) == 1;
}

bool becomeUser(const char *ids)
{
    unsigned uid = 0;
    unsigned gid = 0;
    int used = 0;
    if (std::sscanf(ids, "%u:%u%n", &uid, &gid, &used) != 2)
        return false;
    std::vector<gid_t> groups;
    for (const char *at = ids + used; *at == ':' || *at == ',';) {
        char *end = nullptr;
        groups.push_back(gid_t(std::strtoul(at + 1, &end, 10)));
        at = end;
    }
    return ::setgroups(groups.size(), groups.data()) == 0 && ::setresgid(gid, gid, gid) == 0
           && ::setresuid(uid, uid, uid) == 0;
}
} // namespace

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fprintf(stderr,
                     "usage: create_once FOLDER NAME PASSWORD [--as UID:GID[:G,...]] [--watch]\n");
        return 2;
    }
    bool watch = false;
    for (int i = 4; i < argc; ++i) {
        if (std::strcmp(argv[i], "--watch") == 0) {
            watch = true;
        } else if (std::strcmp(argv[i], "--as") == 0 && i + 1 < argc) {
            if (!becomeUser(argv[++i])) {
                std::perror("create_once: --as");
                return 2;
            }
        }
    }

    BoxValues boxes;
    boxes.folder = QString::fromUtf8(argv[1]);
    boxes.name = QString::fromUtf8(argv[2]);
    boxes.pass = QString::fromUtf8(argv[3]);
    AnsweringServices services;
    RecordCreation creation(services, boxes);
    // What is made once on first use (the random source, the system's error texts) is
    // made now, so that the watched calls are the command's own.
    QRandomGenerator::global()->generate();
    for (const int error : {ENOENT, EIO})
        qt_error_string(error);

    if (watch) {
        const int listener = watchFileSystemCalls();
        if (listener < 0 || !sendDescriptor(3, listener)) {
            std::perror("create_once: cannot be watched");
            return 3;
        }
    }
    creation.createPlainRecord();

    QByteArray out;
    for (const QString &text : std::as_const(services.shown))
        out += QString(text).replace(QLatin1String("\r\n"), QLatin1String("\\r\\n")).toUtf8()
               + '\n';
    out += "done\n";
    if (watch) {
        // send, not write: the watcher does not count it among the command's calls.
        ::send(3, out.constData(), size_t(out.size()), MSG_NOSIGNAL);
    } else {
        std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
        std::fflush(stdout);
    }
    // Out at once, without the exit work of the libraries: their file calls would be
    // watched too, and a leak check cannot look into a process that changed its user.
    ::_exit(0);
}
