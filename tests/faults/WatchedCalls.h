#pragma once

#include <sys/syscall.h>

// The system calls by which a save meets the file system: create_once hands these to its
// watcher, which names them in what it reports.
struct WatchedCall
{
    long number;
    const char *name;
};

#define QUORVEL_CALL(name) WatchedCall{SYS_##name, #name}
inline constexpr WatchedCall kWatchedCalls[] = {
#ifdef SYS_open
    QUORVEL_CALL(open),       QUORVEL_CALL(stat),       QUORVEL_CALL(lstat),
    QUORVEL_CALL(rename),     QUORVEL_CALL(link),       QUORVEL_CALL(unlink),
    QUORVEL_CALL(access),     QUORVEL_CALL(creat),
#endif
    QUORVEL_CALL(openat),     QUORVEL_CALL(close),      QUORVEL_CALL(read),
    QUORVEL_CALL(pread64),    QUORVEL_CALL(write),      QUORVEL_CALL(pwrite64),
    QUORVEL_CALL(writev),     QUORVEL_CALL(lseek),      QUORVEL_CALL(fcntl),
    QUORVEL_CALL(fsync),      QUORVEL_CALL(fdatasync),  QUORVEL_CALL(newfstatat),
    QUORVEL_CALL(fstat),      QUORVEL_CALL(statx),      QUORVEL_CALL(getdents64),
    QUORVEL_CALL(renameat),   QUORVEL_CALL(renameat2),  QUORVEL_CALL(linkat),
    QUORVEL_CALL(unlinkat),   QUORVEL_CALL(faccessat),  QUORVEL_CALL(faccessat2),
    QUORVEL_CALL(fchown),     QUORVEL_CALL(fchownat),   QUORVEL_CALL(fchmod),
    QUORVEL_CALL(fchmodat),   QUORVEL_CALL(fsetxattr),  QUORVEL_CALL(fgetxattr),
    QUORVEL_CALL(flistxattr), QUORVEL_CALL(fremovexattr), QUORVEL_CALL(fstatfs),
    QUORVEL_CALL(ftruncate),  QUORVEL_CALL(utimensat),  QUORVEL_CALL(mkdirat),
};
#undef QUORVEL_CALL
