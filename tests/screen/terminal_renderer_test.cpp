#include "screen/terminal_renderer.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace qp {
namespace {

// A tiny terminal that understands what the renderer sends (CUP, SGR colours,
// cursor modes, UTF-8 text with autowrap off), so tests can check the result
// on screen instead of the exact bytes.
class FakeTerminal {
public:
    FakeTerminal(int rows, int columns) : rows_(rows), columns_(columns), grid_(Size(), Cell {U'#', 0xFF}) {}

    void Apply(const std::string& bytes) {
        std::size_t i = 0;
        while (i < bytes.size()) {
            auto b = static_cast<unsigned char>(bytes[i]);
            if (b == 0x1B) {
                i = Sequence(bytes, i);
                continue;
            }
            ASSERT_GE(b, 0x20) << "raw control byte in the output";
            char32_t ch = b;
            std::size_t length = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
            if (length > 1) ch = b & (0x7F >> length);
            for (std::size_t k = 1; k < length; ++k) ch = (ch << 6) | (static_cast<unsigned char>(bytes[i + k]) & 0x3F);
            i += length;
            ASSERT_TRUE(row_ >= 1 && row_ <= rows_ && column_ >= 1) << "drawing outside the terminal";
            if (column_ <= columns_) grid_[Index(row_, column_)] = Cell {ch, static_cast<std::uint8_t>(attr_)};
            if (column_ < columns_) ++column_;  // autowrap off: the last column is overwritten
        }
    }

    Cell At(int row, int column) const { return grid_[Index(row, column)]; }
    bool cursorVisible() const { return cursorVisible_; }
    int row() const { return row_; }
    int column() const { return column_; }
    int shape() const { return shape_; }

private:
    std::size_t Size() const { return static_cast<std::size_t>(rows_ * columns_); }
    std::size_t Index(int r, int c) const { return static_cast<std::size_t>((r - 1) * columns_ + (c - 1)); }

    static int WindowsColour(int ansi) { return ((ansi & 1) << 2) | (ansi & 2) | ((ansi & 4) >> 2); }

    std::size_t Sequence(const std::string& s, std::size_t i) {
        EXPECT_EQ(s[i + 1], '[');
        std::size_t j = i + 2;
        std::string params;
        while (j < s.size() && !(s[j] >= 0x40 && s[j] <= 0x7E)) params += s[j++];
        char final = s[j];
        std::vector<int> p(1, 0);
        for (char c : params) {
            if (c == ';') p.push_back(0);
            else if (c >= '0' && c <= '9') p.back() = p.back() * 10 + (c - '0');
        }
        if (final == 'H') {
            row_ = p[0];
            column_ = p.size() > 1 ? p[1] : 1;
            EXPECT_TRUE(row_ >= 1 && row_ <= rows_ && column_ >= 1 && column_ <= columns_) << "cursor moved outside";
        } else if (final == 'm') {
            for (int v : p) {
                if (v == 0) attr_ = 0x07;
                else if (v >= 30 && v <= 37) attr_ = (attr_ & 0xF0) | WindowsColour(v - 30);
                else if (v >= 90 && v <= 97) attr_ = (attr_ & 0xF0) | 8 | WindowsColour(v - 90);
                else if (v >= 40 && v <= 47) attr_ = (attr_ & 0x0F) | WindowsColour(v - 40) << 4;
                else if (v >= 100 && v <= 107) attr_ = (attr_ & 0x0F) | (8 | WindowsColour(v - 100)) << 4;
            }
        } else if (params == "?25" && (final == 'h' || final == 'l')) {
            cursorVisible_ = final == 'h';
        } else if (final == 'q') {
            shape_ = p[0];
        } else {
            ADD_FAILURE() << "unexpected sequence ESC [" << params << final;
        }
        return j + 1;
    }

    int rows_;
    int columns_;
    std::vector<Cell> grid_;
    int row_ = 1;
    int column_ = 1;
    int attr_ = 0x07;
    bool cursorVisible_ = false;
    int shape_ = 0;
};

struct Screen {
    int rows = 25;
    int columns = 80;
    std::vector<Cell> cells = std::vector<Cell>(static_cast<std::size_t>(rows * columns));
    int cursorRow = 1;
    int cursorColumn = 1;
    int cursorSize = 0;

