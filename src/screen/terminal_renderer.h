// Works out the bytes that bring an xterm-compatible terminal from what it
// shows to what the program drew: only changed cells, colours in SGR, the
// cursor's place and shape. No I/O here, so the output can be checked byte for byte.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "screen/console.h"

namespace qp {

// What the program drew: the screen buffer (row-major, rows x columns) and the cursor.
struct TerminalFrame {
    int rows = 0;
    int columns = 0;
    const std::vector<Cell>* cells = nullptr;
    int cursorRow = 1;
    int cursorColumn = 1;
    int cursorSize = 0;  // 0 hidden
    // A line shown over the terminal's last row instead of the frame's cells
    // there (a console too small for the program says so); null for none.
    const std::vector<Cell>* notice = nullptr;
};

// A code page 850 text as a row of `width` cells in reverse video, cut or
// padded, for TerminalFrame::notice.
std::vector<Cell> NoticeLine(std::string_view cp850Text, int width);

// OSC 52: puts a code page 850 text on the terminal's clipboard (as UTF-8).
std::string ClipboardSequence(std::string_view cp850Text);

class TerminalRenderer {
public:
    // Forgets what the terminal shows: the next Render repaints every visible cell.
    void Invalidate() { valid_ = false; }
    // Bytes that make a terminal of visibleRows x visibleColumns show the frame's
    // top-left part; what lies beyond the terminal's edges is not drawn.
    std::string Render(const TerminalFrame& frame, int visibleRows, int visibleColumns);

    // The SGR sequence for a console attribute (Windows colour order).
    static std::string ColourSequence(std::uint8_t attr);
    // DECSCUSR shape for a cursor size; 0 (hidden) has none.
    static int CursorShape(int size);

private:
    Cell Wanted(const TerminalFrame& frame, int row, int column) const;
    void MoveTo(std::string& out, int row, int column);
    void PutCell(std::string& out, const Cell& cell);
    void Repaint(std::string& out, const TerminalFrame& frame);
    void DrawChanges(std::string& out, const TerminalFrame& frame);
    void PlaceCursor(std::string& out, const TerminalFrame& frame);

    bool valid_ = false;
    int rows_ = 0;  // the visible size that `shown_` covers
    int columns_ = 0;
    std::vector<Cell> shown_;
    int attr_ = -1;  // colours set on the terminal; -1 unknown
    // Where the terminal's cursor is; 0 when unknown (after the last column).
    int row_ = 0;
    int column_ = 0;
    bool cursorVisible_ = false;
    int shape_ = -1;
};

}  // namespace qp
