#include "platform/file_rollback.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform/platform.h"
#include "platform/private_file.h"

namespace qp {
namespace {

constexpr std::size_t kLongestName = 256;
constexpr std::size_t kHeadBytes = 4;

// Filled outside the handler while `armed` is 0, read by it once `armed` is 1.
// The folder that holds the file is held open too, so that the handler
// finds the file's name where the file was, whatever the path names by then.
struct Rollback {
    volatile sig_atomic_t armed = 0;
    int fd = -1;      // the file as armed, held open until disarmed
    int folder = -1;  // the folder that holds it
    char name[kLongestName] {};
    bool existed = false;
    off_t length = 0;
    unsigned char head[kHeadBytes] {};
    ssize_t headLength = 0;
};

Rollback gRollback;

void CloseArmedFile() {
    if (gRollback.fd >= 0) ::close(gRollback.fd);
    if (gRollback.folder >= 0) ::close(gRollback.folder);
    gRollback.fd = -1;
    gRollback.folder = -1;
}

// True when the name itself, not a link put there, still names the file open
// as `fd` (fstat and fstatat are safe in a signal handler).
bool NamesFile(int folder, const char* name, int fd) {
    struct stat held {}, named {};
    return ::fstat(fd, &held) == 0 && ::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           named.st_dev == held.st_dev && named.st_ino == held.st_ino;
}

}  // namespace

bool ArmFileRollback(const std::string& programPath) {
    gRollback.armed = 0;
    CloseArmedFile();
    // A path the rule refuses maps to the empty text, which names no file.
    const std::string native = NativePath(programPath);
    std::optional<SafePath> checked = SafePath::From(native, false);
    Location at;
    if (native.empty() || !checked || !Locate(*checked, LastName::AsItIs, at) || at.name.size() >= kLongestName)
        return false;
    std::memcpy(gRollback.name, at.name.c_str(), at.name.size() + 1);
    bool created = false;
    int fd = OpenPrivateFile(at, created);
    if (fd < 0) return false;
    struct stat st {};
    gRollback.headLength = ::fstat(fd, &st) == 0 ? ::pread(fd, gRollback.head, kHeadBytes, 0) : -1;
    if (gRollback.headLength < 0) {
        if (created && NamesFile(at.folder.get(), gRollback.name, fd)) ::unlinkat(at.folder.get(), gRollback.name, 0);
        ::close(fd);
        return false;
    }
    gRollback.fd = fd;
    gRollback.folder = at.folder.Release();
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
    } else if (NamesFile(gRollback.folder, gRollback.name, fd)) {
        ::unlinkat(gRollback.folder, gRollback.name, 0);
    }
    CloseArmedFile();
}

}  // namespace qp
