// The program under measurement in a pseudo-terminal, and a small model of the
// screen it draws there: enough of an xterm (cursor moves, printed text) to
// tell when a screen is complete; colours and modes are skipped.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace qp::bench {

class ScreenModel {
public:
    ScreenModel(int rows, int columns);
    void Feed(std::string_view bytes);
    // Row r (1-based) as UTF-8 text.
    std::string Row(int r) const;
    bool Shows(std::string_view text) const;

private:
    enum class State { Text, Escape, Csi, Osc, OscEscape };
    void Print(const std::string& utf8Char);
    void Control(char c);
    void EndCsi(char final);

    int rows_;
    int columns_;
    std::vector<std::string> cells_;  // one UTF-8 character each
    int row_ = 1;
    int column_ = 1;
    State state_ = State::Text;
    std::string params_;
    std::string partial_;  // an incomplete UTF-8 character
    std::size_t partialWanted_ = 0;
};

class PtyProgram {
public:
    using Clock = std::chrono::steady_clock;

    PtyProgram() = default;
    ~PtyProgram();
    PtyProgram(const PtyProgram&) = delete;
    PtyProgram& operator=(const PtyProgram&) = delete;

    // Starts `binary` on a terminal of rows x columns with `environment`
    // ("NAME=value") added to this process's. False and a reason on failure.
    bool Start(const std::string& binary, const std::vector<std::string>& environment, int rows, int columns,
               std::string& reason);
    // Reads what the program writes into the screen model until `done`
    // holds or the deadline passes; true when it held.
    template <typename Done>
    bool ReadUntil(Done done, Clock::time_point deadline) {
        while (!done(screen_)) {
            if (Clock::now() >= deadline || !ReadSome(Remaining(deadline))) return done(screen_);
        }
        return true;
    }
    // Reads until nothing has come for `quiet`; returns the bytes read.
    std::size_t ReadUntilQuiet(std::chrono::milliseconds quiet);
    bool Type(std::string_view bytes);
    // Ends the program with SIGTERM and waits for it.
    void Stop();
    const ScreenModel& Screen() const { return screen_; }
    // Every byte the program has written so far.
    std::size_t BytesRead() const { return bytesRead_; }
    // The times the program has been woken so far (voluntary and involuntary
    // context switches, from /proc), or -1 when they cannot be read.
    long ContextSwitches() const;
    // The program's peak resident memory so far (VmHWM, kilobytes), or -1.
    long PeakResidentKb() const;

private:
    static int Remaining(Clock::time_point deadline);
    // The sum of the numbers after `names` in /proc/<pid>/status, or -1
    // when one is missing.
    long StatusSum(std::initializer_list<std::string_view> names) const;
    // Waits up to `milliseconds` for output; false when the program is gone.
    bool ReadSome(int milliseconds, std::size_t* count = nullptr);

    int master_ = -1;
    pid_t child_ = -1;
    ScreenModel screen_ {25, 80};
    std::size_t bytesRead_ = 0;
};

}  // namespace qp::bench
