// The console as the program sees it: shaped like the Windows console, so the
// Win32 backend is thin. Rows and columns are 1-based everywhere.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace qp {

struct Cell {
    char32_t ch = U' ';
    std::uint8_t attr = 0x07;  // foreground = attr & 15, background = attr >> 4
    bool operator==(const Cell&) const = default;
};

// Control-key state bits, as the Windows console reports them.
enum ControlKey : std::uint16_t {
    kRightAlt = 0x01,
    kLeftAlt = 0x02,
    kRightCtrl = 0x04,
    kLeftCtrl = 0x08,
    kShift = 0x10,
    // A key of the cursor block beside the letters, not of the numeric keypad:
    // it never takes part in Alt+keypad composition.
    kEnhanced = 0x0100,
};

struct InputEvent {
    enum class Kind { Key, Mouse };
    Kind kind = Kind::Key;
    // Key (key-down only): code page 850 character or 0, and the PC scan code.
    unsigned char character = 0;
    std::uint8_t scan = 0;
    // Mouse: 1-based position; button 1 left, 2 right; action 8 released, 1 moved.
    int column = 0;
    int row = 0;
    int button = 0;
    int action = 0;
    std::uint16_t control = 0;
};

class Console {
public:
    virtual ~Console() = default;

    // Visible window size and screen-buffer size.
    virtual int Rows() = 0;
    virtual int Columns() = 0;
    virtual int BufferRows() = 0;
    virtual int BufferColumns() = 0;
    // What the operator really sees, from row 1 and column 1. A console that
    // keeps the program's 80 x 25 screen on a smaller terminal counts that
    // screen in Rows() and Columns() and the terminal's own size here; a
    // pop-up that must be seen whole is measured against this.
    virtual int VisibleRows() { return Rows(); }
    virtual int VisibleColumns() { return Columns(); }

    virtual void SetCursor(int row, int column) = 0;
    virtual int CursorRow() = 0;
    virtual int CursorColumn() = 0;
    // 0 hides the cursor; 50 and 100 are the insert and overwrite shapes.
    virtual void SetCursorSize(int percent) = 0;
    virtual int CursorSize() = 0;

    // Cells outside the buffer read as a blank and are not written.
    virtual Cell ReadCell(int row, int column) = 0;
    virtual void WriteCells(int row, int column, const Cell* cells, int count) = 0;
    // Moves the rectangle's content up by `lines` (down when negative), filling freed rows.
    virtual void Scroll(int top, int left, int bottom, int right, int lines, Cell fill) = 0;

    // Never blocks: true and the event when one is queued.
    virtual bool PollEvent(InputEvent& event) = 0;
    // Blocks until input may be there: a key, a mouse event, a resize or a
    // signal (on a terminal also the end of a lone Esc's short wait). It may
    // return early, so the caller polls again. A loop with nothing else to do
    // calls it between two empty polls, so that a waiting program uses neither
    // processor time nor wake-ups; a loop that works between polls (a list
    // fetching its lines) does not. A console without a real input source
    // returns at once.
    virtual void WaitForInput() {}
    virtual void FlushInput() = 0;
    virtual void SetMouseReporting(bool on) = 0;
    virtual int MouseButtons() = 0;

    virtual bool InsertToggle() = 0;
    virtual void SetInsertToggle(bool on) = 0;
    virtual std::string Clipboard() = 0;  // code page 850
    virtual void SetClipboard(const std::string& text) = 0;
    virtual void Beep() = 0;
    // The program's texts need 80 x 25: a console that can be smaller shows
    // this line (code page 850, made from its visible rows and columns) over
    // its last row while it is, and nothing of it once it is large enough.
    virtual void SetSizeNotice(std::function<std::string(int rows, int columns)> notice) { (void)notice; }

    // Shows what was drawn (backends that buffer output).
    virtual void Flush() {}
};

}  // namespace qp
