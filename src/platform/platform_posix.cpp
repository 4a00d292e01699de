#include "platform/platform.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qp {
namespace {

std::string ErrnoText(int err) { return std::strerror(err); }

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
                return Status::Fail(ErrnoText(errno));
            }
            done += static_cast<std::size_t>(put);
        }
        return Status::Ok();
    }
    Status Sync() override {
        if (::fsync(fd_) != 0) return Status::Fail(ErrnoText(errno));
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

}  // namespace

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

std::unique_ptr<File> SystemPlatform::Open(const std::string& path, OpenMode mode, std::string* reason) {
    std::string native = NativePath(path);
    int flags = O_CLOEXEC;
    switch (mode) {
        case OpenMode::ReadShared: flags |= O_RDONLY; break;
        case OpenMode::ReadWriteShared: flags |= O_RDWR | O_CREAT; break;
        case OpenMode::CreateExclusive: flags |= O_WRONLY | O_CREAT | O_EXCL; break;
    }
    int fd;
    do {
        fd = ::open(native.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (reason) *reason = ErrnoText(errno);
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        if (reason) *reason = ErrnoText(EISDIR);
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
    if (::rename(NativePath(from).c_str(), target.c_str()) != 0) return Status::Fail(ErrnoText(errno));
    // Make the rename itself durable.
    std::string dir = target.substr(0, target.find_last_of('/') == std::string::npos ? 0 : target.find_last_of('/'));
    int dfd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return Status::Ok();
}

std::string SystemPlatform::GetEnv(const std::string& name) {
    const char* v = std::getenv(name.c_str());
    return v ? std::string(v) : std::string();
}

Status SystemPlatform::SetCurrentDirectory(const std::string& path) {
    if (::chdir(NativePath(path).c_str()) != 0) return Status::Fail(ErrnoText(errno));
    return Status::Ok();
}

int SystemPlatform::RunCommand(const std::string& commandLine) {
    pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        ::execl("/bin/sh", "sh", "-c", commandLine.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int st = 0;
    while (::waitpid(pid, &st, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

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
