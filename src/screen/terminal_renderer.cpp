#include "screen/terminal_renderer.h"

#include <algorithm>

#include "text/cp850.h"

namespace qp {

namespace {

// Unchanged cells up to this many are rewritten rather than jumped over: a
// cursor move costs about as many bytes.
constexpr int kMaxRewrittenGap = 5;

// Windows colours are 1 blue, 2 green, 4 red; ANSI ones 1 red, 2 green, 4 blue.
int AnsiColour(int windows) { return ((windows & 1) << 2) | (windows & 2) | ((windows & 4) >> 2); }

void AppendNumber(std::string& out, int n) { out += std::to_string(n); }

// Control characters would move the terminal's cursor or start a sequence.
char32_t Printable(char32_t ch) {
    if (ch < 0x20 || (ch >= 0x7F && ch <= 0x9F)) return U' ';
    if (ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF)) return U'?';
    return ch;
}

void AppendUtf8(std::string& out, char32_t ch) {
    if (ch < 0x80) {
        out.push_back(static_cast<char>(ch));
    } else if (ch < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (ch >> 6)));
        out.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
    } else if (ch < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (ch >> 12)));
        out.push_back(static_cast<char>(0x80 | ((ch >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (ch >> 18)));
        out.push_back(static_cast<char>(0x80 | ((ch >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((ch >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
    }
}

Cell FrameCell(const TerminalFrame& frame, int row, int column) {
    if (!frame.cells || row > frame.rows || column > frame.columns) return Cell {};
    std::size_t index = static_cast<std::size_t>((row - 1) * frame.columns + (column - 1));
    return index < frame.cells->size() ? (*frame.cells)[index] : Cell {};
}

std::string Base64(std::string_view bytes) {
    static constexpr char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        unsigned v = 0;
        for (std::size_t k = 0; k < 3; ++k)
            v = (v << 8) | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        for (std::size_t k = 0; k < 4; ++k) out.push_back(k <= n ? digits[(v >> (18 - 6 * k)) & 63] : '=');
    }
    return out;
}

}  // namespace

std::string ClipboardSequence(std::string_view cp850Text) {
    // Line breaks and tabs stay what they are (not the PC glyphs of those bytes);
    // the host's clipboard wants LF line ends.
    std::string utf8;
    for (std::size_t i = 0; i < cp850Text.size(); ++i) {
        char c = cp850Text[i];
        if (c == '\r' && i + 1 < cp850Text.size() && cp850Text[i + 1] == '\n') continue;
        if (c == '\r' || c == '\n') {
            utf8.push_back('\n');
        } else if (c == '\t') {
            utf8.push_back('\t');
        } else {
            utf8 += Cp850ToUtf8(std::string_view(&cp850Text[i], 1));
        }
    }
    return "\x1b]52;c;" + Base64(utf8) + "\a";
}

std::string TerminalRenderer::ColourSequence(std::uint8_t attr) {
    int fg = attr & 15;
    int bg = attr >> 4;
    std::string out = "\x1b[";
    AppendNumber(out, (fg & 8 ? 90 : 30) + AnsiColour(fg & 7));
    out.push_back(';');
    AppendNumber(out, (bg & 8 ? 100 : 40) + AnsiColour(bg & 7));
    out.push_back('m');
    return out;
}

int TerminalRenderer::CursorShape(int size) {
    if (size <= 0) return 0;
    if (size >= 75) return 2;  // steady block
    if (size >= 50) return 6;  // steady bar
    return 4;                  // steady underline
}

std::vector<Cell> NoticeLine(std::string_view cp850Text, int width) {
    constexpr std::uint8_t kReverse = 0x70;
    std::vector<Cell> line(static_cast<std::size_t>(std::max(width, 0)), Cell {U' ', kReverse});
    for (std::size_t i = 0; i < line.size() && i < cp850Text.size(); ++i)
        line[i].ch = Cp850ToUnicode(static_cast<unsigned char>(cp850Text[i]));
    return line;
}

std::string TerminalRenderer::Render(const TerminalFrame& frame, int visibleRows, int visibleColumns) {
    std::string out;
    visibleRows = std::max(visibleRows, 0);
    visibleColumns = std::max(visibleColumns, 0);
    if (!valid_ || visibleRows != rows_ || visibleColumns != columns_) {
        rows_ = visibleRows;
        columns_ = visibleColumns;
        Repaint(out, frame);
        valid_ = true;
    } else {
        DrawChanges(out, frame);
    }
    PlaceCursor(out, frame);
    return out;
}

Cell TerminalRenderer::Wanted(const TerminalFrame& frame, int row, int column) const {
    if (frame.notice && row == rows_) {
        const auto at = static_cast<std::size_t>(column - 1);
        return at < frame.notice->size() ? (*frame.notice)[at] : Cell {};
    }
    return FrameCell(frame, row, column);
}

void TerminalRenderer::MoveTo(std::string& out, int row, int column) {
    if (row == row_ && column == column_) return;
    out += "\x1b[";
    AppendNumber(out, row);
    out.push_back(';');
    AppendNumber(out, column);
    out.push_back('H');
    row_ = row;
    column_ = column;
}

void TerminalRenderer::PutCell(std::string& out, const Cell& cell) {
    if (cell.attr != attr_) {
        out += ColourSequence(cell.attr);
        attr_ = cell.attr;
    }
    AppendUtf8(out, Printable(cell.ch));
    if (++column_ > columns_) row_ = column_ = 0;  // where it stays is up to the terminal
}

void TerminalRenderer::Repaint(std::string& out, const TerminalFrame& frame) {
    out += "\x1b[0m";
    attr_ = -1;
    row_ = column_ = 0;
    shown_.assign(static_cast<std::size_t>(rows_) * static_cast<std::size_t>(columns_), Cell {});
    for (int r = 1; r <= rows_; ++r) {
        MoveTo(out, r, 1);
        for (int c = 1; c <= columns_; ++c) {
            Cell cell = Wanted(frame, r, c);
            PutCell(out, cell);
            shown_[static_cast<std::size_t>((r - 1) * columns_ + (c - 1))] = cell;
        }
    }
}

void TerminalRenderer::DrawChanges(std::string& out, const TerminalFrame& frame) {
    auto shownAt = [&](int r, int c) -> Cell& { return shown_[static_cast<std::size_t>((r - 1) * columns_ + (c - 1))]; };
    for (int r = 1; r <= rows_; ++r) {
        for (int c = 1; c <= columns_; ++c) {
            Cell wanted = Wanted(frame, r, c);
            if (wanted == shownAt(r, c)) continue;
            bool nearby = row_ == r && column_ < c && c - column_ <= kMaxRewrittenGap;
            for (int k = column_; nearby && k < c; ++k) nearby = shownAt(r, k).attr == attr_;
            if (nearby) {
                while (column_ < c) PutCell(out, shownAt(r, column_));
            } else {
                MoveTo(out, r, c);
            }
            PutCell(out, wanted);
            shownAt(r, c) = wanted;
        }
    }
}

void TerminalRenderer::PlaceCursor(std::string& out, const TerminalFrame& frame) {
    bool visible = frame.cursorSize > 0 && frame.cursorRow >= 1 && frame.cursorRow <= rows_ && frame.cursorColumn >= 1 &&
                   frame.cursorColumn <= columns_;
    if (!visible) {
        if (cursorVisible_) out += "\x1b[?25l";
        cursorVisible_ = false;
        return;
    }
    int shape = CursorShape(frame.cursorSize);
    if (shape != shape_) {
        out += "\x1b[";
        AppendNumber(out, shape);
        out += " q";
        shape_ = shape;
    }
    MoveTo(out, frame.cursorRow, frame.cursorColumn);
    if (!cursorVisible_) out += "\x1b[?25h";
    cursorVisible_ = true;
}

}  // namespace qp
