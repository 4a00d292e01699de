#include "screen/screen.h"

#include <algorithm>
#include <vector>

#include "text/cp850.h"

namespace qp {

void Screen::Locate(int row, int column) {
    int r = (row >= 1 && row <= console_.BufferRows()) ? row : console_.CursorRow();
    int c = (column >= 1 && column <= console_.BufferColumns()) ? column : console_.CursorColumn();
    console_.SetCursor(r, c);
}

void Screen::PrintU32(std::u32string_view text) {
    int row = console_.CursorRow();
    int column = console_.CursorColumn();
    int room = console_.BufferColumns() - column + 1;
    int n = std::clamp(static_cast<int>(text.size()), 0, std::max(room, 0));
    if (n > 0 && row >= 1 && row <= console_.BufferRows()) {
        std::vector<Cell> cells(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) cells[static_cast<std::size_t>(i)] = Cell {text[static_cast<std::size_t>(i)], attr_};
        console_.WriteCells(row, column, cells.data(), n);
    }
    console_.SetCursor(row, std::min(column + static_cast<int>(text.size()), console_.BufferColumns()));
}

void Screen::Print(std::string_view text) { PrintU32(Cp850ToU32(text)); }

void Screen::PrintBlanks(int count) {
    if (count > 0) PrintU32(std::u32string(static_cast<std::size_t>(count), U' '));
}

}  // namespace qp
