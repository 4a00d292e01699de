#include "screen/terminal_console.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstdint>
#include <exception>

#include "platform/file_rollback.h"

namespace qp {

namespace {

// Signal handlers and std::terminate reach nothing but globals: these hold only
// what is needed to give the terminal back, and exist while a console is open.
volatile sig_atomic_t gTerminalTaken = 0;
volatile sig_atomic_t gResized = 0;
// The write end of a pipe that a resize writes a byte to: a wait in poll(2)
// watches the read end, so a resize that comes just before the wait still
// ends it. -1 while no console is open.
volatile sig_atomic_t gWakeWrite = -1;
termios gSavedMode {};
std::terminate_handler gPreviousTerminate = nullptr;
constexpr int kRestoringSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
struct sigaction gPreviousActions[std::size(kRestoringSignals)] {};
struct sigaction gPreviousResize {};

// Alt+X and Alt+C must arrive as ESC x and ESC c, which the decoder knows as
// Alt+letter: xterm by default sends Alt+letter as an 8-bit character (x
// would type "ø"). Modes 1036 and 1039 (metaSendsEscape, altSendsEscape) ask
// for the ESC prefix; their old values are saved first (XTSAVE, CSI ? Pm s)
// and put back on the way out (XTRESTORE, CSI ? Pm r). Terminals that do not
// know them ignore both.
constexpr char kEnterScreen[] = "\x1b[?1036;1039s\x1b[?1036;1039h\x1b[?1049h\x1b[?7l\x1b[?25l\x1b[?2004h";
constexpr char kLeaveScreen[] =
    "\x1b[0m\x1b[?1000l\x1b[?1002l\x1b[?1006l\x1b[?2004l\x1b[?7h\x1b[0 q\x1b[?25h\x1b[?1049l\x1b[?1036;1039r";
constexpr char kMouseOn[] = "\x1b[?1006h\x1b[?1002h";
constexpr char kMouseOff[] = "\x1b[?1002l\x1b[?1006l";

// The pause after the terminal has gone away while SIGHUP is ignored, so
// that the program's key loop does not spin.
constexpr int kHangupPauseMilliseconds = 15;
constexpr int kMinimumRows = 25;
constexpr int kMinimumColumns = 80;

// Async-signal-safe: only write(2) and tcsetattr(3).
void RestoreTerminal() {
    if (!gTerminalTaken) return;
    gTerminalTaken = 0;
    ssize_t ignored = write(STDOUT_FILENO, kLeaveScreen, sizeof kLeaveScreen - 1);
    (void)ignored;
    tcsetattr(STDIN_FILENO, TCSANOW, &gSavedMode);
}

void OnFatalSignal(int signal) {
    int savedErrno = errno;
    RollBackFileOnSignal();
    RestoreTerminal();
    // The handler was reset to the default action on entry; the signal is
    // delivered again, and ends the process, once this handler returns.
    raise(signal);
    errno = savedErrno;
}

void OnResize(int) {
    int savedErrno = errno;
    gResized = 1;
    if (gWakeWrite >= 0) {
        ssize_t ignored = write(gWakeWrite, "", 1);  // a full pipe already wakes the wait
        (void)ignored;
    }
    errno = savedErrno;
}

// Makes the pipe; its read end, or -1.
int OpenWakePipe() {
    int ends[2];
    if (pipe(ends) != 0) return -1;
    for (int fd : ends) {
        fcntl(fd, F_SETFD, FD_CLOEXEC);
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    gWakeWrite = ends[1];
    return ends[0];
}

void CloseWakePipe(int readEnd) {
    int writeEnd = gWakeWrite;
    gWakeWrite = -1;
    if (writeEnd >= 0) close(writeEnd);
    if (readEnd >= 0) close(readEnd);
}

[[noreturn]] void OnTerminate() {
    RollBackFileOnSignal();
    RestoreTerminal();
    if (gPreviousTerminate) gPreviousTerminate();
    std::abort();
}

void RestoreAtExit() { RestoreTerminal(); }

void InstallHandlers() {
    struct sigaction fatal {};
    fatal.sa_handler = OnFatalSignal;
    sigemptyset(&fatal.sa_mask);
    fatal.sa_flags = SA_RESETHAND;
    for (std::size_t i = 0; i < std::size(kRestoringSignals); ++i)
        sigaction(kRestoringSignals[i], &fatal, &gPreviousActions[i]);
    struct sigaction resize {};
    resize.sa_handler = OnResize;
    sigemptyset(&resize.sa_mask);
    resize.sa_flags = SA_RESTART;
    sigaction(SIGWINCH, &resize, &gPreviousResize);
    gPreviousTerminate = std::set_terminate(OnTerminate);
    static const bool registered = std::atexit(RestoreAtExit) == 0;
    (void)registered;
}

void RemoveHandlers() {
    for (std::size_t i = 0; i < std::size(kRestoringSignals); ++i)
        sigaction(kRestoringSignals[i], &gPreviousActions[i], nullptr);
    sigaction(SIGWINCH, &gPreviousResize, nullptr);
    std::set_terminate(gPreviousTerminate);
}

termios RawMode(termios mode) {
    mode.c_iflag &= ~static_cast<tcflag_t>(BRKINT | ICRNL | INLCR | IGNCR | INPCK | ISTRIP | IXON);
    mode.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    mode.c_cflag |= CS8;
    // No ISIG: Ctrl+C and Ctrl+Z are keys for the program, as on a Windows console.
    mode.c_lflag &= ~static_cast<tcflag_t>(ECHO | ICANON | IEXTEN | ISIG);
    mode.c_cc[VMIN] = 0;
    mode.c_cc[VTIME] = 0;
    return mode;
}

}  // namespace

std::unique_ptr<TerminalConsole> TerminalConsole::Open(std::string& reason) {
    if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) {
        reason = "standard input and output must be a terminal";
        return nullptr;
    }
    if (gTerminalTaken) {
        reason = "the terminal is already in use by another console";
        return nullptr;
    }
    termios saved {};
    if (tcgetattr(STDIN_FILENO, &saved) != 0) {
        reason = "cannot read the terminal's settings";
        return nullptr;
    }
    gSavedMode = saved;
    int wakeRead = OpenWakePipe();
    if (wakeRead < 0) {
        reason = "cannot make a pipe to wait for input";
        return nullptr;
    }
    InstallHandlers();
    gTerminalTaken = 1;
    termios raw = RawMode(saved);
    if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) != 0) {
        gTerminalTaken = 0;
        RemoveHandlers();
        CloseWakePipe(wakeRead);
        reason = "cannot put the terminal into raw mode";
        return nullptr;
    }
    std::unique_ptr<TerminalConsole> console(new TerminalConsole());
    console->wakeRead_ = wakeRead;
    console->WriteAll(std::string(kEnterScreen, sizeof kEnterScreen - 1));
    console->FollowTerminalSize();
    console->lastInput_ = std::chrono::steady_clock::now();
    return console;
}

