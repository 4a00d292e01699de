#include "screen/win32_console.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "text/cp850.h"

namespace qp {

struct Win32Console::Handles {
    HANDLE in = INVALID_HANDLE_VALUE;
    HANDLE out = INVALID_HANDLE_VALUE;
    DWORD originalInMode = 0;
    DWORD originalOutMode = 0;
    CONSOLE_CURSOR_INFO originalCursor {};
    WORD originalAttributes = 0x07;
};

namespace {

// What the handler restores when the window is closed or Ctrl+Break arrives.
Win32Console::Handles* g_restore = nullptr;

void Restore(const Win32Console::Handles& h) {
    SetConsoleMode(h.in, h.originalInMode);
    SetConsoleMode(h.out, h.originalOutMode);
    SetConsoleCursorInfo(h.out, &h.originalCursor);
    SetConsoleTextAttribute(h.out, h.originalAttributes);
}

BOOL WINAPI OnConsoleControl(DWORD) {
    if (g_restore) Restore(*g_restore);
    return FALSE;  // let the default handler end the process
}

std::u16string ToU16(std::u32string_view text) {
    std::u16string out;
    for (char32_t c : text) out.push_back(c < 0x10000 ? static_cast<char16_t>(c) : u'?');
    return out;
}

}  // namespace

std::unique_ptr<Win32Console> Win32Console::Open(std::string& reason) {
    auto h = std::make_unique<Handles>();
    h->in = GetStdHandle(STD_INPUT_HANDLE);
    h->out = GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO info {};
    if (!GetConsoleMode(h->in, &h->originalInMode) || !GetConsoleScreenBufferInfo(h->out, &info)) {
        reason = "no console";
        return nullptr;
    }
    GetConsoleMode(h->out, &h->originalOutMode);
    GetConsoleCursorInfo(h->out, &h->originalCursor);
    h->originalAttributes = info.wAttributes;
    // Keys arrive raw (Ctrl+C is a key of the field editor); quick-edit off so clicks reach us.
    SetConsoleMode(h->in, ENABLE_EXTENDED_FLAGS);
    return std::unique_ptr<Win32Console>(new Win32Console(std::move(h)));
}

Win32Console::Win32Console(std::unique_ptr<Handles> handles) : h_(std::move(handles)) {
    g_restore = h_.get();
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    RefreshOrigin();
}

Win32Console::~Win32Console() {
    Restore(*h_);
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    g_restore = nullptr;
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
    SetConsoleCursorInfo(h_->out, &ci);
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

bool Win32Console::Translate(const void* raw, InputEvent& event) {
    const auto& rec = *static_cast<const INPUT_RECORD*>(raw);
    if (rec.EventType == KEY_EVENT) {
        const KEY_EVENT_RECORD& k = rec.Event.KeyEvent;
        if (!k.bKeyDown) return false;
        if (k.wVirtualKeyCode == VK_INSERT && insertEchoes_ > 0) {
            --insertEchoes_;
            return false;
        }
        event = InputEvent {};
        event.kind = InputEvent::Kind::Key;
        event.character = k.uChar.UnicodeChar ? UnicodeToCp850(k.uChar.UnicodeChar) : 0;
        event.scan = static_cast<std::uint8_t>(k.wVirtualScanCode);
        event.control = static_cast<std::uint16_t>(k.dwControlKeyState & 0x1F);
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
            return true;
        }
        if (m.dwEventFlags != 0 || released == 0) return false;
        event.action = 8;
        event.button = (released & FROM_LEFT_1ST_BUTTON_PRESSED) ? 1 : 2;
        return true;
    }
    if (rec.EventType == WINDOW_BUFFER_SIZE_EVENT) RefreshOrigin();
    return false;
}

bool Win32Console::PollEvent(InputEvent& event) {
    // A short wait keeps the program's polling loops idle; under Wine the
    // handle's signal is what shows that the terminal sent keys.
    for (;;) {
        if (WaitForSingleObject(h_->in, 10) != WAIT_OBJECT_0) return false;
        INPUT_RECORD rec {};
        DWORD n = 0;
        if (!PeekConsoleInputW(h_->in, &rec, 1, &n) || n == 0) return false;
        ReadConsoleInputW(h_->in, &rec, 1, &n);
        if (n == 1 && Translate(&rec, event)) return true;
    }
}

void Win32Console::FlushInput() { FlushConsoleInputBuffer(h_->in); }

void Win32Console::SetMouseReporting(bool on) {
    SetConsoleMode(h_->in, on ? (ENABLE_MOUSE_INPUT | ENABLE_EXTENDED_FLAGS) : ENABLE_EXTENDED_FLAGS);
}

int Win32Console::MouseButtons() {
    DWORD n = 0;
    return GetNumberOfConsoleMouseButtons(&n) ? static_cast<int>(n) : 0;
}

bool Win32Console::InsertToggle() { return (GetKeyState(VK_INSERT) & 1) != 0; }

void Win32Console::SetInsertToggle(bool on) {
    if (InsertToggle() == on) return;
    INPUT presses[2] {};
    presses[0].type = presses[1].type = INPUT_KEYBOARD;
    presses[0].ki.wVk = presses[1].ki.wVk = VK_INSERT;
    presses[1].ki.dwFlags = KEYEVENTF_KEYUP;
    if (SendInput(2, presses, sizeof(INPUT)) == 2) ++insertEchoes_;
}

std::string Win32Console::Clipboard() {
    std::string text;
    if (!OpenClipboard(nullptr)) return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (auto* w = static_cast<const wchar_t*>(GlobalLock(data))) {
            for (const wchar_t* p = w; *p; ++p) text.push_back(static_cast<char>(UnicodeToCp850(static_cast<char32_t>(*p))));
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

void Win32Console::SetClipboard(const std::string& text) {
    std::u16string wide = ToU16(Cp850ToU32(text));
    if (!OpenClipboard(nullptr)) return;
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
