#include "platform/file_rollback.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/platform.h"

namespace qp {
namespace {

constexpr std::size_t kLongestPath = 4096;
constexpr std::size_t kHeadBytes = 4;
constexpr int kOpenAttempts = 3;

// Filled outside the handler while `armed` is 0, read by it once `armed` is 1.
struct Rollback {
    volatile sig_atomic_t armed = 0;
    int fd = -1;  // the file as armed, held open until disarmed
    char path[kLongestPath] {};
    bool existed = false;
    off_t length = 0;
    unsigned char head[kHeadBytes] {};
    ssize_t headLength = 0;
};

Rollback gRollback;

int OpenRetrying(const char* path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(path, flags | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// The file opened for reading and writing without following a link, or made
// new; `created` tells which.
int OpenOwnFile(const char* path, bool& created) {
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        created = false;
        int fd = OpenRetrying(path, O_RDWR);
        if (fd >= 0 || errno != ENOENT) return fd;
        created = true;
        fd = OpenRetrying(path, O_RDWR | O_CREAT | O_EXCL, 0600);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

bool IsOwnFile(const struct stat& st) {
    return S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && st.st_nlink == 1;
}

void CloseArmedFile() {
    if (gRollback.fd >= 0) ::close(gRollback.fd);
    gRollback.fd = -1;
}

// True when `path` still names the file open as `fd`.
bool NamesFile(const char* path, int fd) {
    struct stat held {}, named {};
    if (::fstat(fd, &held) != 0) return false;
    int other = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK);
    if (other < 0) return false;
    const bool same = ::fstat(other, &named) == 0 && named.st_dev == held.st_dev && named.st_ino == held.st_ino;
    ::close(other);
    return same;
}

}  // namespace

bool ArmFileRollback(const std::string& programPath) {
    gRollback.armed = 0;
    CloseArmedFile();
    std::string native = NativePath(programPath);
    if (native.size() >= kLongestPath) return false;
    std::memcpy(gRollback.path, native.c_str(), native.size() + 1);
    bool created = false;
    int fd = OpenOwnFile(gRollback.path, created);
    if (fd < 0) return false;
    struct stat st {};
    const bool own = ::fstat(fd, &st) == 0 && IsOwnFile(st);
    gRollback.headLength = own ? ::pread(fd, gRollback.head, kHeadBytes, 0) : -1;
    if (gRollback.headLength < 0) {
        ::close(fd);
        if (created) ::unlink(gRollback.path);
        return false;
    }
    gRollback.fd = fd;
    gRollback.existed = !created;
    gRollback.length = st.st_size;
    gRollback.armed = 1;
    return true;
}

void DisarmFileRollback() {
    gRollback.armed = 0;
    CloseArmedFile();
}

void RollBackFileOnSignal() {
    if (!gRollback.armed) return;
    gRollback.armed = 0;
    const int fd = gRollback.fd;
    if (gRollback.existed) {
        if (gRollback.headLength > 0)
            (void)!::pwrite(fd, gRollback.head, static_cast<std::size_t>(gRollback.headLength), 0);
        (void)!::ftruncate(fd, gRollback.length);
    } else if (NamesFile(gRollback.path, fd)) {
        ::unlink(gRollback.path);
    }
    CloseArmedFile();
}

}  // namespace qp
