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
    EXPECT_TRUE(RowStartsWith(4, " 7300   29440  Ctrl+Left")) << Row(4);
    EXPECT_TRUE(RowHas(4, "ch 00 sc 4B ctl 0008")) << Row(4);
    EXPECT_TRUE(RowStartsWith(5, " 001B      27  Esc")) << Row(5);
    EXPECT_TRUE(RowStartsWith(6, " 0061      97  'a'")) << Row(6);
    EXPECT_TRUE(RowStartsWith(7, " 001B      27  Esc")) << Row(7);
    EXPECT_TRUE(RowStartsWith(8, " 0A45    2629  Left click col 10 row 5")) << Row(8);
    EXPECT_TRUE(RowHas(8, "mouse col 10 row 5 btn 1 act 8")) << Row(8);
    EXPECT_TRUE(RowStartsWith(9, " 001B      27  Esc")) << Row(9);  // the first of the final pair
    EXPECT_EQ(Row(10), std::string(80, ' '));
}

TEST_F(KeyProbeScreen, ComposedCharacterShowsEveryKeyStroke) {
    for (int scan : {0x4F, 0x51, 0x52}) {
        InputEvent e;
        e.scan = static_cast<std::uint8_t>(scan);
        e.control = kLeftAlt;
        console.Queue(e);
    }
    console.PressKeys({"x", "Esc", "Esc"});
    RunKeyProbe(console, keyboard);
    EXPECT_TRUE(RowStartsWith(4, " 0082     130  '\x82'")) << Row(4);
    // Strokes that do not fit continue under the event column.
    EXPECT_TRUE(RowHas(4, "ch 00 sc 4F ctl 0002 | ch 00 sc 51 ctl 0002")) << Row(4);
    EXPECT_EQ(Row(5).substr(0, 42), std::string(37, ' ') + "ch 00") << Row(5);
    EXPECT_TRUE(RowHas(5, "sc 52 ctl 0002 | ch 78 sc 2D ctl 0000")) << Row(5);
    EXPECT_TRUE(RowStartsWith(6, " 001B")) << Row(6);
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
