#include "child_process.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <memory>

extern char** environ;

namespace qp::bench {

namespace {

using Clock = std::chrono::steady_clock;

std::int64_t MicrosSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
}

// argv or envp for execve, built before the fork: the child may only make
// async-signal-safe calls until its exec.
class CStrings {
public:
    explicit CStrings(const std::vector<std::string>& strings) : strings_(strings) {
        for (std::string& s : strings_) pointers_.push_back(s.data());
        pointers_.push_back(nullptr);
    }
    CStrings(const CStrings&) = delete;
    CStrings& operator=(const CStrings&) = delete;
    char* const* get() const { return pointers_.data(); }

private:
    std::vector<std::string> strings_;
    std::vector<char*> pointers_;
};

// In the child: input from /dev/null, output and errors into `output`; with a
// gate, waits until the parent closes it, then becomes the program.
[[noreturn]] void BecomeChild(const CStrings& argv, const CStrings& envp, int output, int gateRead, int gateWrite) {
    int input = ::open("/dev/null", O_RDONLY);
    if (input >= 0) ::dup2(input, STDIN_FILENO);
    ::dup2(output, STDOUT_FILENO);
    ::dup2(output, STDERR_FILENO);
    if (gateRead >= 0) {
        ::close(gateWrite);  // else the gate never reads as closed
        char ignored = 0;
        while (::read(gateRead, &ignored, 1) < 0 && errno == EINTR) {
        }
    }
    ::execve(argv.get()[0], argv.get(), envp.get());
    ::_exit(127);
}

std::string ReadToEnd(int fd) {
    std::string text;
    char buffer[4096];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            text.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            return text;
        }
    }
}

bool Reap(pid_t pid, ChildRun& run) {
    int status = 0;
    rusage usage {};
    while (::wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR) return false;
    }
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.peakResidentKb = usage.ru_maxrss;
    return true;
}

std::string ErrnoText(const std::string& what) { return what + " failed (errno " + std::to_string(errno) + ")"; }

}  // namespace

std::vector<std::string> EnvironmentWith(const std::vector<std::string>& overrides) {
    auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
    std::vector<std::string> entries;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        bool replaced = false;
        for (const std::string& o : overrides) replaced = replaced || nameOf(o) == nameOf(entry);
        if (!replaced) entries.push_back(entry);
    }
    entries.insert(entries.end(), overrides.begin(), overrides.end());
    return entries;
}

std::optional<ChildRun> RunChild(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                                 std::string& reason) {
    CStrings args(argv);
    CStrings envp(environment);
    int output[2];
    if (::pipe2(output, O_CLOEXEC) != 0) {
        reason = ErrnoText("pipe");
        return std::nullopt;
    }
    ChildRun run;
    Clock::time_point start = Clock::now();
    pid_t pid = ::fork();
    if (pid == 0) BecomeChild(args, envp, output[1], -1, -1);
    ::close(output[1]);
    if (pid < 0) {
        reason = ErrnoText("fork");
        ::close(output[0]);
        return std::nullopt;
    }
    run.output = ReadToEnd(output[0]);
    ::close(output[0]);
    if (!Reap(pid, run)) {
        reason = ErrnoText("wait4");
        return std::nullopt;
    }
    run.micros = MicrosSince(start);
    return run;
}

std::optional<std::vector<ChildRun>> RunTogether(const std::vector<std::vector<std::string>>& commands,
                                                 const std::vector<std::string>& environment,
                                                 std::int64_t& elapsedMicros, std::string& reason) {
    CStrings envp(environment);
    std::vector<std::unique_ptr<CStrings>> args;
    for (const std::vector<std::string>& command : commands) args.push_back(std::make_unique<CStrings>(command));
    int gate[2];
    if (::pipe2(gate, O_CLOEXEC) != 0) {
        reason = ErrnoText("pipe");
        return std::nullopt;
    }
    std::vector<pid_t> pids;
    std::vector<int> outputs;
    for (const std::unique_ptr<CStrings>& command : args) {
        int output[2];
        if (::pipe2(output, O_CLOEXEC) != 0) {
            reason = ErrnoText("pipe");
            break;
        }
        pid_t pid = ::fork();
        if (pid == 0) BecomeChild(*command, envp, output[1], gate[0], gate[1]);
        ::close(output[1]);
        if (pid < 0) {
            reason = ErrnoText("fork");
            ::close(output[0]);
            break;
        }
        pids.push_back(pid);
        outputs.push_back(output[0]);
    }
    Clock::time_point released = Clock::now();
    ::close(gate[1]);
    ::close(gate[0]);
    std::vector<ChildRun> runs(pids.size());
    for (std::size_t i = 0; i < pids.size(); ++i) {
        runs[i].output = ReadToEnd(outputs[i]);
        ::close(outputs[i]);
    }
    bool reaped = true;
    for (std::size_t i = 0; i < pids.size(); ++i) {
        reaped = Reap(pids[i], runs[i]) && reaped;
        runs[i].micros = MicrosSince(released);
    }
    elapsedMicros = MicrosSince(released);
    if (!reaped && reason.empty()) reason = ErrnoText("wait4");
    if (pids.size() < commands.size() || !reaped) return std::nullopt;
    return runs;
}

}  // namespace qp::bench
