#include "platform/platform.h"
#include "platform/private_file.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qp {
namespace {

std::string ErrnoText(int err) { return std::strerror(err); }

FailureCause CauseOf(int err) {
    switch (err) {
    case EACCES:
    case EPERM:
    case EROFS: return FailureCause::Denied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return FailureCause::DiskFull;
    case EBUSY:
    case ETXTBSY: return FailureCause::InUse;
    case ENOENT:
    case ENOTDIR: return FailureCause::NoFolder;
    default: return FailureCause::Other;
    }
}

Status Failed(const std::string& what, const std::string& path, int err) {
    return Status::Fail(what + " " + path + ": " + ErrnoText(err), CauseOf(err));
}

// A copy younger than this is never taken for a dead save's: it may be one
// that was created a moment ago and is about to be locked or renamed.
constexpr time_t kDeadCopyAgeSeconds = 10;

// Locks that belong to the open file, so that they also keep apart two saves
// of one process; Linux has them, other systems get the process's locks.
// Both kinds conflict with lockf(3) and with what peers such as crudini take.
#ifdef F_OFD_SETLK
constexpr int kSetLock = F_OFD_SETLK;
#else
constexpr int kSetLock = F_SETLK;
#endif

bool LockWholeFile(int fd, short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    if (::fcntl(fd, kSetLock, &lock) == 0) return true;
    // A kernel without open-file locks takes the process's.
    return kSetLock != F_SETLK && errno == EINVAL && ::fcntl(fd, F_SETLK, &lock) == 0;
}

// A file system that keeps no locks (an NFS mount without its lock service,
// say): the save goes on unlocked, as it would with a peer that takes none.
bool LocksUnsupported(int err) { return err == ENOLCK || err == EINVAL || err == EOPNOTSUPP; }

class PosixFile final : public File {
public:
    explicit PosixFile(int fd) : fd_(fd) {}
    ~PosixFile() override { ::close(fd_); }
    PosixFile(const PosixFile&) = delete;
    PosixFile& operator=(const PosixFile&) = delete;

    std::int64_t Size() override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) return -1;
        return st.st_size;
    }
    std::int64_t ReadAt(std::int64_t pos, void* buffer, std::size_t n) override {
        std::size_t done = 0;
        auto* out = static_cast<char*>(buffer);
        while (done < n) {
            ssize_t got = ::pread(fd_, out + done, n - done, static_cast<off_t>(pos) + static_cast<off_t>(done));
            if (got < 0) {
                if (errno == EINTR) continue;
                return -1;
            }
            if (got == 0) break;
            done += static_cast<std::size_t>(got);
        }
        return static_cast<std::int64_t>(done);
    }
    Status WriteAt(std::int64_t pos, const void* data, std::size_t n) override {
        std::size_t done = 0;
        const auto* in = static_cast<const char*>(data);
        while (done < n) {
            ssize_t put = ::pwrite(fd_, in + done, n - done, static_cast<off_t>(pos) + static_cast<off_t>(done));
            if (put < 0) {
                if (errno == EINTR) continue;
                return Status::Fail(ErrnoText(errno), CauseOf(errno));
            }
            done += static_cast<std::size_t>(put);
        }
        return Status::Ok();
    }
    Status Sync() override {
        if (::fsync(fd_) != 0) return Status::Fail(ErrnoText(errno), CauseOf(errno));
        return Status::Ok();
    }

private:
    int fd_;
};