TerminalConsole::~TerminalConsole() {
    Flush();
    RestoreTerminal();
    RemoveHandlers();
    CloseWakePipe(wakeRead_);
}

void TerminalConsole::FollowTerminalSize() {
    gResized = 0;
    winsize size {};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_row > 0 && size.ws_col > 0) {
        visibleRows_ = size.ws_row;
        visibleColumns_ = size.ws_col;
    }
    ResizeBuffer(std::max(visibleRows_, kMinimumRows), std::max(visibleColumns_, kMinimumColumns));
    renderer_.Invalidate();
    dirty_ = true;
}

void TerminalConsole::ResizeBuffer(int rows, int columns) {
    if (!cells_.empty() && rows == bufferRows_ && columns == bufferColumns_) return;
    std::vector<Cell> resized(static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns));
    if (!cells_.empty()) {
        for (int r = 1; r <= std::min(rows, bufferRows_); ++r)
            for (int c = 1; c <= std::min(columns, bufferColumns_); ++c)
                resized[static_cast<std::size_t>((r - 1) * columns + (c - 1))] = At(r, c);
    }
    cells_ = std::move(resized);
    bufferRows_ = rows;
    bufferColumns_ = columns;
}

// A terminal smaller than 80 x 25 shows part of an 80 x 25 console, and says
// so: the program draws its whole screen, and all of it is there as soon as
// the terminal is large enough.
int TerminalConsole::Rows() {
    if (gResized) FollowTerminalSize();
    return std::max(visibleRows_, kMinimumRows);
}

