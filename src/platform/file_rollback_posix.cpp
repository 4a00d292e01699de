#include "platform/file_rollback.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/platform.h"
#include "platform/private_file.h"

namespace qp {
namespace {

constexpr std::size_t kLongestPath = 4096;
constexpr std::size_t kHeadBytes = 4;

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

void CloseArmedFile() {
    if (gRollback.fd >= 0) ::close(gRollback.fd);
    gRollback.fd = -1;
}

// True when `path` itself, not a link put there, still names the file open
// as `fd` (fstat and lstat are safe in a signal handler).
bool NamesFile(const char* path, int fd) {
    struct stat held {}, named {};
    return ::fstat(fd, &held) == 0 && ::lstat(path, &named) == 0 && named.st_dev == held.st_dev &&
           named.st_ino == held.st_ino;
}

}  // namespace

bool ArmFileRollback(const std::string& programPath) {
    gRollback.armed = 0;
    CloseArmedFile();
    std::string native = NativePath(programPath);
    if (native.size() >= kLongestPath) return false;
    std::memcpy(gRollback.path, native.c_str(), native.size() + 1);
    bool created = false;
    int fd = OpenPrivateFile(native, created);
    if (!IsOpen(fd)) return false;
    struct stat st {};
    gRollback.headLength = ::fstat(fd, &st) == 0 ? ::pread(fd, gRollback.head, kHeadBytes, 0) : -1;
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