std::string ParentOf(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// A link is followed only when this user, root, or the owner of the folder
// that holds it made it (the rule Linux applies in shared sticky folders):
// a link that another user put into a shared folder must not send a save
// to a file of that user's choosing.
bool TrustedLink(const std::string& link, const struct stat& linkStat) {
    if (linkStat.st_uid == ::geteuid() || linkStat.st_uid == 0) return true;
    std::string folder = ParentOf(link);
    struct stat folderStat {};
    return ::stat(folder.empty() ? "." : folder.c_str(), &folderStat) == 0 && folderStat.st_uid == linkStat.st_uid;
}

// Follows trusted symbolic links to the file they finally name (as far as
// the system would before giving up with ELOOP).
Status FollowTrustedLinks(std::string path, std::string& target) {
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
        if (!TrustedLink(path, st)) return Status::Fail("the link " + path + " was made by another user", FailureCause::Denied);
        std::vector<char> buffer(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
        ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
        if (n < 0 || static_cast<std::size_t>(n) >= buffer.size()) break;
        std::string link(buffer.data(), static_cast<std::size_t>(n));
        if (link.empty()) break;
        if (link.front() == '/') {
            path = link;
        } else {
            std::size_t slash = path.find_last_of('/');
            path = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + link;
        }
    }
    target = path;
    return Status::Ok();
}

void SyncDirectoryOf(const std::string& path) {
    std::string dir = ParentOf(path);
    int dfd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
}

bool PathExists(const std::string& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringCase(const std::string& a, const char* b) {
    std::size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

// The entry of `dir` whose name matches `name` without regard to case, or `name`.
std::string MatchInDirectory(const std::string& dir, const std::string& name) {
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return name;
    std::string found = name;
    while (dirent* e = ::readdir(d)) {
        if (SameIgnoringCase(name, e->d_name)) {
            found = e->d_name;
            break;
        }
    }
    ::closedir(d);
    return found;
}

}  // namespace

void ReserveForFile(std::string& buffer, std::size_t size) {
    buffer.reserve(size);
#ifdef MADV_POPULATE_WRITE
    // Only whole pages inside the buffer's own memory are prepared.
    constexpr std::size_t kLargeBuffer = std::size_t {1} << 20;
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    if (buffer.capacity() < kLargeBuffer || page == 0) return;
    const auto begin = reinterpret_cast<std::uintptr_t>(buffer.data());
    const std::uintptr_t first = (begin + page - 1) / page * page;
    const std::uintptr_t last = (begin + buffer.capacity()) / page * page;
    if (last > first) (void)::madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE);
#endif
}

std::string NativePath(const std::string& programPath) {
    std::string path = programPath;
    for (char& c : path)
        if (c == '\\') c = '/';
    if (path.empty() || PathExists(path)) return path;

    // Walk the components, keeping each one that exists as written and
    // looking the others up without regard to case.
    std::string result;
    std::size_t pos = 0;
    if (path[0] == '/') {
        result = "/";
        pos = 1;
    }
    while (pos <= path.size()) {
        std::size_t slash = path.find('/', pos);
        std::string part = path.substr(pos, slash == std::string::npos ? std::string::npos : slash - pos);
        if (!part.empty() && part != "." && part != "..") {
            std::string candidate = result + part;
            if (!PathExists(candidate)) {
                std::string dir = result.empty() ? std::string(".") : result;
                candidate = result + MatchInDirectory(dir, part);
            }
            result = candidate;
        } else if (!part.empty()) {
            result += part;
        }
        if (slash == std::string::npos) break;
        result += '/';
        pos = slash + 1;
    }
    return result;
}

namespace {

int OpenRetrying(const std::string& native, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(native.c_str(), flags | O_CLOEXEC | O_NOCTTY, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Why an open file may not be used in `mode`; empty when it may.
std::string RefusalOf(int fd, OpenMode mode) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return ErrnoText(errno);
    if (S_ISDIR(st.st_mode)) return ErrnoText(EISDIR);
    if (!S_ISREG(st.st_mode)) return "not a regular file";
    if (mode == OpenMode::Private && (st.st_uid != ::geteuid() || st.st_nlink != 1))
        return "not a file of this user alone";
    return {};
}

}  // namespace

// An existing file is opened without following a link, a missing one made
// new, so that nobody can point it at another file meanwhile.
NativeFile OpenPrivateFile(const std::string& path, bool& created, std::string* refusal) {
    int fd = -1;
    for (int attempt = 0; attempt < 3; ++attempt) {
        created = false;
        fd = OpenRetrying(path, O_RDWR | O_NOFOLLOW | O_NONBLOCK);
        if (fd >= 0 || errno != ENOENT) break;
        fd = OpenRetrying(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
        created = fd >= 0;
        if (fd >= 0 || errno != EEXIST) break;
    }
    if (fd < 0) {
        if (refusal) *refusal = errno == ELOOP ? std::string("a symbolic link") : ErrnoText(errno);
        return -1;
    }
    std::string why = RefusalOf(fd, OpenMode::Private);
    if (why.empty()) return fd;
    ::close(fd);
    if (refusal) *refusal = why;
    return -1;
}

bool IsOpen(NativeFile file) { return file >= 0; }

std::unique_ptr<File> SystemPlatform::Open(const std::string& path, OpenMode mode, std::string* reason) {
    std::string native = NativePath(path);
    if (mode == OpenMode::Private) {
        bool created = false;
        int fd = OpenPrivateFile(native, created, reason);
        return IsOpen(fd) ? std::make_unique<PosixFile>(fd) : nullptr;
    }
    int fd = -1;
    // O_NONBLOCK: a FIFO or a device must not hold the open up; it is refused below.
    switch (mode) {
        case OpenMode::ReadShared: fd = OpenRetrying(native, O_RDONLY | O_NONBLOCK); break;
        case OpenMode::ReadWriteShared: fd = OpenRetrying(native, O_RDWR | O_CREAT | O_NONBLOCK, 0666); break;
        case OpenMode::CreateExclusive: fd = OpenRetrying(native, O_WRONLY | O_CREAT | O_EXCL, 0600); break;
        case OpenMode::Private: break;
    }
    if (fd < 0) {
        if (reason) *reason = errno == ELOOP ? std::string("a symbolic link") : ErrnoText(errno);
        return nullptr;
    }
    std::string refusal = RefusalOf(fd, mode);
    if (!refusal.empty()) {
        ::close(fd);
        if (reason) *reason = refusal;
        return nullptr;
    }
    return std::make_unique<PosixFile>(fd);
}

bool SystemPlatform::Exists(const std::string& path) { return PathExists(NativePath(path)); }

Status SystemPlatform::Remove(const std::string& path) {
    if (::unlink(NativePath(path).c_str()) != 0) return Status::Fail(ErrnoText(errno));
    return Status::Ok();
}

Status SystemPlatform::Replace(const std::string& from, const std::string& to) {
    std::string target = NativePath(to);
    if (::rename(NativePath(from).c_str(), target.c_str()) != 0) return Failed("cannot replace", target, errno);
    // Make the rename itself durable.
    SyncDirectoryOf(target);
    return Status::Ok();
}

namespace {

// Opens the file to rewrite, or makes it empty when it is missing (so that
// two first saves lock the same file). -1 with errno on failure.
int OpenOrCreateForRewrite(const std::string& path, bool& created) {
    created = false;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            errno = EISDIR;
            return -1;
        }
        // A file nobody may write is read-only, for an administrator too.
        if ((st.st_mode & 0222) == 0) {
            errno = EACCES;
            return -1;
        }
        return OpenRetrying(path, O_RDWR | O_NONBLOCK);
    }
    if (errno != ENOENT) return -1;
    int fd = OpenRetrying(path, O_RDWR | O_CREAT | O_EXCL | O_NONBLOCK, 0666);
    created = fd >= 0;
    return fd;
}

bool StillNamedBy(int fd, const std::string& path) {
    struct stat open {};
    struct stat named {};
    return ::fstat(fd, &open) == 0 && ::stat(path.c_str(), &named) == 0 && open.st_dev == named.st_dev &&
           open.st_ino == named.st_ino;
}

Status FolderOf(const std::string& path) {
    std::string dir = ParentOf(path);
    struct stat dirStat {};
    if (::stat(dir.empty() ? "." : dir.c_str(), &dirStat) != 0) return Failed("no folder for", path, errno);
    if (!S_ISDIR(dirStat.st_mode)) return Failed("no folder for", path, ENOTDIR);
    return Status::Ok();
}

}  // namespace

Status SystemPlatform::OpenForRewrite(const std::string& path, RewriteTarget& target) {
    target = RewriteTarget {};
    Status status = FollowTrustedLinks(NativePath(path), target.path);
    if (!status) return status;
    // Another save may replace the file between our open and our lock; then
    // the new file is the one to lock. Each round means another save went through.
    for (int round = 0; round < 100; ++round) {
        bool created = false;
        int fd = OpenOrCreateForRewrite(target.path, created);
        if (fd < 0) {
            if (errno == EEXIST) continue;  // another first save made it meanwhile
            if (errno == ENOENT) {
                Status folder = FolderOf(target.path);
                return folder ? Failed("cannot open", target.path, ENOENT) : folder;
            }
            return Failed("cannot open", target.path, errno);
        }
        auto file = std::make_unique<PosixFile>(fd);
        std::string refusal = RefusalOf(fd, OpenMode::ReadWriteShared);
        if (!refusal.empty()) return Status::Fail("cannot open " + target.path + ": " + refusal);
        if (!LockWholeFile(fd, F_WRLCK)) {
            if (errno == EAGAIN || errno == EACCES)
                return Status::Fail("another program is changing " + target.path, FailureCause::InUse);
            if (!LocksUnsupported(errno)) return Failed("cannot lock", target.path, errno);
        }
        if (!StillNamedBy(fd, target.path)) continue;
        struct stat st {};
        if (::fstat(fd, &st) != 0) return Failed("cannot open", target.path, errno);
        if (st.st_size > kLargeFileLimit)
            return Status::Fail("cannot rewrite " + target.path + ": larger than " + std::to_string(kLargeFileLimit) +
                                " bytes");
        ReserveForFile(target.bytes, static_cast<std::size_t>(st.st_size));
        target.bytes.resize(static_cast<std::size_t>(st.st_size));
        std::int64_t got = file->ReadAt(0, target.bytes.data(), target.bytes.size());
        if (got < 0) return Failed("cannot read", target.path, errno);
        target.bytes.resize(static_cast<std::size_t>(got));
        target.exists = !created;
        target.created = created;
        target.identity = FileIdentity {true, static_cast<std::uint32_t>(st.st_mode & 07777), st.st_uid, st.st_gid};
        target.held = std::move(file);
        return Status::Ok();
    }
    return Status::Fail("cannot open " + target.path + ": it keeps being replaced", FailureCause::InUse);
}

std::vector<std::string> SystemPlatform::ListDirectory(const std::string& directory) {
    std::vector<std::string> names;
    std::string native = NativePath(directory);
    DIR* d = ::opendir(native.empty() ? "." : native.c_str());
    if (!d) return names;
    while (dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(std::move(name));
    }
    ::closedir(d);
    return names;
}

bool SystemPlatform::RemoveIfDeadCopy(const std::string& path) {
    std::string native = NativePath(path);
    int fd = ::open(native.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    PosixFile file(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    if (st.st_mtime > ::time(nullptr) - kDeadCopyAgeSeconds) return false;
    // A live save holds a write lock on its copy for as long as it runs.
    if (!LockWholeFile(fd, F_RDLCK)) return false;
    return ::unlink(native.c_str()) == 0;
}

std::unique_ptr<File> SystemPlatform::CreateCopy(const std::string& path, const FileIdentity& identity,
                                                 Status& status) {
    std::string native = NativePath(path);
    // No more access than the final mode at any moment: the bits are set
    // before anything is written.
    int fd;
    do {
        fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        status = Failed("cannot create the copy", native, errno);
        return nullptr;
    }
    auto file = std::make_unique<PosixFile>(fd);
    // Where the file system has no locks, the copy's age alone protects it.
    LockWholeFile(fd, F_WRLCK);
    if (identity.known) {
        // The group when this user belongs to it, the owner when this user
        // may give files away; the mode last, as a change of owner may clear
        // its set-id bits.
        struct stat st {};
        const auto group = static_cast<gid_t>(identity.group);
        const auto owner = static_cast<uid_t>(identity.owner);
        const auto unchanged = static_cast<uid_t>(-1);
        if (::fstat(fd, &st) == 0 && st.st_gid != group) (void)::fchown(fd, unchanged, group);
        if (st.st_uid != owner) (void)::fchown(fd, owner, static_cast<gid_t>(-1));
        if (::fchmod(fd, static_cast<mode_t>(identity.mode)) != 0) {
            status = Failed("cannot set the mode of the copy", native, errno);
            file.reset();
            ::unlink(native.c_str());
            return nullptr;
        }
    }
    status = Status::Ok();
    return file;
}

std::string SystemPlatform::GetEnv(const std::string& name) {
    const char* v = std::getenv(name.c_str());
    return v ? std::string(v) : std::string();
}

Status SystemPlatform::SetCurrentDirectory(const std::string& path) {
    if (::chdir(NativePath(path).c_str()) != 0) return Status::Fail(ErrnoText(errno));
    return Status::Ok();
}

// Command lines are the Windows host's way to open help pages. Here no
// command line is ever run: a shell would take whatever a file or variable
// put into it as commands.
int SystemPlatform::RunCommand(const std::string&) { return -1; }

bool SystemPlatform::IsWindowsHost() const { return false; }

std::int64_t SystemPlatform::HundredthsSinceMidnight() {
    timespec ts {};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    std::tm local {};
    time_t secs = ts.tv_sec;
    ::localtime_r(&secs, &local);
    return (static_cast<std::int64_t>(local.tm_hour) * 3600 + local.tm_min * 60 + local.tm_sec) * 100 +
           ts.tv_nsec / 10000000;
}

void SystemPlatform::SleepMilliseconds(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace qp
