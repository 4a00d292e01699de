// Operating-system services other than the console: files, environment,
// current directory, commands, time. Every module that touches the system
// does it through a Platform reference, so that tests can substitute a
// platform that fails on purpose.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qp {

// Why an operation failed, in the terms an operator is told about.
enum class FailureCause {
    None,
    Other,     // anything below does not fit; the system's words say more
    Denied,    // read-only file, or no permission
    DiskFull,  // no room left on the disk (or over quota)
    InUse,     // another program holds the file
    NoFolder,  // the folder that should hold the file does not exist
    NotAFile,  // a name the save needs is taken by no regular file (a folder, a FIFO, a device)
};

// Outcome of an operation that the caller must be able to report.
struct Status {
    bool ok = true;
    std::string reason;  // the system's words when !ok
    FailureCause cause = FailureCause::None;
    // The file that failed when it is not the one the operation was given
    // (the lock file beside it): the one to name to the operator.
    std::string concerns;

    static Status Ok() { return {}; }
    static Status Fail(std::string why, FailureCause cause = FailureCause::Other) {
        return {false, std::move(why), cause, {}};
    }
    static Status FailOn(std::string file, std::string why, FailureCause cause) {
        return {false, std::move(why), cause, std::move(file)};
    }
    explicit operator bool() const { return ok; }
};

// What a rewritten file keeps of the old one: permission bits, owner and
// group (POSIX; Windows keeps attributes and ACLs in the replace itself).
struct FileIdentity {
    bool known = false;
    std::uint32_t mode = 0;
    std::int64_t owner = -1;
    std::int64_t group = -1;
};

// What tells one state of a file from another without reading it: which
// file it is (device and inode; on Windows volume and file ID), its size and
// when it was last written.
struct FileStamp {
    std::uint64_t volume = 0;
    std::uint64_t file = 0;
    std::int64_t size = 0;
    std::int64_t written = 0;
    bool operator==(const FileStamp&) const = default;
};

// An open file. Positions are 0-based byte offsets.
class File {
public:
    virtual ~File() = default;
    virtual std::int64_t Size() = 0;  // -1 when unknown
    virtual std::optional<FileStamp> Stamp() = 0;
    // Reads up to n bytes at pos; returns the count read (0 at the end), -1 on error.
    virtual std::int64_t ReadAt(std::int64_t pos, void* buffer, std::size_t n) = 0;
    virtual Status WriteAt(std::int64_t pos, const void* data, std::size_t n) = 0;
    // Pushes what was written down to the disk.
    virtual Status Sync() = 0;
};

// A file opened for rewriting: the file itself (symbolic links followed as
// opens follow them), what it holds now, and the open file that holds the
// rewrite lock on it until the target is dropped.
struct RewriteTarget {
    std::string path;  // the final target, as the platform names it
    bool exists = false;
    bool created = false;  // made empty by this rewrite, to have something to lock
    std::string bytes;
    FileIdentity identity;
    std::unique_ptr<File> held;
};

// Every mode opens regular files only: a folder, a FIFO or a device is
// refused at once, never waited on. Paths are followed one folder at a time:
// a symbolic link anywhere on the way is followed only when this user, root
// or the owner of the folder that holds it made it, and the file opened is
// checked to be the one that was looked at, not whatever the name gives a
// moment later.
enum class OpenMode {
    ReadShared,       // read; others may read and write meanwhile
    // Read, shared; a missing file is made empty first, never through a
    // link (or reparse point), for the other programs of the suite to fill.
    ReadCreating,
    CreateExclusive,  // a new empty file for writing, 0600, never through a link; fails when it exists
    // The program's own state and temporary files in shared folders: read and
    // write, never through a symbolic link (or reparse point), only a file of
    // this user with no other name; created 0600 when missing.
    Private,
};

// Largest files the program reads whole: the session's small files (and the
// calculator's state, help pages) and the installation's files.
constexpr std::int64_t kSmallFileLimit = std::int64_t {1} << 20;
constexpr std::int64_t kLargeFileLimit = std::int64_t {64} << 20;

class Platform {
public:
    virtual ~Platform() = default;

    // Files. Paths are given as the program builds them (backslashes, any case);
    // the platform maps them to the real file. A path that may not name a file
    // (PathRefusal in safe_path.h: a NUL or control byte) is refused by every
    // call, with that reason, and reaches no system call.
    virtual std::unique_ptr<File> Open(const std::string& path, OpenMode mode, std::string* reason = nullptr) = 0;
    virtual bool Exists(const std::string& path) = 0;
    // The file's stamp now, symbolic links followed, in one look at its
    // entry (no open, no read); nothing when there is no such file.
    virtual std::optional<FileStamp> Stamp(const std::string& path) = 0;
    virtual Status Remove(const std::string& path) = 0;
    // Puts `from` in the place of `to` in one step: `to` is always either the
    // old or the new file, never missing. `to` keeps its attributes where the
    // system keeps them with the file name (Windows).
    virtual Status Replace(const std::string& from, const std::string& to) = 0;

