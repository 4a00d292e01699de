#include "platform/platform.h"
#include "platform/private_file.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
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

FileStamp StampOf(const struct stat& st) {
    return FileStamp {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino), st.st_size,
                      static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

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
    std::optional<FileStamp> Stamp() override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) return std::nullopt;
        return StampOf(st);
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

std::string WithSlashes(std::string path) {
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

// Walks the components, keeping each one that exists as written and looking
// the others up without regard to case. Only the case of a name can change,
// so the result passes the path rule whenever `path` did.
std::string MatchCase(const std::string& path) {
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

std::string MappedPath(const std::string& checked) {
    std::string path = WithSlashes(checked);
    if (path.empty() || PathExists(path)) return path;
    return MatchCase(path);
}

// The one way from a program path to a path for the system: checked by the
// path rule, then mapped. Nothing, with `reason`, for a refused path.
std::optional<SafePath> Native(const std::string& programPath, std::string* reason = nullptr) {
    std::optional<SafePath> checked = SafePath::From(programPath, false, reason);
    if (!checked) return std::nullopt;
    return SafePath::From(MappedPath(checked->text()), false, reason);
}

Status Refused(const std::string& what, const std::string& reason) {
    return Status::Fail(what + ": the path " + reason);
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
    std::optional<SafePath> native = Native(programPath);
    return native ? native->text() : std::string();
}

namespace {

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

// A name that changed while it was being opened (a link or another file put
// in its place, a file made or removed) is looked at again, this many times.
constexpr int kLooks = 8;

enum class Opened { Yes, LookAgain, No };

// One look: the open of the located name in `mode`.
Opened OpenOnce(const Location& at, OpenMode mode, int& fd, bool& created) {
    created = false;
    // O_NONBLOCK: a FIFO or a device must not hold the open up; it is refused after.
    switch (mode) {
    case OpenMode::ReadShared:
        if (!at.exists) {
            errno = ENOENT;
            return Opened::No;
        }
        fd = OpenLocated(at, O_RDONLY | O_NONBLOCK);
        break;
    case OpenMode::ReadCreating:
        // A link to a missing file is followed to read, never to make one:
        // whoever made the link (a folder's owner too) would choose where.
        if (!at.exists && at.throughLink) {
            errno = ELOOP;
            return Opened::No;
        }
        fd = at.exists ? OpenLocated(at, O_RDONLY | O_NONBLOCK)
                       : OpenLocated(at, O_RDONLY | O_CREAT | O_EXCL | O_NONBLOCK, 0666);
        created = !at.exists && fd >= 0;
        break;
    case OpenMode::CreateExclusive:
        fd = OpenLocated(at, O_WRONLY | O_CREAT | O_EXCL, 0600);
        return fd >= 0 ? Opened::Yes : Opened::No;
    case OpenMode::Private:
        fd = at.exists ? OpenLocated(at, O_RDWR | O_NONBLOCK) : OpenLocated(at, O_RDWR | O_CREAT | O_EXCL, 0600);
        created = !at.exists && fd >= 0;
        // The name is used as it is: a link there is refused, never followed.
        if (fd < 0 && errno == ELOOP) return Opened::No;
        break;
    }
    if (fd < 0) {
        const bool changed = errno == ELOOP || errno == EEXIST || (at.exists && errno == ENOENT);
        return changed ? Opened::LookAgain : Opened::No;
    }
    struct stat st {};
    if (at.exists && (::fstat(fd, &st) != 0 || !SameFile(st, at.seen))) {
        ::close(fd);
        return Opened::LookAgain;
    }
    return Opened::Yes;
}

// Opens `path` in `mode`, the name looked at afresh as long as it changes
// under the open. -1 with `reason` when the file may not be used.
int OpenChecked(const SafePath& path, OpenMode mode, std::string& reason) {
    const LastName last = mode == OpenMode::ReadShared || mode == OpenMode::ReadCreating ? LastName::Followed
                                                                                        : LastName::AsItIs;
    for (int look = 0; look < kLooks; ++look) {
        Location at;
        Status located = Locate(path, last, at);
        if (!located) {
            reason = located.reason;
            return -1;
        }
        int fd = -1;
        bool created = false;
        switch (OpenOnce(at, mode, fd, created)) {
        case Opened::LookAgain: continue;
        case Opened::No: reason = errno == ELOOP ? std::string("a symbolic link") : ErrnoText(errno); return -1;
        case Opened::Yes: break;
        }
        reason = RefusalOf(fd, mode);
        if (reason.empty()) return fd;
        ::close(fd);
        return -1;
    }
    reason = "it keeps being replaced";
    return -1;
}

}  // namespace

int OpenPrivateFile(const Location& where, bool& created, std::string* refusal) {
    int fd = -1;
    std::string reason;
    switch (OpenOnce(where, OpenMode::Private, fd, created)) {
    case Opened::Yes: reason = RefusalOf(fd, OpenMode::Private); break;
    case Opened::LookAgain: reason = "it changed while it was opened"; break;
    case Opened::No: reason = errno == ELOOP ? std::string("a symbolic link") : ErrnoText(errno); break;
    }
    if (reason.empty()) return fd;
    if (fd >= 0) ::close(fd);
    if (refusal) *refusal = reason;
    return -1;
}

std::unique_ptr<File> SystemPlatform::Open(const std::string& path, OpenMode mode, std::string* reason) {
    std::string why;
    std::optional<SafePath> native = Native(path, &why);
    int fd = native ? OpenChecked(*native, mode, why) : -1;
    if (fd >= 0) return std::make_unique<PosixFile>(fd);
    if (reason) *reason = native ? why : "the path " + why;
    return nullptr;
}

bool SystemPlatform::Exists(const std::string& path) {
    std::optional<SafePath> native = Native(path);
    Location at;
    return native && Locate(*native, LastName::AsItIs, at) && at.exists;
}

std::optional<FileStamp> SystemPlatform::Stamp(const std::string& path) {
    std::optional<SafePath> checked = SafePath::From(path, false);
    if (!checked) return std::nullopt;
    // One look in the usual case: the name as written exists.
    struct stat st {};
    std::string native = WithSlashes(checked->text());
    if (::stat(native.c_str(), &st) != 0 && (errno != ENOENT || ::stat(MatchCase(native).c_str(), &st) != 0))
        return std::nullopt;
    return StampOf(st);
}

Status SystemPlatform::Remove(const std::string& path) {
    std::string why;
    std::optional<SafePath> native = Native(path, &why);
    if (!native) return Refused("cannot remove " + path, why);
    Location at;
    Status located = Locate(*native, LastName::AsItIs, at);
    if (!located) return located;
    if (::unlinkat(at.folder.get(), at.name.c_str(), 0) != 0) return Failed("cannot remove", at.path, errno);
    return Status::Ok();
}

namespace {

// Makes the entries of the located folder durable.
void SyncFolder(const Location& at) {
    int fd = ::openat(at.folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

Status SystemPlatform::Replace(const std::string& from, const std::string& to) {
    std::string why;
    std::optional<SafePath> source = Native(from, &why);
    std::optional<SafePath> target = source ? Native(to, &why) : std::nullopt;
    if (!source || !target) return Refused("cannot replace " + to, why);
    Location was;
    Location now;
    Status located = Locate(*source, LastName::AsItIs, was);
    if (located) located = Locate(*target, LastName::AsItIs, now);
    if (!located) return located;
    if (::renameat(was.folder.get(), was.name.c_str(), now.folder.get(), now.name.c_str()) != 0)
        return Failed("cannot replace", now.path, errno);
    // Make the rename itself durable.
    SyncFolder(now);
    return Status::Ok();
}

namespace {

// One look at the file to rewrite: opened, or made empty when it is missing
// (so that two first saves lock the same file). -1 with errno on failure;
// `lookAgain` when the name changed under the open.
int OpenForRewriteOnce(const Location& at, bool& created, bool& lookAgain) {
    created = false;
    lookAgain = false;
    if (at.exists) {
        if (S_ISDIR(at.seen.st_mode)) {
            errno = EISDIR;
            return -1;
        }
        // A file nobody may write is read-only, for an administrator too.
        if ((at.seen.st_mode & 0222) == 0) {
            errno = EACCES;
            return -1;
        }
        int fd = OpenLocated(at, O_RDWR | O_NONBLOCK);
        lookAgain = fd < 0 && (errno == ELOOP || errno == ENOENT);
        return fd;
    }
    int fd = OpenLocated(at, O_RDWR | O_CREAT | O_EXCL | O_NONBLOCK, 0666);
    created = fd >= 0;
    lookAgain = fd < 0 && (errno == EEXIST || errno == ELOOP);
    return fd;
}

Status FolderOf(const Location& at) {
    struct stat folder {};
    if (::fstat(at.folder.get(), &folder) != 0 || folder.st_nlink == 0)
        return Status::Fail("no folder for " + at.path + ": it has been removed", FailureCause::NoFolder);
    return Status::Ok();
}

Status ReadTarget(PosixFile& file, const struct stat& st, RewriteTarget& target) {
    if (st.st_size > kLargeFileLimit)
        return Status::Fail("cannot rewrite " + target.path + ": larger than " + std::to_string(kLargeFileLimit) +
                            " bytes");
    ReserveForFile(target.bytes, static_cast<std::size_t>(st.st_size));
    target.bytes.resize(static_cast<std::size_t>(st.st_size));
    std::int64_t got = file.ReadAt(0, target.bytes.data(), target.bytes.size());
    if (got < 0) return Failed("cannot read", target.path, errno);
    target.bytes.resize(static_cast<std::size_t>(got));
    return Status::Ok();
}

}  // namespace

Status SystemPlatform::OpenForRewrite(const std::string& path, RewriteTarget& target) {
    target = RewriteTarget {};
    std::string why;
    std::optional<SafePath> native = Native(path, &why);
    if (!native) return Refused("cannot open " + path, why);
    // Another save may replace the file between our open and our lock, or
    // another user may put a link in its place: each round looks at the name
    // again, from the start, and locks the file that was looked at.
    for (int round = 0; round < 100; ++round) {
        Location at;
        Status located = Locate(*native, LastName::Followed, at);
        if (!located) return located;
        target.path = at.path;
        bool created = false;
        bool lookAgain = false;
        int fd = OpenForRewriteOnce(at, created, lookAgain);
        if (lookAgain) continue;
        if (fd < 0) {
            if (errno == ENOENT) {
                Status folder = FolderOf(at);
                return folder ? Failed("cannot open", at.path, ENOENT) : folder;
            }
            if (errno == EISDIR) return Status::Fail("cannot open " + at.path + ": it is a folder", FailureCause::NotAFile);
            return Failed("cannot open", at.path, errno);
        }
        auto file = std::make_unique<PosixFile>(fd);
        std::string refusal = RefusalOf(fd, OpenMode::ReadShared);
        if (!refusal.empty()) {
            if (created) ::unlinkat(at.folder.get(), at.name.c_str(), 0);
            return Status::Fail("cannot open " + at.path + ": " + refusal, FailureCause::NotAFile);
        }
        if (!LockWholeFile(fd, F_WRLCK)) {
            if (errno == EAGAIN || errno == EACCES)
                return Status::Fail("another program is changing " + at.path, FailureCause::InUse);
            if (!LocksUnsupported(errno)) return Failed("cannot lock", at.path, errno);
        }
        if (!StillNamed(at, fd)) continue;
        struct stat st {};
        if (::fstat(fd, &st) != 0) return Failed("cannot open", at.path, errno);
        Status read = ReadTarget(*file, st, target);
        if (!read) return read;
        target.exists = !created;
        target.created = created;
        // Permission bits only: a copy never takes set-user-ID, set-group-ID or sticky bits.
        target.identity = FileIdentity {true, static_cast<std::uint32_t>(st.st_mode & 0777), st.st_uid, st.st_gid};
        target.held = std::move(file);
        return Status::Ok();
    }
    return Status::Fail("cannot open " + target.path + ": it keeps being replaced", FailureCause::InUse);
}

std::vector<std::string> SystemPlatform::ListDirectory(const std::string& directory) {
    std::vector<std::string> names;
    std::optional<SafePath> native = Native(directory);
    Location at;
    if (!native || !Locate(*native, LastName::Folder, at)) return names;
    int fd = ::openat(at.folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* d = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!d) {
        if (fd >= 0) ::close(fd);
        return names;
    }
    while (dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(std::move(name));
    }
    ::closedir(d);
    return names;
}

bool SystemPlatform::RemoveIfDeadCopy(const std::string& path) {
    std::optional<SafePath> native = Native(path);
    Location at;
    if (!native || !Locate(*native, LastName::AsItIs, at) || !at.exists) return false;
    int fd = OpenLocated(at, O_RDONLY | O_NONBLOCK);
    if (fd < 0) return false;
    PosixFile file(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    if (st.st_mtime > ::time(nullptr) - kDeadCopyAgeSeconds) return false;
    // A live save holds a write lock on its copy for as long as it runs.
    if (!LockWholeFile(fd, F_RDLCK)) return false;
    return StillNamed(at, fd) && ::unlinkat(at.folder.get(), at.name.c_str(), 0) == 0;
}

std::unique_ptr<File> SystemPlatform::CreateCopy(const std::string& path, const FileIdentity& identity,
                                                 Status& status) {
    std::string why;
    std::optional<SafePath> native = Native(path, &why);
    if (!native) {
        status = Refused("cannot create the copy " + path, why);
        return nullptr;
    }
    Location at;
    status = Locate(*native, LastName::AsItIs, at);
    if (!status) return nullptr;
    // No more access than the final mode at any moment: the bits are set
    // before anything is written.
    int fd = OpenLocated(at, O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0) {
        status = Failed("cannot create the copy", at.path, errno);
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
        if (::fchmod(fd, static_cast<mode_t>(identity.mode & 0777)) != 0) {
            status = Failed("cannot set the mode of the copy", at.path, errno);
            file.reset();
            ::unlinkat(at.folder.get(), at.name.c_str(), 0);
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
    std::string why;
    std::optional<SafePath> native = Native(path, &why);
    if (!native) return Status::Fail("the path " + why);
    Location at;
    Status located = Locate(*native, LastName::Folder, at);
    if (!located) return located;
    if (::fchdir(at.folder.get()) != 0) return Status::Fail(ErrnoText(errno));
    return Status::Ok();
}

std::string SystemPlatform::AbsolutePath(const std::string& path) {
    if (path.empty() || path.front() == '/' || path.front() == '\\') return path;
    std::vector<char> here(4096);
    while (::getcwd(here.data(), here.size()) == nullptr) {
        if (errno != ERANGE || here.size() > (std::size_t {1} << 20)) return path;
        here.resize(here.size() * 2);
    }
    std::string folder = here.data();
    return folder + (folder.back() == '/' ? "" : "/") + path;
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
