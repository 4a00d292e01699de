#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "screen/key_names.h"
#include "screen/memory_console.h"

namespace qp {
namespace {

// Rows "a...", "b...", ... so a moved row is recognisable.
MemoryConsole Lettered(int rows, int columns) {
    MemoryConsole console(rows, columns);
    for (int r = 1; r <= rows; ++r)
        for (int c = 1; c <= columns; ++c) {
            Cell cell {static_cast<char32_t>('a' + r - 1), 0x07};
            console.WriteCells(r, c, &cell, 1);
        }
    return console;
}

TEST(MemoryConsoleScroll, MovesOnlyTheRectangle) {
    struct Case {
        int lines;
        const char* column2;  // rows 1-6 of column 2 afterwards
    };
    for (Case k : {Case {1, "acde.f"}, Case {2, "ade..f"}, Case {-1, "a.bcdf"}, Case {-3, "a...bf"}, Case {-4, "a....f"}, Case {4, "a....f"},
                   Case {INT_MAX, "a....f"}, Case {INT_MIN, "a....f"}}) {
        MemoryConsole console = Lettered(6, 3);
        console.Scroll(2, 2, 5, 2, k.lines, Cell {U'.', 0x70});
        std::string column;
        for (int r = 1; r <= 6; ++r) column += static_cast<char>(console.ReadCell(r, 2).ch);
        EXPECT_EQ(column, k.column2) << "lines " << k.lines;
        EXPECT_EQ(console.RowText(3).substr(0, 1), "c");
        EXPECT_EQ(console.RowText(3).substr(2, 1), "c");
    }
}

TEST(MemoryConsoleScroll, ClipsToTheBuffer) {
    MemoryConsole console = Lettered(4, 4);
    console.Scroll(-5, -5, 50, 50, 1, Cell {U'.', 0x07});
    EXPECT_EQ(console.RowText(1), "bbbb");
    EXPECT_EQ(console.RowText(4), "....");
}

TEST(MemoryConsoleResize, KeepsWhatStillFitsAndTheCursorInside) {
    MemoryConsole console = Lettered(5, 5);
    console.SetCursor(5, 5);
    console.Resize(3, 8);
    EXPECT_EQ(console.RowText(1), "aaaaa   ");
    EXPECT_EQ(console.RowText(3), "ccccc   ");
    EXPECT_EQ(console.CursorRow(), 3);
    EXPECT_EQ(console.CursorColumn(), 5);
    EXPECT_EQ(console.ReadCell(4, 1), Cell {});
}

TEST(KeyNames, NameAKeyOrAreRefused) {
    struct Case {
        const char* name;
        bool known;
        std::uint8_t scan;
        std::uint16_t control;
    };
    for (Case k : {Case {"F10", true, 0x44, 0}, Case {"Alt+F4", true, 0x3E, kLeftAlt}, Case {"Ctrl+Left", true, 0x4B, kLeftCtrl},
                   Case {"F11", true, 0x57, 0}, Case {"F0", false, 0, 0}, Case {"F13", false, 0, 0},
                   Case {"F1x", false, 0, 0}, Case {"Alt+F177777777777777777777", false, 0, 0}, Case {"Alt+", false, 0, 0}}) {
        std::optional<InputEvent> e = KeyEventFromName(k.name);
        ASSERT_EQ(e.has_value(), k.known) << k.name;
        if (!e) continue;
        EXPECT_EQ(e->scan, k.scan) << k.name;
        EXPECT_EQ(e->control, k.control) << k.name;
    }
}

}  // namespace
}  // namespace qp
