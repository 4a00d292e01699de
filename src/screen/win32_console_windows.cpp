#include "screen/win32_console.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <vector>

#include "platform/file_rollback.h"
#include "text/cp850.h"

namespace qp {

struct Win32Console::Handles {
    HANDLE in = INVALID_HANDLE_VALUE;
    HANDLE out = INVALID_HANDLE_VALUE;
};

namespace {

// Input mode while the program runs: keys arrive raw (Ctrl+C is a key of the
// field editor), quick-edit is off so that clicks reach the program, and size
// changes are reported so that the window's origin can follow.
constexpr DWORD kBaseInputMode = ENABLE_EXTENDED_FLAGS | ENABLE_WINDOW_INPUT;

// How long an Ins press that we injected is waited for before it is taken
// for one the operator made.
constexpr std::uint64_t kEchoWaitMilliseconds = 500;

// What every way out gives back. The console belongs to the whole process, and
// the system's callbacks (control handler, terminate handler, crash filter)
// carry no context, so this one record is shared by them; it is never freed.
struct RestorePoint {
    CRITICAL_SECTION lock;  // held while the mode or the cursor is changed
    bool taken = false;     // a console is taken and not yet given back
    HANDLE in = INVALID_HANDLE_VALUE;
    HANDLE out = INVALID_HANDLE_VALUE;
    DWORD inMode = 0;
    DWORD outMode = 0;
    CONSOLE_CURSOR_INFO cursor {};
    WORD attributes = 0x07;
    std::terminate_handler previousTerminate = nullptr;
    LPTOP_LEVEL_EXCEPTION_FILTER previousFilter = nullptr;
};

RestorePoint& Point() {
    static RestorePoint* point = [] {
        auto* p = new RestorePoint;
        InitializeCriticalSection(&p->lock);
        return p;
    }();
    return *point;
}

class Locked {
public:
    Locked() { EnterCriticalSection(&Point().lock); }
    ~Locked() { LeaveCriticalSection(&Point().lock); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
};

// Puts the console back as it was found. When the process is ending (forGood)
// the lock is kept, so that the program, still running meanwhile on its own
// thread, cannot hide the cursor or change the mode again.
void GiveBack(bool forGood) {
    RestorePoint& p = Point();
    EnterCriticalSection(&p.lock);
    if (p.taken) {
        p.taken = false;
        SetConsoleMode(p.in, p.inMode);
        SetConsoleMode(p.out, p.outMode);
        SetConsoleCursorInfo(p.out, &p.cursor);
        SetConsoleTextAttribute(p.out, p.attributes);
    }
    if (!forGood) LeaveCriticalSection(&p.lock);
}

// Ctrl+C, Ctrl+Break, the window closed, logoff, shutdown: the default
// handler that runs next ends the process.
BOOL WINAPI OnConsoleControl(DWORD) {
    RollBackFileOnSignal();
    GiveBack(true);
    return FALSE;
}

void OnTerminate() {
    RollBackFileOnSignal();
    GiveBack(true);
    std::terminate_handler previous = Point().previousTerminate;
    if (previous) previous();
    std::abort();
}

LONG WINAPI OnCrash(EXCEPTION_POINTERS* info) {
    GiveBack(true);
    LPTOP_LEVEL_EXCEPTION_FILTER previous = Point().previousFilter;
    return previous ? previous(info) : EXCEPTION_CONTINUE_SEARCH;
}

void GiveBackAtExit() { GiveBack(false); }

// Clipboard text is text, not screen cells: control characters (line breaks,
// tabs) stay control characters both ways instead of becoming PC glyphs.
std::u16string ClipboardFromCp850(const std::string& text) {
    std::u16string out;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const char32_t u = byte < 0x20 ? byte : Cp850ToUnicode(byte);
        out.push_back(u < 0x10000 ? static_cast<char16_t>(u) : u'?');
    }
    return out;
}

std::string Cp850FromClipboard(const wchar_t* text) {
    std::string out;
    for (const wchar_t* p = text; *p; ++p) {
        const auto u = static_cast<char32_t>(*p);
        out.push_back(static_cast<char>(u < 0x20 ? static_cast<unsigned char>(u) : UnicodeToCp850(u)));
    }
    return out;
}

bool SystemInsertToggle() { return (GetKeyState(VK_INSERT) & 1) != 0; }

// Another program may hold the clipboard for a moment.
bool OpenClipboardSoon() {
    HWND owner = GetConsoleWindow();
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (OpenClipboard(owner)) return true;
        Sleep(10);
    }
    return false;
}

}  // namespace

