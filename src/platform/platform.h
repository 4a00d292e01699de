// Operating-system services other than the console: files, environment,
// current directory, commands, time. Every module that touches the system
// does it through a Platform reference, so that tests can substitute a
// platform that fails on purpose.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace qp {

// Outcome of an operation that the caller must be able to report.
struct Status {
    bool ok = true;
    std::string reason;  // the system's words when !ok

    static Status Ok() { return {}; }
    static Status Fail(std::string why) { return {false, std::move(why)}; }
    explicit operator bool() const { return ok; }
};

enum class OpenMode {
    ReadShared,       // read; others may read and write meanwhile
    ReadWriteShared,  // read and write, shared; created empty when missing
    CreateExclusive,  // a new empty file for writing; fails when it exists
};

// An open file. Positions are 0-based byte offsets.
class File {
public:
    virtual ~File() = default;
    virtual std::int64_t Size() = 0;  // -1 when unknown
    // Reads up to n bytes at pos; returns the count read (0 at the end), -1 on error.
    virtual std::int64_t ReadAt(std::int64_t pos, void* buffer, std::size_t n) = 0;
    virtual Status WriteAt(std::int64_t pos, const void* data, std::size_t n) = 0;
    // Pushes what was written down to the disk.
    virtual Status Sync() = 0;
};

class Platform {
public:
    virtual ~Platform() = default;

    // Files. Paths are given as the program builds them (backslashes, any case);
    // the platform maps them to the real file.
    virtual std::unique_ptr<File> Open(const std::string& path, OpenMode mode, std::string* reason = nullptr) = 0;
    virtual bool Exists(const std::string& path) = 0;
    virtual Status Remove(const std::string& path) = 0;
    // Puts `from` in the place of `to` in one step: `to` is always either the
    // old or the new file, never missing.
    virtual Status Replace(const std::string& from, const std::string& to) = 0;

    // Environment and process.
    virtual std::string GetEnv(const std::string& name) = 0;  // empty when unset
    virtual Status SetCurrentDirectory(const std::string& path) = 0;
    // Runs a command line and waits for its end; returns its exit code, -1 when it could not start.
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
    Status Remove(const std::string& path) override;
    Status Replace(const std::string& from, const std::string& to) override;
    std::string GetEnv(const std::string& name) override;
    Status SetCurrentDirectory(const std::string& path) override;
    int RunCommand(const std::string& commandLine) override;
    bool IsWindowsHost() const override;
    std::int64_t HundredthsSinceMidnight() override;
    void SleepMilliseconds(int ms) override;
};

// Whole-file helpers over a Platform.
std::optional<std::string> ReadWholeFile(Platform& platform, const std::string& path);
Status WriteWholeFile(Platform& platform, const std::string& path, const std::string& bytes);

// Maps a program path to the file system's: on POSIX "\" becomes "/" and,
// when a component does not exist as written, it is looked up without regard
// to (ASCII) case. Unchanged on Windows.
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
