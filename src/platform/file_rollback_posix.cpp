#include "platform/file_rollback.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform/platform.h"

namespace qp {
namespace {

constexpr std::size_t kLongestPath = 4096;
constexpr std::size_t kHeadBytes = 4;

// Filled outside the handler while `armed` is 0, read by it once `armed` is 1.
struct Rollback {
    volatile sig_atomic_t armed = 0;
    char path[kLongestPath] {};
    bool existed = false;
    off_t length = 0;
    unsigned char head[kHeadBytes] {};
    ssize_t headLength = 0;
};

Rollback gRollback;

}  // namespace

void ArmFileRollback(const std::string& programPath) {
    gRollback.armed = 0;
    std::string native = NativePath(programPath);
    if (native.size() >= kLongestPath) return;
    std::memcpy(gRollback.path, native.c_str(), native.size() + 1);
    struct stat st {};
    gRollback.existed = ::stat(gRollback.path, &st) == 0;
    gRollback.length = gRollback.existed ? st.st_size : 0;
    gRollback.headLength = 0;
    if (gRollback.existed) {
        int fd = ::open(gRollback.path, O_RDONLY | O_CLOEXEC);
        if (fd < 0) return;  // a file that cannot be read cannot be put back either
        gRollback.headLength = ::pread(fd, gRollback.head, kHeadBytes, 0);
        ::close(fd);
        if (gRollback.headLength < 0) return;
    }
    gRollback.armed = 1;
}

void DisarmFileRollback() { gRollback.armed = 0; }

void RollBackFileOnSignal() {
    if (!gRollback.armed) return;
    gRollback.armed = 0;
    if (!gRollback.existed) {
        ::unlink(gRollback.path);
        return;
    }
    int fd = ::open(gRollback.path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) return;
    if (gRollback.headLength > 0) (void)!::pwrite(fd, gRollback.head, static_cast<std::size_t>(gRollback.headLength), 0);
    (void)!::ftruncate(fd, gRollback.length);
    ::close(fd);
}

}  // namespace qp
