#include "input/key_probe.h"

#include <gtest/gtest.h>

#include <string>

#include "screen/memory_console.h"

namespace qp {
namespace {

TEST(KeyProbe, NamesOfKeyCodes) {
    struct NameCase {
        key::Code code;
        const char* name;
    };
    const NameCase cases[] = {
        {key::Up, "Up"},           {key::CtrlLeft, "Ctrl+Left"},   {key::F4, "F4"},
        {key::AltF4, "Alt+F4"},    {key::ShiftF1, "Shift+F1"},     {0x6700, "Ctrl+F10"},
        {key::AltX, "Alt+X (calculator)"}, {0x1000, "Alt+Q"},      {0x3200, "Alt+M"},
        {1, "Ctrl+A"},             {key::Enter, "Enter"},          {'a', "'a'"},
        {130, "'\x82'"},           {key::BackTab, "Shift+Tab"},    {key::F11, "F11 or Shift+F4"},
        {0x0100, "scan 01"},       {255, "character 255"},         {0, "none"},
    };
    for (const auto& c : cases) EXPECT_EQ(KeyCodeName(c.code), c.name) << c.code;
}

class KeyProbeScreen : public ::testing::Test {
protected:
    std::string Row(int row) { return console.RowText(row); }
    bool RowStartsWith(int row, const std::string& start) { return Row(row).rfind(start, 0) == 0; }
    bool RowHas(int row, const std::string& part) { return Row(row).find(part) != std::string::npos; }

    MemoryConsole console;
    Keyboard keyboard {console};
};

// Each read on its own line: code, name, and from column 44 the console event,
// never run into the name.
constexpr std::size_t kEventColumn = 43;

TEST_F(KeyProbeScreen, ShowsEachKeyUntilEscIsPressedTwiceInARow) {
    console.SetCursorSize(50);
    console.PressKeys({"Ctrl+Left", "Esc", "a", "Esc"});
    console.Click(10, 5);
    console.PressKeys({"Esc", "Esc"});
    EXPECT_EQ(RunKeyProbe(console, keyboard), 0);
    EXPECT_EQ(console.QueuedEvents(), 0u);
    EXPECT_EQ(console.CursorSize(), 50);
    EXPECT_TRUE(RowHas(1, "key probe"));
    EXPECT_TRUE(RowHas(2, "Esc twice in a row ends"));
    EXPECT_EQ(Row(3).find("Console event"), kEventColumn) << Row(3);
    struct Line {
        const char* start;
        const char* event;
    };
    const Line lines[] = {
        {" 7300   29440  Ctrl+Left", "ch 00 sc 4B ctl 0008"}, {" 001B      27  Esc", "ch 1B sc 01 ctl 0000"},
        {" 0061      97  'a'", "ch 61 sc 1E ctl 0000"},      {" 001B      27  Esc", "ch 1B sc 01 ctl 0000"},
        {" 0A45    2629  Left click col 10 row 5", "mouse 10,5 btn 1 act 8 ctl 0000"},
        {" 001B      27  Esc", "ch 1B sc 01 ctl 0000"},  // the first of the final pair
    };
    int row = 4;
    for (const Line& line : lines) {
        EXPECT_TRUE(RowStartsWith(row, line.start)) << Row(row);
        EXPECT_EQ(Row(row).substr(kEventColumn, std::string(line.event).size()), line.event) << Row(row);
        ++row;
    }
    EXPECT_EQ(Row(row), std::string(80, ' '));
}

TEST_F(KeyProbeScreen, LongestClickNameKeepsItsColumnsApart) {
    console.Resize(60, 220);
    console.Click(200, 50, 2);
    console.PressKeys({"Esc", "Esc"});
    RunKeyProbe(console, keyboard);
    EXPECT_TRUE(RowStartsWith(4, " C8B2  -14158  Right click col 200 row 50  mouse 200,50 btn 2 act 8")) << Row(4);
}

TEST_F(KeyProbeScreen, ComposedCharacterShowsEveryKeyStrokeOnALineOfItsOwn) {
    for (int scan : {0x4F, 0x51, 0x52}) {
        InputEvent e;
        e.scan = static_cast<std::uint8_t>(scan);
        e.control = kLeftAlt;
        console.Queue(e);
    }
    console.PressKeys({"x", "Esc", "Esc"});
    RunKeyProbe(console, keyboard);
    EXPECT_TRUE(RowStartsWith(4, " 0082     130  '\x82'")) << Row(4);
    const char* strokes[] = {"ch 00 sc 4F ctl 0002", "ch 00 sc 51 ctl 0002", "ch 00 sc 52 ctl 0002", "ch 78 sc 2D ctl 0000"};
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            EXPECT_EQ(Row(4 + i).substr(0, kEventColumn), std::string(kEventColumn, ' ')) << Row(4 + i);
        }
        EXPECT_EQ(Row(4 + i).substr(kEventColumn, 20), strokes[i]) << Row(4 + i);
    }
    EXPECT_TRUE(RowStartsWith(8, " 001B")) << Row(8);
}

TEST_F(KeyProbeScreen, FullListScrollsUnderTheHeading) {
    console.Resize(6, 80);
    console.TypeText("abcde");
    console.PressKeys({"Esc", "Esc"});
    RunKeyProbe(console, keyboard);
    EXPECT_TRUE(RowHas(1, "key probe"));
    EXPECT_TRUE(RowHas(3, "Console event"));
    EXPECT_TRUE(RowStartsWith(4, " 0064")) << Row(4);
    EXPECT_TRUE(RowStartsWith(5, " 0065")) << Row(5);
    EXPECT_TRUE(RowStartsWith(6, " 001B")) << Row(6);
}

TEST_F(KeyProbeScreen, ConsoleTooSmallForTheListStillEnds) {
    console.Resize(2, 20);
    console.TypeText("abc");
    console.PressKeys({"Esc", "Esc"});
    EXPECT_EQ(RunKeyProbe(console, keyboard), 0);
    EXPECT_EQ(Row(1).size(), 20u);
    EXPECT_TRUE(RowStartsWith(1, " qplayout: key probe"));
}

}  // namespace
}  // namespace qp