int TerminalConsole::Columns() {
    if (gResized) FollowTerminalSize();
    return std::max(visibleColumns_, kMinimumColumns);
}

// What the operator sees of it: a pop-up must fit here to be of use.
int TerminalConsole::VisibleRows() {
    if (gResized) FollowTerminalSize();
    return visibleRows_;
}

int TerminalConsole::VisibleColumns() {
    if (gResized) FollowTerminalSize();
    return visibleColumns_;
}

int TerminalConsole::BufferRows() {
    if (gResized) FollowTerminalSize();
    return bufferRows_;
}

int TerminalConsole::BufferColumns() {
    if (gResized) FollowTerminalSize();
    return bufferColumns_;
}

bool TerminalConsole::Inside(int row, int column) const {
    return row >= 1 && row <= bufferRows_ && column >= 1 && column <= bufferColumns_;
}

Cell& TerminalConsole::At(int row, int column) {
    return cells_[static_cast<std::size_t>((row - 1) * bufferColumns_ + (column - 1))];
}

void TerminalConsole::SetCursor(int row, int column) {
    cursorRow_ = row;
    cursorColumn_ = column;
    dirty_ = true;
}

void TerminalConsole::SetCursorSize(int percent) {
    cursorSize_ = percent;
    dirty_ = true;
}

Cell TerminalConsole::ReadCell(int row, int column) { return Inside(row, column) ? At(row, column) : Cell {}; }

void TerminalConsole::WriteCells(int row, int column, const Cell* cells, int count) {
    for (int i = 0; i < count; ++i)
        if (Inside(row, column + i)) At(row, column + i) = cells[i];
    dirty_ = true;
}

void TerminalConsole::Scroll(int top, int left, int bottom, int right, int lines, Cell fill) {
    top = std::max(top, 1);
    left = std::max(left, 1);
    bottom = std::min(bottom, bufferRows_);
    right = std::min(right, bufferColumns_);
    if (top > bottom || left > right || lines == 0) return;
    int height = bottom - top + 1;
    int width = right - left + 1;
    std::vector<Cell> saved;
    saved.reserve(static_cast<std::size_t>(height) * static_cast<std::size_t>(width));
    for (int r = top; r <= bottom; ++r)
        for (int c = left; c <= right; ++c) saved.push_back(At(r, c));
    for (int r = top; r <= bottom; ++r) {
        int from = r - top + lines;  // source row within the rectangle
        for (int c = left; c <= right; ++c)
            At(r, c) = (from >= 0 && from < height) ? saved[static_cast<std::size_t>(from * width + (c - left))] : fill;
    }
    dirty_ = true;
}

void TerminalConsole::SetClipboard(const std::string& text) {
    clipboard_ = text;
    pending_ += ClipboardSequence(text);
}

void TerminalConsole::Flush() {
    if (gResized) FollowTerminalSize();
    std::string out = std::move(pending_);
    pending_.clear();
    if (mouseWanted_ != mouseShown_) {
        out += mouseWanted_ ? kMouseOn : kMouseOff;
        mouseShown_ = mouseWanted_;
    }
    if (dirty_) {
        TerminalFrame frame {bufferRows_, bufferColumns_, &cells_, cursorRow_, cursorColumn_, cursorSize_};
        std::vector<Cell> notice;
        if (sizeNotice_ && (visibleRows_ < kMinimumRows || visibleColumns_ < kMinimumColumns)) {
            notice = NoticeLine(sizeNotice_(visibleRows_, visibleColumns_), visibleColumns_);
            frame.notice = &notice;
        }
        out += renderer_.Render(frame, visibleRows_, visibleColumns_);
        dirty_ = false;
    }
    if (!out.empty()) WriteAll(out);
}