    Cell& At(int r, int c) { return cells[static_cast<std::size_t>((r - 1) * columns + (c - 1))]; }
    TerminalFrame Frame() const { return TerminalFrame {rows, columns, &cells, cursorRow, cursorColumn, cursorSize}; }
};

TEST(TerminalRenderer, FirstRenderPaintsTheWholeScreenThenNothingIsResent) {
    Screen s;
    TerminalRenderer r;
    FakeTerminal t(25, 80);
    std::string first = r.Render(s.Frame(), 25, 80);
    t.Apply(first);
    EXPECT_EQ(t.At(1, 1), Cell {});
    EXPECT_EQ(t.At(25, 80), Cell {});
    EXPECT_EQ(r.Render(s.Frame(), 25, 80), "");
}

TEST(TerminalRenderer, OneCellChangeWritesOneShortSequence) {
    Screen s;
    TerminalRenderer r;
    r.Render(s.Frame(), 25, 80);
    s.At(5, 10) = Cell {U'X', 0x07};
    EXPECT_EQ(r.Render(s.Frame(), 25, 80), "\x1b[5;10HX");
    s.At(5, 11) = Cell {U'Y', 0x1E};
    EXPECT_EQ(r.Render(s.Frame(), 25, 80), "\x1b[93;44mY");  // the cursor is already there
    s.At(7, 1) = Cell {U'\u00E9', 0x1E};
    EXPECT_EQ(r.Render(s.Frame(), 25, 80), "\x1b[7;1H\xc3\xa9");
}

TEST(TerminalRenderer, TypingAtTheCursorStaysWithinAFewDozenBytes) {
    Screen s;
    s.cursorSize = 50;
    s.cursorRow = 10;
    s.cursorColumn = 20;
    TerminalRenderer r;
    FakeTerminal t(25, 80);
    t.Apply(r.Render(s.Frame(), 25, 80));
    s.At(10, 20) = Cell {U'a', 0x1F};
    s.cursorColumn = 21;
    std::string out = r.Render(s.Frame(), 25, 80);
    EXPECT_LE(out.size(), 36u) << out;
    t.Apply(out);
    EXPECT_EQ(t.At(10, 20), (Cell {U'a', 0x1F}));
    EXPECT_EQ(t.row(), 10);
    EXPECT_EQ(t.column(), 21);
}

TEST(TerminalRenderer, ColoursAreMappedFromTheWindowsOrder) {
    struct {
        std::uint8_t attr;
        const char* sgr;
    } const table[] = {
        {0x07, "\x1b[37;40m"},  {0x00, "\x1b[30;40m"},  {0x01, "\x1b[34;40m"},  {0x02, "\x1b[32;40m"},
        {0x03, "\x1b[36;40m"},  {0x04, "\x1b[31;40m"},  {0x05, "\x1b[35;40m"},  {0x06, "\x1b[33;40m"},
        {0x08, "\x1b[90;40m"},  {0x09, "\x1b[94;40m"},  {0x0C, "\x1b[91;40m"},  {0x0E, "\x1b[93;40m"},
        {0x0F, "\x1b[97;40m"},  {0x17, "\x1b[37;44m"},  {0x70, "\x1b[30;47m"},  {0x4F, "\x1b[97;41m"},
        {0xC0, "\x1b[30;101m"}, {0x9E, "\x1b[93;104m"}, {0xF0, "\x1b[30;107m"}, {0x60, "\x1b[30;43m"},
    };
    for (const auto& row : table) EXPECT_EQ(TerminalRenderer::ColourSequence(row.attr), row.sgr) << int(row.attr);
}

TEST(TerminalRenderer, CursorShapeAndVisibility) {
    Screen s;
    TerminalRenderer r;
    FakeTerminal t(25, 80);
    t.Apply(r.Render(s.Frame(), 25, 80));
    EXPECT_FALSE(t.cursorVisible());

    struct {
        int size, row, column;
        bool visible;
        int shape;
    } const steps[] = {
        {100, 3, 4, true, 2},   // block
        {50, 3, 5, true, 6},    // bar
        {25, 3, 5, true, 4},    // underline
        {0, 3, 5, false, 4},    // hidden keeps the last shape
        {100, 26, 1, false, 4}, // outside the terminal
        {100, 25, 80, true, 2},
    };
    for (const auto& step : steps) {
        s.cursorSize = step.size;
        s.cursorRow = step.row;
        s.cursorColumn = step.column;
        t.Apply(r.Render(s.Frame(), 25, 80));
        EXPECT_EQ(t.cursorVisible(), step.visible) << step.size << " at " << step.row << "," << step.column;
        EXPECT_EQ(t.shape(), step.shape) << step.size;
        if (step.visible) {
            EXPECT_EQ(t.row(), step.row);
            EXPECT_EQ(t.column(), step.column);
        }
    }
    s.cursorColumn = 79;
    EXPECT_EQ(r.Render(s.Frame(), 25, 80), "\x1b[25;79H");  // a move alone costs only the move
}

TEST(TerminalRenderer, SmallTerminalIsClippedAndShowsTheRestWhenItGrows) {
    Screen s;
    s.At(5, 5) = Cell {U'a', 0x07};
    s.At(20, 70) = Cell {U'z', 0x2F};
    TerminalRenderer r;
    FakeTerminal small(10, 40);
    small.Apply(r.Render(s.Frame(), 10, 40));
    EXPECT_EQ(small.At(5, 5).ch, U'a');
    s.At(20, 71) = Cell {U'y', 0x2F};  // outside: nothing to send
    EXPECT_EQ(r.Render(s.Frame(), 10, 40), "");

    FakeTerminal large(25, 80);
    large.Apply(r.Render(s.Frame(), 25, 80));  // a new size repaints everything
    EXPECT_EQ(large.At(20, 70), (Cell {U'z', 0x2F}));
    EXPECT_EQ(large.At(20, 71), (Cell {U'y', 0x2F}));
    EXPECT_EQ(large.At(5, 5).ch, U'a');
}

TEST(TerminalRenderer, TerminalLargerThanTheBufferShowsBlanksBeyondIt) {
    Screen s;
    s.At(25, 80) = Cell {U'e', 0x07};
    TerminalRenderer r;
    FakeTerminal t(30, 100);
    t.Apply(r.Render(s.Frame(), 30, 100));
    EXPECT_EQ(t.At(25, 80).ch, U'e');
    EXPECT_EQ(t.At(30, 100), Cell {});
}

// A terminal too small for the console shows a notice over its last row;
// once the notice goes, the console's own cells are there again.
TEST(TerminalRenderer, NoticeLineCoversTheLastVisibleRowWhileItIsGiven) {
    const struct {
        const char* name;
        int rows, columns;
        std::string text;
        std::u32string shown;  // the terminal's last row
    } cases[] = {
        {"padded to the width", 20, 10, "small", U"small     "},
        {"cut at the width", 20, 5, "too small", U"too s"},
        {"code page 850 letters", 24, 4, "fa \x82", U"fa \u00E9"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Screen s;
        for (int col = 1; col <= 80; ++col) s.At(c.rows, col) = Cell {U'x', 0x07};
        std::vector<Cell> notice = NoticeLine(c.text, c.columns);
        TerminalFrame frame = s.Frame();
        frame.notice = &notice;
        TerminalRenderer r;
        FakeTerminal t(c.rows, c.columns);
        t.Apply(r.Render(frame, c.rows, c.columns));
        for (int col = 1; col <= c.columns; ++col) {
            EXPECT_EQ(t.At(c.rows, col).ch, c.shown[static_cast<std::size_t>(col - 1)]) << "column " << col;
            EXPECT_EQ(t.At(c.rows, col).attr, 0x70);
        }
        t.Apply(r.Render(s.Frame(), c.rows, c.columns));
        for (int col = 1; col <= c.columns; ++col) EXPECT_EQ(t.At(c.rows, col), (Cell {U'x', 0x07}));
    }
}

TEST(TerminalRenderer, ControlCharactersNeverReachTheTerminal) {
    Screen s;
    TerminalRenderer r;
    r.Render(s.Frame(), 25, 80);
    s.At(1, 1) = Cell {U'\x1b', 0x07};
    s.At(1, 2) = Cell {U'\n', 0x07};
    s.At(1, 3) = Cell {char32_t {0x9B}, 0x07};  // C1 CSI
    EXPECT_EQ(r.Render(s.Frame(), 25, 80), "\x1b[1;1H   ");
}

// Random edits, each frame checked on the fake terminal: the gap rewriting,
// colour tracking and moves together must always give the drawn screen.
TEST(TerminalRenderer, RandomEditsAlwaysLeaveTheTerminalShowingTheFrame) {
    std::mt19937 random(1234);
    Screen s;
    TerminalRenderer r;
    FakeTerminal t(25, 80);
    t.Apply(r.Render(s.Frame(), 25, 80));
    const char32_t glyphs[] = {U'a', U'B', U' ', U'\u00E9', U'\u2591', U'\u2550'};
    for (int round = 0; round < 200; ++round) {
        int edits = static_cast<int>(random() % 12) + 1;
        for (int e = 0; e < edits; ++e) {
            int row = static_cast<int>(random() % 25) + 1;
            int column = static_cast<int>(random() % 80) + 1;
            int run = static_cast<int>(random() % 6) + 1;
            auto attr = static_cast<std::uint8_t>(random() % 3 == 0 ? random() % 256 : 0x07);
            for (int k = 0; k < run && column + k <= 80; ++k) s.At(row, column + k) = Cell {glyphs[random() % 6], attr};
        }
        s.cursorSize = static_cast<int>(random() % 3) * 50;
        s.cursorRow = static_cast<int>(random() % 25) + 1;
        s.cursorColumn = static_cast<int>(random() % 80) + 1;
        t.Apply(r.Render(s.Frame(), 25, 80));
        for (int row = 1; row <= 25; ++row)
            for (int column = 1; column <= 80; ++column)
                ASSERT_EQ(t.At(row, column), s.At(row, column)) << "round " << round << " at " << row << "," << column;
        ASSERT_EQ(t.cursorVisible(), s.cursorSize > 0);
        if (s.cursorSize > 0) {
            ASSERT_EQ(t.row(), s.cursorRow);
            ASSERT_EQ(t.column(), s.cursorColumn);
        }
    }
}

TEST(TerminalClipboard, SequenceCarriesTheTextAsBase64OfUtf8) {
    EXPECT_EQ(ClipboardSequence("h\x82"), "\x1b]52;c;aMOp\a");        // "hé"
    EXPECT_EQ(ClipboardSequence("a\r\nb"), "\x1b]52;c;YQpi\a");       // "a\nb"
    EXPECT_EQ(ClipboardSequence(""), "\x1b]52;c;\a");
    EXPECT_EQ(ClipboardSequence("abcd"), "\x1b]52;c;YWJjZA==\a");
}

}  // namespace
}  // namespace qp
