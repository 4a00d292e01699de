#include "screen/memory_console.h"

#include <algorithm>

#include "screen/key_names.h"
#include "text/cp850.h"

namespace qp {

MemoryConsole::MemoryConsole(int rows, int columns)
    : rows_(rows), columns_(columns), cells_(static_cast<std::size_t>(rows * columns)) {}

bool MemoryConsole::Inside(int row, int column) const {
    return row >= 1 && row <= rows_ && column >= 1 && column <= columns_;
}

Cell& MemoryConsole::At(int row, int column) {
    return cells_[static_cast<std::size_t>((row - 1) * columns_ + (column - 1))];
}

void MemoryConsole::SetCursor(int row, int column) {
    cursorRow_ = std::clamp(row, 1, rows_);
    cursorColumn_ = std::clamp(column, 1, columns_);
}

Cell MemoryConsole::ReadCell(int row, int column) { return Inside(row, column) ? At(row, column) : Cell {}; }

void MemoryConsole::WriteCells(int row, int column, const Cell* cells, int count) {
    for (int i = 0; i < count; ++i)
        if (Inside(row, column + i)) At(row, column + i) = cells[i];
}

void MemoryConsole::Scroll(int top, int left, int bottom, int right, int lines, Cell fill) {
    top = std::max(top, 1);
    left = std::max(left, 1);
    bottom = std::min(bottom, rows_);
    right = std::min(right, columns_);
    if (top > bottom || left > right || lines == 0) return;
    int height = bottom - top + 1;
    lines = std::clamp(lines, -height, height);  // more than the height blanks it all; avoids overflow below
    std::vector<Cell> saved;
    for (int r = top; r <= bottom; ++r)
        for (int c = left; c <= right; ++c) saved.push_back(At(r, c));
    int width = right - left + 1;
    for (int r = top; r <= bottom; ++r) {
        int from = r - top + lines;  // source row index within the rectangle
        for (int c = left; c <= right; ++c)
            At(r, c) = (from >= 0 && from < height) ? saved[static_cast<std::size_t>(from * width + (c - left))] : fill;
    }
}

bool MemoryConsole::PollEvent(InputEvent& event) {
    if (queue_.empty()) {
        if (++emptyPolls_ > starvationLimit_) {
            emptyPolls_ = 0;
            throw InputScriptExhausted();
        }
        return false;
    }
    emptyPolls_ = 0;
    event = queue_.front();
    queue_.pop_front();
    return true;
}

void MemoryConsole::FlushInput() {
    queue_.clear();
    ++flushes_;
}

void MemoryConsole::Resize(int rows, int columns) {
    std::vector<Cell> fresh(static_cast<std::size_t>(rows * columns));
    for (int r = 1; r <= std::min(rows, rows_); ++r)
        for (int c = 1; c <= std::min(columns, columns_); ++c)
            fresh[static_cast<std::size_t>((r - 1) * columns + (c - 1))] = At(r, c);
    rows_ = rows;
    columns_ = columns;
    cells_ = std::move(fresh);
    SetCursor(cursorRow_, cursorColumn_);
}

std::u32string MemoryConsole::RowU32(int row) {
    std::u32string out;
    for (int c = 1; c <= columns_; ++c) out.push_back(ReadCell(row, c).ch);
    return out;
}

std::string MemoryConsole::RowText(int row) { return U32ToCp850(RowU32(row)); }

std::uint8_t MemoryConsole::AttrAt(int row, int column) { return ReadCell(row, column).attr; }

InputEvent MemoryConsole::CharacterEvent(unsigned char ch) {
    InputEvent e;
    e.character = ch;
    e.scan = ScanCodeForCharacter(ch);
    if (ch >= 'A' && ch <= 'Z') e.control = kShift;
    return e;
}

void MemoryConsole::TypeText(std::string_view text) {
    for (char c : text) queue_.push_back(CharacterEvent(static_cast<unsigned char>(c)));
}

void MemoryConsole::PressKey(std::string_view name) {
    auto e = KeyEventFromName(name);
    if (!e) throw std::invalid_argument("unknown key name: " + std::string(name));
    queue_.push_back(*e);
}

void MemoryConsole::PressKeys(std::initializer_list<std::string_view> names) {
    for (auto n : names) PressKey(n);
}

void MemoryConsole::Click(int column, int row, int button) {
    InputEvent e;
    e.kind = InputEvent::Kind::Mouse;
    e.column = column;
    e.row = row;
    e.button = button;
    e.action = 8;
    queue_.push_back(e);
}

}  // namespace qp
