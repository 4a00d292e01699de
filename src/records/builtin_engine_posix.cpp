// POSIX files for the built-in engine; record locks are fcntl locks.
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "records/engine_file.h"

static_assert(sizeof(off_t) >= 8, "the lock area lies beyond 2^62");

namespace qp {
namespace {

class PosixEngineFile : public EngineFile {
public:
    PosixEngineFile(int fd, bool readOnly) : fd_(fd), readOnly_(readOnly) {}
    ~PosixEngineFile() override { ::close(fd_); }
    PosixEngineFile(const PosixEngineFile&) = delete;
    PosixEngineFile& operator=(const PosixEngineFile&) = delete;

    std::int64_t Size() override {
        struct stat info {};
        if (::fstat(fd_, &info) != 0) return -1;
        return static_cast<std::int64_t>(info.st_size);
    }

    bool ReadAt(std::int64_t pos, void* buffer, std::size_t n) override {
        auto* out = static_cast<char*>(buffer);
        while (n > 0) {
            ssize_t got = ::pread(fd_, out, n, static_cast<off_t>(pos));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return false;
            out += got;
            pos += got;
            n -= static_cast<std::size_t>(got);
        }
        return true;
    }

    bool WriteAt(std::int64_t pos, const void* data, std::size_t n) override {
        const auto* in = static_cast<const char*>(data);
        while (n > 0) {
            ssize_t put = ::pwrite(fd_, in, n, static_cast<off_t>(pos));
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) return false;
            in += put;
            pos += put;
            n -= static_cast<std::size_t>(put);
        }
        return true;
    }

    // A file open for reading only cannot take a write lock; its read lock
    // still excludes every other process's write lock.
    bool TryLock(std::int64_t offset, std::int64_t length) override { return Apply(F_SETLK, LockType(), offset, length); }
    bool LockWaiting(std::int64_t offset, std::int64_t length) override {
        return Apply(F_SETLKW, LockType(), offset, length);
    }
    void Unlock(std::int64_t offset, std::int64_t length) override { Apply(F_SETLK, F_UNLCK, offset, length); }

private:
    short LockType() const { return readOnly_ ? short{F_RDLCK} : short{F_WRLCK}; }

    bool Apply(int command, short type, std::int64_t offset, std::int64_t length) {
        struct flock lock {};
        lock.l_type = type;
        lock.l_whence = SEEK_SET;
        lock.l_start = static_cast<off_t>(offset);
        lock.l_len = static_cast<off_t>(length);
        while (::fcntl(fd_, command, &lock) != 0) {
            if (errno != EINTR) return false;
        }
        return true;
    }

    int fd_;
    bool readOnly_;
};

}  // namespace

std::unique_ptr<EngineFile> OpenEngineFile(const std::string& nativePath, bool createNew,
                                           EngineFile::OpenResult& result) {
    // O_NONBLOCK: a FIFO or a device put in a record file's place must not
    // hold the open up; it is refused below, on the handle.
    int fd = createNew ? ::open(nativePath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NONBLOCK, 0666)
                       : ::open(nativePath.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    bool readOnly = false;
    if (fd < 0 && !createNew && (errno == EACCES || errno == EROFS)) {
        fd = ::open(nativePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        readOnly = true;
    }
    if (fd < 0) {
        if (errno == EEXIST) result = EngineFile::OpenResult::Exists;
        else if (errno == ENOENT || errno == ENOTDIR) result = EngineFile::OpenResult::NotFound;
        else result = EngineFile::OpenResult::Failed;
        return nullptr;
    }
    struct stat st {};
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        result = EngineFile::OpenResult::Failed;
        return nullptr;
    }
    result = EngineFile::OpenResult::Ok;
    return std::make_unique<PosixEngineFile>(fd, readOnly);
}

}  // namespace qp
