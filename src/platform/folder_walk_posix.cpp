#include "platform/folder_walk_posix.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <vector>

namespace qp {
namespace {

// Folders are held only to look and open inside them: no read right is
// needed for that where the system has O_PATH.
#ifdef O_PATH
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

// As many links as the system itself follows before giving up.
constexpr int kMostLinks = 40;

Status Failed(const std::string& what, int err) {
    Status status = Status::Fail(what + ": " + std::strerror(err));
    if (err == EACCES || err == EPERM) status.cause = FailureCause::Denied;
    if (err == ENOENT || err == ENOTDIR) status.cause = FailureCause::NoFolder;
    return status;
}

std::deque<std::string> NamesOf(const std::string& path) {
    std::deque<std::string> names;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t slash = path.find('/', start);
        if (slash == std::string::npos) slash = path.size();
        std::string name = path.substr(start, slash - start);
        if (!name.empty() && name != ".") names.push_back(std::move(name));
        start = slash + 1;
    }
    return names;
}

// A link is followed only when this user, root, or the owner of the folder
// that holds it made it: one that another user put into a shared folder
// must not send the program to a file of that user's choosing.
bool TrustedLink(int folder, const struct stat& link) {
    if (link.st_uid == ::geteuid() || link.st_uid == 0) return true;
    struct stat owner {};
    return ::fstat(folder, &owner) == 0 && owner.st_uid == link.st_uid;
}

int OpenRetrying(int folder, const char* name, int flags, mode_t mode) {
    int fd;
    do {
        fd = ::openat(folder, name, flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

bool ReadLink(int folder, const std::string& name, const struct stat& link, std::string& target) {
    std::vector<char> buffer(static_cast<std::size_t>(link.st_size > 0 ? link.st_size : 255) + 1);
    ssize_t n = ::readlinkat(folder, name.c_str(), buffer.data(), buffer.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= buffer.size()) return false;
    target.assign(buffer.data(), static_cast<std::size_t>(n));
    return true;
}

// The walk itself: `folder` and `at` (its path, with a final "/", or empty
// for the current folder) move down the names still to go.
class Walk {
public:
    Walk(const std::string& path, LastName last) : names_(NamesOf(path)), last_(last) {
        StartAt(!path.empty() && path.front() == '/');
        // "dir/" and "dir/." name the folder, whatever the caller asked.
        if (path.empty() || path.back() == '/' || path == "." ||
            (path.size() >= 2 && path.compare(path.size() - 2, 2, "/.") == 0))
            last_ = LastName::Folder;
    }

    Status Run(Location& where) {
        if (!folder_) return Failed("cannot open the folder " + (at_.empty() ? std::string(".") : at_), errno);
        while (!names_.empty()) {
            std::string name = std::move(names_.front());
            names_.pop_front();
            const bool lastName = names_.empty() && last_ != LastName::Folder;
            struct stat st {};
            if (::fstatat(folder_.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
                if (lastName && errno == ENOENT) return Found(where, name, nullptr);
                return Failed("cannot reach " + at_ + name, errno);
            }
            if (S_ISLNK(st.st_mode) && !(lastName && last_ == LastName::AsItIs)) {
                Status followed = Follow(name, st);
                if (!followed) return followed;
                continue;
            }
            if (lastName) return Found(where, name, &st);
            Status entered = Enter(name);
            if (!entered) return entered;
        }
        // Every name was a folder on the way: the path names the last one.
        struct stat st {};
        if (::fstat(folder_.get(), &st) != 0) return Failed("cannot reach " + at_, errno);
        return Found(where, std::string(), &st);
    }

private:
    void StartAt(bool root) {
        folder_ = Descriptor(OpenRetrying(AT_FDCWD, root ? "/" : ".", kFolderFlags, 0));
        at_ = root ? "/" : "";
    }

    Status Follow(const std::string& name, const struct stat& link) {
        if (++links_ > kMostLinks) return Failed("cannot reach " + at_ + name, ELOOP);
        if (!TrustedLink(folder_.get(), link))
            return Status::Fail("the link " + at_ + name + " was made by another user", FailureCause::Denied);
        std::string target;
        if (!ReadLink(folder_.get(), name, link, target)) return Failed("cannot read the link " + at_ + name, EINVAL);
        std::deque<std::string> more = NamesOf(target);
        if (names_.empty()) throughLink_ = true;
        // A link to "dir/" names a folder: so does the path, when it was the last name.
        if (names_.empty() && target.back() == '/' && last_ != LastName::Folder) last_ = LastName::Folder;
        names_.insert(names_.begin(), more.begin(), more.end());
        if (target.front() == '/') StartAt(true);
        if (!folder_) return Failed("cannot open the folder /", errno);
        return Status::Ok();
    }

    Status Enter(const std::string& name) {
        int fd = OpenRetrying(folder_.get(), name.c_str(), kFolderFlags | O_NOFOLLOW, 0);
        if (fd < 0) {
            const int err = errno;
            // A link put there since it was looked at: looked at again.
            struct stat now {};
            if ((err == ELOOP || err == ENOTDIR) && ++links_ <= kMostLinks &&
                ::fstatat(folder_.get(), name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(now.st_mode)) {
                names_.push_front(name);
                return Status::Ok();
            }
            return Failed("cannot reach " + at_ + name, err);
        }
        folder_ = Descriptor(fd);
        at_ += name + "/";
        return Status::Ok();
    }

    Status Found(Location& where, const std::string& name, const struct stat* st) {
        where.folder = std::move(folder_);
        where.name = name;
        where.path = at_ + name;
        if (where.path.empty()) where.path = ".";
        where.exists = st != nullptr;
        where.throughLink = throughLink_;
        if (st) where.seen = *st;
        return Status::Ok();
    }

    std::deque<std::string> names_;
    LastName last_;
    Descriptor folder_;
    std::string at_;
    int links_ = 0;
    bool throughLink_ = false;
};

}  // namespace

Status Locate(const SafePath& path, LastName last, Location& where) {
    where = Location {};
    return Walk(path.text(), last).Run(where);
}

int OpenLocated(const Location& where, int flags, mode_t mode) {
    if (where.name.empty()) {
        errno = EISDIR;
        return -1;
    }
    return OpenRetrying(where.folder.get(), where.name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, mode);
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

bool StillNamed(const Location& where, int fd) {
    struct stat open {};
    struct stat named {};
    return ::fstat(fd, &open) == 0 &&
           ::fstatat(where.folder.get(), where.name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           SameFile(open, named) && (!where.exists || SameFile(open, where.seen));
}

}  // namespace qp