    // The services of RewriteFile below, one step each.
    // Opens `path` for reading and writing, as a check that it may be
    // rewritten (a read-only file is refused, even for an administrator),
    // takes the exclusive rewrite lock on it without waiting (InUse when
    // another program holds it) and reads it. A missing file is made empty
    // to be locked, when its folder exists. The name is looked at afresh at
    // every call, and what is read is the file that was looked at and is
    // locked, never one put in its place in between.
    virtual Status OpenForRewrite(const std::string& path, RewriteTarget& target) = 0;
    // Names of the entries of a directory ("" is the current one).
    virtual std::vector<std::string> ListDirectory(const std::string& directory) = 0;
    // Removes `path` when it is the copy of a save that died: nobody holds it
    // and it was last written long enough ago. True when it was removed.
    virtual bool RemoveIfDeadCopy(const std::string& path) = 0;
    // Creates `path` for exclusive writing with the given identity (none for a
    // new file), held so that RemoveIfDeadCopy leaves it alone while it is open.
    virtual std::unique_ptr<File> CreateCopy(const std::string& path, const FileIdentity& identity, Status& status) = 0;

    // Environment and process.
    virtual std::string GetEnv(const std::string& name) = 0;  // empty when unset
    virtual Status SetCurrentDirectory(const std::string& path) = 0;
    // `path` as named from the current directory: unchanged when it is
    // absolute already, or when the current directory cannot be told.
    virtual std::string AbsolutePath(const std::string& path) = 0;
    // Runs a command line and waits for its end; returns its exit code, -1
    // when it could not start. Only a Windows host runs one; POSIX never
    // starts a shell and gives -1.
    virtual int RunCommand(const std::string& commandLine) = 0;
    virtual bool IsWindowsHost() const = 0;

    // Time.
    virtual std::int64_t HundredthsSinceMidnight() = 0;
    virtual void SleepMilliseconds(int ms) = 0;
};

// The real operating system. Tests derive from it to override single services.
class SystemPlatform : public Platform {
public:
    std::unique_ptr<File> Open(const std::string& path, OpenMode mode, std::string* reason = nullptr) override;
    bool Exists(const std::string& path) override;
    std::optional<FileStamp> Stamp(const std::string& path) override;
    Status Remove(const std::string& path) override;
    Status Replace(const std::string& from, const std::string& to) override;
    Status OpenForRewrite(const std::string& path, RewriteTarget& target) override;
    std::vector<std::string> ListDirectory(const std::string& directory) override;
    bool RemoveIfDeadCopy(const std::string& path) override;
    std::unique_ptr<File> CreateCopy(const std::string& path, const FileIdentity& identity, Status& status) override;
    std::string GetEnv(const std::string& name) override;
    Status SetCurrentDirectory(const std::string& path) override;
    std::string AbsolutePath(const std::string& path) override;
    int RunCommand(const std::string& commandLine) override;
    bool IsWindowsHost() const override;
    std::int64_t HundredthsSinceMidnight() override;
    void SleepMilliseconds(int ms) override;
};

// Makes room for `size` bytes in `buffer` (its contents unchanged), with the
// memory made ready at once where the system allows it: a file of megabytes
// is then read or written without a page fault for each of its pages, which
// costs more than the work itself on some machines.
void ReserveForFile(std::string& buffer, std::size_t size);

// Whole-file helpers over a Platform. A file larger than `limit` bytes is
// refused as a missing one is; `reason` says why when it is given.
std::optional<std::string> ReadWholeFile(Platform& platform, const std::string& path, std::int64_t limit,
                                         std::string* reason = nullptr);
// The same, from an open file.
std::optional<std::string> ReadWholeFile(File& file, std::int64_t limit, std::string* reason = nullptr);
Status WriteWholeFile(Platform& platform, const std::string& path, const std::string& bytes);

// Produces a file's new bytes from its current ones (empty for a missing
// file); a failure stops the rewrite before anything is written.
using RewriteFunction = std::function<Status(const RewriteTarget& current, std::string& replacement)>;

// The one way a configuration file is rewritten. The file is opened for
// reading and writing and locked against every other rewrite, of this
// program or of a peer that takes the same lock, from before it is read
// until its replacement is in place: `rewrite` (a merge, say) sees what
// the file holds at that moment. The new copy is made beside it (beside a
// symbolic link's final target, so that the link stays), with its mode,
// group and owner, flushed and put in its place in one step. A lock held
// by another program, or a replace refused because another program holds
// the file, is waited for about five seconds, each new try reading the file
// again. On any failure the file is as it was and no copy is left; copies
// left by saves that died in the same folder are removed.
Status RewriteFile(Platform& platform, const std::string& path, const RewriteFunction& rewrite);

// The path up to and including its last ":", "\" or "/"; empty for a bare name.
std::string DirectoryPart(const std::string& path);

// The names RewriteFile gives its copies: "QPL", five digits, ".tmp".
bool IsRewriteCopyName(const std::string& name);

// Maps a program path to the file system's: on POSIX "\" becomes "/" and,
// when a component does not exist as written, it is looked up without regard
// to (ASCII) case. Unchanged on Windows. A path that may not name a file
// (PathRefusal) maps to the empty text, which names none.
std::string NativePath(const std::string& programPath);

// A small seeded pseudo-random generator (the same sequence for the same seed).
class Random {
public:
    explicit Random(std::uint64_t seed = 1) { Seed(seed); }
    void Seed(std::uint64_t seed);
    double Uniform();           // [0, 1)
    int Below(int n);           // 0 .. n-1
private:
    std::uint64_t state_ = 0;
};

}  // namespace qp