void TerminalConsole::SetSizeNotice(std::function<std::string(int rows, int columns)> notice) {
    sizeNotice_ = std::move(notice);
    dirty_ = true;
}

void TerminalConsole::WriteAll(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd out {STDOUT_FILENO, POLLOUT, 0};
            poll(&out, 1, 100);
        } else if (!(n < 0 && errno == EINTR)) {
            return;  // the terminal is gone; nothing more can be shown
        }
    }
}

bool TerminalConsole::PollEvent(InputEvent& event) {
    Flush();
    if (TakeEvent(event)) return true;
    ReadInput();
    return TakeEvent(event);
}

int TerminalConsole::LoneEscMillisecondsLeft() const {
    if (!decoder_.HasIncompleteInput()) return -1;
    auto since = std::chrono::steady_clock::now() - lastInput_;
    auto left = std::chrono::milliseconds(TerminalDecoder::kLoneEscMilliseconds) - since;
    // Rounded up: waking a little early would only wait once more.
    return static_cast<int>(std::max<std::int64_t>(0, std::chrono::ceil<std::chrono::milliseconds>(left).count()));
}

void TerminalConsole::WaitForInput() {
    // A resize not yet followed is for the caller's next poll to show.
    if (gResized) return;
    Flush();
    if (decoder_.HasEvents()) return;
    pollfd watched[2] = {{STDIN_FILENO, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
    int ready = poll(watched, 2, LoneEscMillisecondsLeft());
    if (ready > 0 && (watched[1].revents & POLLIN)) {
        char bytes[64];
        while (read(wakeRead_, bytes, sizeof bytes) > 0) {
        }
    }
}

void TerminalConsole::ReadInput() {
    pollfd in {STDIN_FILENO, POLLIN, 0};
    int ready = poll(&in, 1, 0);
    auto now = std::chrono::steady_clock::now();
    if (ready > 0) {
        char bytes[4096];
        ssize_t n = read(STDIN_FILENO, bytes, sizeof bytes);
        if (n > 0) {
            decoder_.Feed(std::string_view(bytes, static_cast<std::size_t>(n)));
            lastInput_ = now;
            return;
        }
        if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            // The terminal has gone away: end as a hangup would.
            RestoreTerminal();
            raise(SIGHUP);
            poll(nullptr, 0, kHangupPauseMilliseconds);  // SIGHUP ignored: at least do not spin
            return;
        }
    }
    if (decoder_.HasIncompleteInput())
        decoder_.TimePassed(static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(now - lastInput_).count()));
}

bool TerminalConsole::TakeEvent(InputEvent& event) {
    DecodedEvent decoded;
    while (decoder_.Next(decoded)) {
        // Reports still in flight after reporting was switched off are not for us.
        if (decoded.event.kind == InputEvent::Kind::Mouse && !mouseWanted_) continue;
        if (decoded.paste) clipboard_ = decoded.pasted;
        event = decoded.event;
        return true;
    }
    return false;
}

void TerminalConsole::FlushInput() {
    for (;;) {
        pollfd in {STDIN_FILENO, POLLIN, 0};
        if (poll(&in, 1, 0) <= 0) break;
        char bytes[4096];
        ssize_t n = read(STDIN_FILENO, bytes, sizeof bytes);
        if (n <= 0) break;
        decoder_.Feed(std::string_view(bytes, static_cast<std::size_t>(n)));
        lastInput_ = std::chrono::steady_clock::now();
    }
    decoder_.DropDecoded();
}

}  // namespace qp
