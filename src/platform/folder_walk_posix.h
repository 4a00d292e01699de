// POSIX: a path followed one name at a time, from open folder to open
// folder, so that what is checked on the way is what is used. A symbolic
// link that another user put into a shared folder sends nothing of this
// program elsewhere: it is followed only when this user, root or the folder's
// owner made it (the rule Linux applies in shared sticky folders), and the
// file at the end is opened in the folder that was reached, without
// following whatever has taken its name since.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <utility>

#include "platform/platform.h"
#include "platform/safe_path.h"

namespace qp {

// A descriptor, closed when it goes.
class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() { Close(); }
    Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) {
            Close();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return fd_; }
    int Release() { return std::exchange(fd_, -1); }
    explicit operator bool() const { return fd_ >= 0; }

private:
    void Close() {
        if (fd_ >= 0) ::close(fd_);
    }
    int fd_ = -1;
};

// What the last name of a path is taken as.
enum class LastName {
    Followed,  // a trusted link there is followed to its file
    AsItIs,    // a link there is that entry itself: to remove, replace over or refuse
    Folder,    // the path names a folder, which is held itself
};

// Where a path leads.
struct Location {
    Descriptor folder;  // holds `name`; for LastName::Folder the folder itself
    std::string name;   // empty for LastName::Folder
    std::string path;   // as followed: the folders on the way, then `name`
    bool exists = false;
    // `name` came from a symbolic link that the path's own last name was:
    // whatever is made at the end of the walk would be made through a link.
    bool throughLink = false;
    struct stat seen {};  // `name` as it was looked at (not followed), when it exists
};

// Follows the native path one name at a time from "/" or the current
// folder. A link that may not be trusted is Denied; a name on the way that
// is missing or no folder fails with the system's reason.
Status Locate(const SafePath& path, LastName last, Location& where);

// Opens the located name itself, never through a link: fails with ELOOP
// when a link has taken the name since it was located. -1 and errno on failure.
int OpenLocated(const Location& where, int flags, mode_t mode = 0);

bool SameFile(const struct stat& a, const struct stat& b);

// True when the located name still names the open file `fd` (and, when it
// existed, the file that was looked at): nothing has been put in its place.
bool StillNamed(const Location& where, int fd);

}  // namespace qp