std::unique_ptr<Win32Console> Win32Console::Open(std::string& reason) {
    auto h = std::make_unique<Handles>();
    h->in = GetStdHandle(STD_INPUT_HANDLE);
    h->out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD inMode = 0;
    CONSOLE_SCREEN_BUFFER_INFO info {};
    if (!GetConsoleMode(h->in, &inMode) || !GetConsoleScreenBufferInfo(h->out, &info)) {
        reason = "no console";
        return nullptr;
    }
    {
        Locked locked;
        RestorePoint& p = Point();
        p.in = h->in;
        p.out = h->out;
        p.inMode = inMode;
        GetConsoleMode(h->out, &p.outMode);
        GetConsoleCursorInfo(h->out, &p.cursor);
        p.attributes = info.wAttributes;
        p.taken = true;
        SetConsoleMode(h->in, kBaseInputMode);
    }
    return std::unique_ptr<Win32Console>(new Win32Console(std::move(h)));
}

Win32Console::Win32Console(std::unique_ptr<Handles> handles) : h_(std::move(handles)) {
    RestorePoint& p = Point();
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    p.previousTerminate = std::set_terminate(OnTerminate);
    p.previousFilter = SetUnhandledExceptionFilter(OnCrash);
    static const bool registered = std::atexit(GiveBackAtExit) == 0;
    (void)registered;
    RefreshOrigin();
    insert_ = systemInsert_ = SystemInsertToggle();
}

Win32Console::~Win32Console() {
    GiveBack(false);
    RestorePoint& p = Point();
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    std::set_terminate(p.previousTerminate);
    SetUnhandledExceptionFilter(p.previousFilter);
}

void Win32Console::RefreshOrigin() {
    CONSOLE_SCREEN_BUFFER_INFO info {};
    if (GetConsoleScreenBufferInfo(h_->out, &info)) {
        originRow_ = info.srWindow.Top;
        originColumn_ = info.srWindow.Left;
    }
}

int Win32Console::Rows() {
    CONSOLE_SCREEN_BUFFER_INFO info {};
    if (!GetConsoleScreenBufferInfo(h_->out, &info)) return 25;
    return info.srWindow.Bottom - info.srWindow.Top + 1;
}

