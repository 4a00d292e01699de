#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "case_name.h"
#include "screen/colours.h"
#include "screen/memory_console.h"

namespace qp {
namespace {

// Every row distinct, so the attribute tells which row was selected.
const ColourTable kTable {{{15, 1}, {7, 1}, {1, 7}, {14, 4}, {12, 2}}};

std::uint8_t AttrOfRow(int row) {
    const auto& r = kTable[static_cast<std::size_t>(row)];
    return static_cast<std::uint8_t>((r[1] << 4) | r[0]);
}

struct ColourCase {
    std::vector<std::string> codes;  // applied in order, starting from row 0
    int index;                       // the row current afterwards
};

class SetColourTest : public ::testing::TestWithParam<ColourCase> {};

TEST_P(SetColourTest, SelectsTheRowOfTheCode) {
    MemoryConsole console;
    Screen screen(console);
    Colours colours(screen, kTable);
    for (const auto& code : GetParam().codes) colours.SetColour(code);
    EXPECT_EQ(colours.CurrentIndex(), GetParam().index);
    EXPECT_EQ(screen.Attribute(), AttrOfRow(GetParam().index));
}

INSTANTIATE_TEST_SUITE_P(
    Codes, SetColourTest,
    ::testing::Values(ColourCase {{"h"}, 0}, ColourCase {{"n"}, 1}, ColourCase {{"R"}, 2}, ColourCase {{"rn"}, 3},
                      ColourCase {{"u"}, 4}, ColourCase {{"UR"}, 4}, ColourCase {{"nru"}, 4},
                      ColourCase {{"x"}, 0},
                      // "+" saves before the new row is chosen; "-" gives it back.
                      ColourCase {{"n", "+rh"}, 2}, ColourCase {{"n", "+rh", "-"}, 1},
                      ColourCase {{"u", "+n", "-"}, 4}, ColourCase {{"n", "+"}, 0}, ColourCase {{"n", "+", "-"}, 1},
                      ColourCase {{"r", "+n", "+u", "-", "-"}, 2},
                      // "-" on an empty stack is row 0; "-" with "U" only restores.
                      ColourCase {{"n", "-"}, 0}, ColourCase {{"n", "+r", "-u"}, 1},
                      // "+" and "-" in one code: saves, then takes the same row back.
                      ColourCase {{"n", "+-"}, 1}),
    // {"n", "+rh", "-"} is NThenSaveRhThenRestore.
    [](const ::testing::TestParamInfo<ColourCase>& p) {
        std::string words;
        for (const std::string& code : p.param.codes) {
            if (!words.empty()) words += " then ";
            for (char c : code) words += c == '+' ? std::string(" save ") : c == '-' ? std::string(" restore ") : std::string(1, c);
        }
        return CaseName(words);
    });

TEST(SetColour, BlankCodeChangesNothing) {
    MemoryConsole console;
    Screen screen(console);
    Colours colours(screen, kTable);
    colours.SetColour("rn");
    for (const char* code : {"", " ", "   "}) {
        colours.SetColour(code);
        EXPECT_EQ(colours.CurrentIndex(), 3);
        EXPECT_EQ(screen.Attribute(), AttrOfRow(3));
    }
}

TEST(SetColour, ColourNumberOutsideTheConsoleRangeKeepsThatColour) {
    const ColourTable table {{{16, 2}, {3, 99}, {-1, -1}, {0, 0}, {0, 0}}};
    MemoryConsole console;
    Screen screen(console);
    screen.SetAttribute(0x4E);
    Colours colours(screen, table);
    colours.SetColour("h");
    EXPECT_EQ(screen.Attribute(), 0x2E);  // background 2, foreground kept
    colours.SetColour("n");
    EXPECT_EQ(screen.Attribute(), 0x23);  // foreground 3, background kept
    colours.SetColour("r");
    EXPECT_EQ(screen.Attribute(), 0x23);
    EXPECT_EQ(colours.CurrentIndex(), 2);
}

}  // namespace
}  // namespace qp
