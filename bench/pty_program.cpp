#include "pty_program.h"

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>

namespace qp::bench {

namespace {

std::size_t Utf8Length(unsigned char lead) {
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 1;
}

// The numbers of a CSI sequence ("12;40" -> 12, 40); a missing one is 0.
std::vector<int> Numbers(const std::string& params) {
    std::vector<int> out(1, 0);
    for (char c : params) {
        if (c == ';') {
            out.push_back(0);
        } else if (c >= '0' && c <= '9') {
            out.back() = out.back() * 10 + (c - '0');
        }
    }
    return out;
}

}  // namespace

ScreenModel::ScreenModel(int rows, int columns)
    : rows_(rows), columns_(columns), cells_(static_cast<std::size_t>(rows * columns), " ") {}

void ScreenModel::Feed(std::string_view bytes) {
    for (char c : bytes) {
        unsigned char b = static_cast<unsigned char>(c);
        switch (state_) {
        case State::Text:
            if (partialWanted_ > 0) {
                partial_ += c;
                if (partial_.size() == partialWanted_) {
                    Print(partial_);
                    partial_.clear();
                    partialWanted_ = 0;
                }
            } else if (b == 0x1B) {
                state_ = State::Escape;
            } else if (b < 0x20 || b == 0x7F) {
                Control(c);
            } else if (Utf8Length(b) > 1) {
                partial_.assign(1, c);
                partialWanted_ = Utf8Length(b);
            } else {
                Print(std::string(1, c));
            }
            break;
        case State::Escape:
            params_.clear();
            state_ = c == '[' ? State::Csi : c == ']' ? State::Osc : State::Text;
            break;
        case State::Csi:
            if (b >= 0x40 && b <= 0x7E) {
                EndCsi(c);
                state_ = State::Text;
            } else {
                params_ += c;
            }
            break;
        case State::Osc:
            if (b == 0x07) state_ = State::Text;
            if (b == 0x1B) state_ = State::OscEscape;
            break;
        case State::OscEscape:
            state_ = c == '\\' ? State::Text : State::Osc;
            break;
        }
    }
}

void ScreenModel::Print(const std::string& utf8Char) {
    if (row_ >= 1 && row_ <= rows_ && column_ >= 1 && column_ <= columns_)
        cells_[static_cast<std::size_t>((row_ - 1) * columns_ + (column_ - 1))] = utf8Char;
    // The program draws with automatic wrapping off: the last column is overwritten.
    column_ = std::min(column_ + 1, columns_);
}

void ScreenModel::Control(char c) {
    if (c == '\r') column_ = 1;
    if (c == '\n') row_ = std::min(row_ + 1, rows_);
    if (c == '\b') column_ = std::max(column_ - 1, 1);
}

void ScreenModel::EndCsi(char final) {
    if (!params_.empty() && (params_[0] == '?' || params_[0] == '>')) return;  // modes
    std::vector<int> n = Numbers(params_);
    int first = std::max(n[0], 1);
    switch (final) {
    case 'H':
    case 'f':
        row_ = std::clamp(first, 1, rows_);
        column_ = std::clamp(n.size() > 1 ? std::max(n[1], 1) : 1, 1, columns_);
        break;
    case 'A': row_ = std::max(row_ - first, 1); break;
    case 'B': row_ = std::min(row_ + first, rows_); break;
    case 'C': column_ = std::min(column_ + first, columns_); break;
    case 'D': column_ = std::max(column_ - first, 1); break;
    case 'G': column_ = std::clamp(first, 1, columns_); break;
    case 'J':
        if (n[0] == 2) std::fill(cells_.begin(), cells_.end(), " ");
        break;
    default: break;  // colours, cursor shape
    }
}

std::string ScreenModel::Row(int r) const {
    std::string out;
    if (r < 1 || r > rows_) return out;
    for (int c = 1; c <= columns_; ++c) out += cells_[static_cast<std::size_t>((r - 1) * columns_ + (c - 1))];
    return out;
}

bool ScreenModel::Shows(std::string_view text) const {
    for (int r = 1; r <= rows_; ++r)
        if (Row(r).find(text) != std::string::npos) return true;
    return false;
}

PtyProgram::~PtyProgram() { Stop(); }

bool PtyProgram::Start(const std::string& binary, const std::vector<std::string>& environment, int rows, int columns,
                       std::string& reason) {
    screen_ = ScreenModel(rows, columns);
    winsize size {};
    size.ws_row = static_cast<unsigned short>(rows);
    size.ws_col = static_cast<unsigned short>(columns);
    pid_t pid = forkpty(&master_, nullptr, nullptr, &size);
    if (pid < 0) {
        reason = "forkpty failed";
        return false;
    }
    if (pid == 0) {
        for (const std::string& entry : environment) putenv(const_cast<char*>(entry.c_str()));
        execl(binary.c_str(), binary.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    child_ = pid;
    return true;
}

int PtyProgram::Remaining(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::max<long long>(left, 0));
}

bool PtyProgram::ReadSome(int milliseconds, std::size_t* count) {
    if (count) *count = 0;
    pollfd in {master_, POLLIN, 0};
    int ready = poll(&in, 1, milliseconds);
    if (ready < 0) return errno == EINTR;
    if (ready == 0) return true;
    char bytes[8192];
    ssize_t n = read(master_, bytes, sizeof bytes);
    if (n <= 0) return n < 0 && (errno == EINTR || errno == EAGAIN);  // EIO: the program has ended
    screen_.Feed(std::string_view(bytes, static_cast<std::size_t>(n)));
    bytesRead_ += static_cast<std::size_t>(n);
    if (count) *count = static_cast<std::size_t>(n);
    return true;
}

std::size_t PtyProgram::ReadUntilQuiet(std::chrono::milliseconds quiet) {
    std::size_t total = 0;
    for (;;) {
        std::size_t n = 0;
        if (!ReadSome(static_cast<int>(quiet.count()), &n) || n == 0) return total;
        total += n;
    }
}

bool PtyProgram::Type(std::string_view bytes) {
    return write(master_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

long PtyProgram::StatusSum(std::initializer_list<std::string_view> names) const {
    if (child_ <= 0) return -1;
    std::ifstream status("/proc/" + std::to_string(child_) + "/status");
    long total = 0;
    std::size_t found = 0;
    for (std::string line; std::getline(status, line);) {
        for (std::string_view key : names) {
            if (line.compare(0, key.size(), key) == 0) {
                total += std::strtol(line.c_str() + key.size(), nullptr, 10);
                ++found;
            }
        }
    }
    return found == names.size() ? total : -1;
}

long PtyProgram::ContextSwitches() const {
    return StatusSum({"voluntary_ctxt_switches:", "nonvoluntary_ctxt_switches:"});
}

long PtyProgram::PeakResidentKb() const { return StatusSum({"VmHWM:"}); }

void PtyProgram::Stop() {
    if (child_ > 0) {
        kill(child_, SIGTERM);
        // The program answers SIGTERM by giving the terminal back; drain that
        // so that it never blocks on a full terminal.
        bool ended = false;
        for (int i = 0; i < 200 && !ended; ++i) {
            int status = 0;
            ended = waitpid(child_, &status, WNOHANG) == child_;
            std::size_t ignored = 0;
            if (!ended && !ReadSome(10, &ignored)) poll(nullptr, 0, 10);
        }
        if (!ended) {
            kill(child_, SIGKILL);
            int status = 0;
            waitpid(child_, &status, 0);
        }
        child_ = -1;
    }
    if (master_ >= 0) {
        close(master_);
        master_ = -1;
    }
}

}  // namespace qp::bench