int Win32Console::Columns() {
    CONSOLE_SCREEN_BUFFER_INFO info {};
    if (!GetConsoleScreenBufferInfo(h_->out, &info)) return 80;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

int Win32Console::BufferRows() {
    CONSOLE_SCREEN_BUFFER_INFO info {};
    if (!GetConsoleScreenBufferInfo(h_->out, &info)) return 25;
    return info.dwSize.Y - originRow_;
}

int Win32Console::BufferColumns() {
    CONSOLE_SCREEN_BUFFER_INFO info {};
    if (!GetConsoleScreenBufferInfo(h_->out, &info)) return 80;
    return info.dwSize.X - originColumn_;
}

void Win32Console::SetCursor(int row, int column) {
    COORD at {static_cast<SHORT>(originColumn_ + column - 1), static_cast<SHORT>(originRow_ + row - 1)};
    SetConsoleCursorPosition(h_->out, at);
}

int Win32Console::CursorRow() {
    CONSOLE_SCREEN_BUFFER_INFO info {};
    GetConsoleScreenBufferInfo(h_->out, &info);
    return info.dwCursorPosition.Y - originRow_ + 1;
}

int Win32Console::CursorColumn() {
    CONSOLE_SCREEN_BUFFER_INFO info {};
    GetConsoleScreenBufferInfo(h_->out, &info);
    return info.dwCursorPosition.X - originColumn_ + 1;
}

void Win32Console::SetCursorSize(int percent) {
    cursorSize_ = percent;
    CONSOLE_CURSOR_INFO ci {};
    ci.bVisible = percent > 0;
    ci.dwSize = static_cast<DWORD>(std::clamp(percent, 1, 100));
    Locked locked;
    if (Point().taken) SetConsoleCursorInfo(h_->out, &ci);
}

Cell Win32Console::ReadCell(int row, int column) {
    CHAR_INFO ci {};
    SMALL_RECT r {static_cast<SHORT>(originColumn_ + column - 1), static_cast<SHORT>(originRow_ + row - 1),
                  static_cast<SHORT>(originColumn_ + column - 1), static_cast<SHORT>(originRow_ + row - 1)};
    if (!ReadConsoleOutputW(h_->out, &ci, COORD {1, 1}, COORD {0, 0}, &r)) return Cell {};
    return Cell {static_cast<char32_t>(ci.Char.UnicodeChar), static_cast<std::uint8_t>(ci.Attributes & 0xFF)};
}

void Win32Console::WriteCells(int row, int column, const Cell* cells, int count) {
    if (count <= 0 || row < 1 || row > BufferRows()) return;
    int first = std::max(column, 1);
    int last = std::min(column + count - 1, BufferColumns());
    if (first > last) return;
    std::vector<CHAR_INFO> line(static_cast<std::size_t>(last - first + 1));
    for (int c = first; c <= last; ++c) {
        const Cell& cell = cells[c - column];
        CHAR_INFO& ci = line[static_cast<std::size_t>(c - first)];
        ci.Char.UnicodeChar = cell.ch < 0x10000 ? static_cast<WCHAR>(cell.ch) : L'?';
        ci.Attributes = cell.attr;
    }
    SMALL_RECT r {static_cast<SHORT>(originColumn_ + first - 1), static_cast<SHORT>(originRow_ + row - 1),
                  static_cast<SHORT>(originColumn_ + last - 1), static_cast<SHORT>(originRow_ + row - 1)};
    WriteConsoleOutputW(h_->out, line.data(), COORD {static_cast<SHORT>(line.size()), 1}, COORD {0, 0}, &r);
}

void Win32Console::Scroll(int top, int left, int bottom, int right, int lines, Cell fill) {
    top = std::max(top, 1);
    left = std::max(left, 1);
    bottom = std::min(bottom, BufferRows());
    right = std::min(right, BufferColumns());
    if (top > bottom || left > right || lines == 0) return;
    SMALL_RECT rect {static_cast<SHORT>(originColumn_ + left - 1), static_cast<SHORT>(originRow_ + top - 1),
                     static_cast<SHORT>(originColumn_ + right - 1), static_cast<SHORT>(originRow_ + bottom - 1)};
    COORD dest {rect.Left, static_cast<SHORT>(rect.Top - lines)};
    CHAR_INFO ci {};
    ci.Char.UnicodeChar = fill.ch < 0x10000 ? static_cast<WCHAR>(fill.ch) : L' ';
    ci.Attributes = fill.attr;
    ScrollConsoleScreenBufferW(h_->out, &rect, &rect, dest, &ci);
}

void Win32Console::FollowSystemInsertToggle() {
    // Only a change made while the window was away counts: another program's.
    bool now = SystemInsertToggle();
    if (now != systemInsert_) insert_ = now;
    systemInsert_ = now;
}

bool Win32Console::Translate(const void* raw, InputEvent& event) {
    const auto& rec = *static_cast<const INPUT_RECORD*>(raw);
    if (rec.EventType == KEY_EVENT) {
        const KEY_EVENT_RECORD& k = rec.Event.KeyEvent;
        if (!k.bKeyDown) return false;
        if (k.wVirtualKeyCode == VK_INSERT && insertEchoes_ > 0) {
            const bool waited = GetTickCount64() <= echoDeadline_;
            --insertEchoes_;
            if (waited) return false;
        }
        event = InputEvent {};
        event.kind = InputEvent::Kind::Key;
        event.character = k.uChar.UnicodeChar ? UnicodeToCp850(k.uChar.UnicodeChar) : 0;
        // Wine's terminal input gives a lone Esc without its character; Windows gives 27.
        if (k.wVirtualKeyCode == VK_ESCAPE && event.character == 0) event.character = 27;
        event.scan = static_cast<std::uint8_t>(k.wVirtualScanCode);
        // The modifiers, and whether the key is of the cursor block (ENHANCED_KEY).
        event.control = static_cast<std::uint16_t>(k.dwControlKeyState & (0x1F | ENHANCED_KEY));
        // Shift+Tab comes with the Tab character; the program knows it as back-tab,
        // the key without a character (as a terminal's back-tab arrives too).
        if (k.wVirtualKeyCode == VK_TAB && (event.control & 0x1F) == kShift) event.character = 0;
        insertPressed_ = k.wVirtualKeyCode == VK_INSERT;
        return true;
    }
    if (rec.EventType == MOUSE_EVENT) {
        const MOUSE_EVENT_RECORD& m = rec.Event.MouseEvent;
        event = InputEvent {};
        event.kind = InputEvent::Kind::Mouse;
        event.column = m.dwMousePosition.X - originColumn_ + 1;
        event.row = m.dwMousePosition.Y - originRow_ + 1;
        event.control = static_cast<std::uint16_t>(m.dwControlKeyState & 0x1F);
        unsigned now = m.dwButtonState & (FROM_LEFT_1ST_BUTTON_PRESSED | RIGHTMOST_BUTTON_PRESSED);
        unsigned released = mouseButtonsDown_ & ~now;
        mouseButtonsDown_ = now;
        if (m.dwEventFlags == MOUSE_MOVED) {
            event.action = 1;
            insertPressed_ = false;
            return true;
        }
        if (m.dwEventFlags != 0 || released == 0) return false;
        event.action = 8;
        event.button = (released & FROM_LEFT_1ST_BUTTON_PRESSED) ? 1 : 2;
        insertPressed_ = false;
        return true;
    }
    if (rec.EventType == WINDOW_BUFFER_SIZE_EVENT) RefreshOrigin();
    if (rec.EventType == FOCUS_EVENT && rec.Event.FocusEvent.bSetFocus) FollowSystemInsertToggle();
    return false;
}

bool Win32Console::PollEvent(InputEvent& event) {
    // Under Wine the handle's signal is what shows that the terminal sent keys:
    // counting the queued events alone never sees them.
    for (;;) {
        if (WaitForSingleObject(h_->in, 0) != WAIT_OBJECT_0) return false;
        INPUT_RECORD rec {};
        DWORD n = 0;
        if (!PeekConsoleInputW(h_->in, &rec, 1, &n) || n == 0) return false;
        ReadConsoleInputW(h_->in, &rec, 1, &n);
        if (n == 1 && Translate(&rec, event)) return true;
    }
}

// The handle is signalled while any input record is queued: keys, mouse,
// size changes and focus changes all end the wait.
void Win32Console::WaitForInput() { WaitForSingleObject(h_->in, INFINITE); }

void Win32Console::FlushInput() { FlushConsoleInputBuffer(h_->in); }

void Win32Console::SetMouseReporting(bool on) {
    Locked locked;
    if (Point().taken) SetConsoleMode(h_->in, on ? (kBaseInputMode | ENABLE_MOUSE_INPUT) : kBaseInputMode);
}

int Win32Console::MouseButtons() {
    DWORD n = 0;
    return GetNumberOfConsoleMouseButtons(&n) ? static_cast<int>(n) : 0;
}

void Win32Console::SetInsertToggle(bool on) {
    const bool byKey = insertPressed_;
    insertPressed_ = false;
    if (on == insert_) return;
    insert_ = on;
    // After a real Ins press the keyboard has flipped the system's toggle itself.
    if (byKey || SystemInsertToggle() == on) return;
    INPUT presses[2] {};
    presses[0].type = presses[1].type = INPUT_KEYBOARD;
    presses[0].ki.wVk = presses[1].ki.wVk = VK_INSERT;
    presses[1].ki.dwFlags = KEYEVENTF_KEYUP;
    if (SendInput(2, presses, sizeof(INPUT)) == 2) {
        ++insertEchoes_;
        echoDeadline_ = GetTickCount64() + kEchoWaitMilliseconds;
    }
}

std::string Win32Console::Clipboard() {
    std::string text;
    if (!OpenClipboardSoon()) return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (auto* w = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = Cp850FromClipboard(w);
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

void Win32Console::SetClipboard(const std::string& text) {
    std::u16string wide = ClipboardFromCp850(text);
    if (!OpenClipboardSoon()) return;
    EmptyClipboard();
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, (wide.size() + 1) * sizeof(char16_t));
    if (mem) {
        auto* p = static_cast<char16_t*>(GlobalLock(mem));
        std::copy(wide.begin(), wide.end(), p);
        p[wide.size()] = u'\0';
        GlobalUnlock(mem);
        if (!SetClipboardData(CF_UNICODETEXT, mem)) GlobalFree(mem);
    }
    CloseClipboard();
}

void Win32Console::Beep() { MessageBeep(MB_OK); }

}  // namespace qp
