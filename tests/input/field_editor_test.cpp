#include "input/field_editor.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "input/idle_console.h"
#include "input/input_rig.h"
#include "input/refusal_recorder.h"

namespace qp {
namespace {

// Remembers the cursor and the field's row as they were each time the
// program took a key.
class WatchedConsole : public MemoryConsole {
public:
    struct Seen {
        int size, row, column;
        std::u32string line;
    };
    bool PollEvent(InputEvent& event) override {
        if (QueuedEvents() > 0) seen.push_back({CursorSize(), CursorRow(), CursorColumn(), RowU32(watchedRow)});
        return MemoryConsole::PollEvent(event);
    }
    std::vector<Seen> seen;
    int watchedRow = 5;
};

struct EditResult {
    std::string text;
    int position;
    key::Code key;
};

class FieldEditorTest : public ::testing::Test, protected testing::InputRig<WatchedConsole> {
protected:
    void SetUp() override { keyboard.SetExitKeys("ea", "d,1b"); }

    void Keys(std::initializer_list<std::string_view> names) { console.PressKeys(names); }

    EditResult Edit(std::string text, int position, int width = 0, int row = 5, int column = 10) {
        key::Code k = 0;
        editor.EditField(row, column, width, text, position, k);
        return {text, position, k};
    }

    std::string FieldOnScreen(int row, int column, int count) {
        return console.RowText(row).substr(static_cast<std::size_t>(column - 1), static_cast<std::size_t>(count));
    }
};

TEST(WordJumps, HelloWorld) {
    struct Case {
        int from, left, right;
    };
    // "hello world": the words start at 1 and 7; 12 is after the text.
    for (Case c : {Case {12, 7, 12}, Case {7, 1, 12}, Case {9, 7, 12}, Case {1, 1, 7}, Case {6, 1, 7}, Case {2, 1, 7}}) {
        EXPECT_EQ(WordLeft("hello world", c.from), c.left) << "from " << c.from;
        EXPECT_EQ(WordRight("hello world", c.from), c.right) << "from " << c.from;
    }
    // A stop at the first position goes to 1.
    EXPECT_EQ(WordLeft(" hello", 7), 1);
    EXPECT_EQ(WordLeft(",ab cd", 4), 1);
    EXPECT_EQ(WordLeft("  ab", 5), 3);
    // Delimiters other than the blank, and trailing blanks.
    EXPECT_EQ(WordLeft("a,b;c   ", 9), 5);
    EXPECT_EQ(WordRight("a,b;c   ", 1), 3);
    EXPECT_EQ(WordRight("abc   ", 2), 7);
}

TEST_F(FieldEditorTest, EditingKeysOnAnOrdinaryField) {
    struct Case {
        const char* name;
        std::string text;
        int position;
        bool insert;
        std::vector<std::string_view> keys;
        std::string wantText;
        int wantPosition;
    };
    const std::vector<Case> cases = {
        {"insert into blanks", "ABC       ", 4, true, {"X"}, "ABCX      ", 5},
        {"insert into a full text does nothing", "ABCDEFGHIJ", 4, true, {"X"}, "ABCDEFGHIJ", 4},
        {"overwrite a full text", "ABCDEFGHIJ", 4, false, {"X"}, "ABCXEFGHIJ", 5},
        {"overwrite after the last character does nothing", "ABC", 4, false, {"X"}, "ABC", 4},
        {"end after the text", "ABC       ", 1, true, {"End"}, "ABC       ", 4},
        {"end in a blank field", "          ", 6, true, {"End"}, "          ", 1},
        {"home", "ABC  ", 4, true, {"Home"}, "ABC  ", 1},
        {"right stops after the text", "AB", 2, true, {"Right", "Right", "Right"}, "AB", 3},
        {"left stops at the start", "AB", 2, true, {"Left", "Left"}, "AB", 1},
        {"backspace", "ABCD ", 3, true, {"Backspace"}, "ACD  ", 2},
        {"backspace at the start", "ABCD ", 1, true, {"Backspace"}, "ABCD ", 1},
        {"delete", "ABCD ", 2, true, {"Del"}, "ACD  ", 2},
        {"delete after the text", "ABCD", 5, true, {"Del"}, "ABCD", 5},
        {"ctrl+y blanks", "ABCD ", 3, true, {"Ctrl+y"}, "     ", 1},
        {"ctrl+home blanks", "ABCD ", 3, true, {"Ctrl+Home"}, "     ", 1},
        {"word left twice", "hello world", 12, true, {"Ctrl+Left", "Ctrl+Left"}, "hello world", 1},
        {"word right twice", "hello world", 1, true, {"Ctrl+Right", "Ctrl+Right"}, "hello world", 12},
        {"position forced into range", "AB", 40, true, {}, "AB", 3},
        {"position below 1", "AB", -3, true, {}, "AB", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        console.SetInsertToggle(c.insert);
        for (auto k : c.keys) console.PressKey(k);
        Keys({"Enter"});
        EditResult r = Edit(c.text, c.position);
        EXPECT_EQ(r.text, c.wantText);
        EXPECT_EQ(r.position, c.wantPosition);
        EXPECT_EQ(r.key, key::Enter);
    }
}

TEST_F(FieldEditorTest, TypedTextIsShownAndTheInsertToggleIsTheConsoles) {
    console.SetInsertToggle(true);
    console.TypeText("ab");
    Keys({"Ins", "Home", "Z", "Ins", "Enter"});
    EditResult r = Edit("     ", 1);
    EXPECT_EQ(r.text, "Zb   ");
    EXPECT_EQ(FieldOnScreen(5, 10, 5), "Zb   ");
    EXPECT_TRUE(console.InsertToggle());  // flipped twice
    // Cursor: 50 % in insert mode, 100 % after the first Ins, 50 % again, hidden at the end.
    ASSERT_EQ(console.seen.size(), 7u);
    EXPECT_EQ(console.seen[0].size, 50);
    EXPECT_EQ(console.seen[3].size, 100);
    EXPECT_EQ(console.seen[5].size, 100);
    EXPECT_EQ(console.seen[6].size, 50);
    EXPECT_EQ(console.CursorSize(), 0);
    // The cursor stood on the character to be typed, and goes back to the origin.
    EXPECT_EQ(console.seen[1].column, 11);
    EXPECT_EQ(console.CursorRow(), 5);
    EXPECT_EQ(console.CursorColumn(), 10);
}

TEST_F(FieldEditorTest, EndingKeysAreTranslatedAndFiltered) {
    struct Case {
        const char* name;
        const char* exitKeys;
        std::vector<std::string_view> keys;
        key::Code want;
    };
    const std::vector<Case> cases = {
        {"enter becomes end when end is an exit key", "1b,d,4f00", {"Enter"}, key::End},
        {"tab becomes enter, not end", "1b,d,4f00", {"Tab"}, key::Enter},
        {"enter and tab ignored when not exit keys", "1b", {"Enter", "Tab", "Esc"}, key::Esc},
        {"alt+f4 is esc", "1b", {"Alt+F4"}, key::Esc},
        {"ctrl+f4 is esc", "1b", {"Ctrl+F4"}, key::Esc},
        {"back-tab is up", "4800,1b", {"Shift+Tab"}, key::Up},
        {"a key with its own result", "d=5000,1b", {"Enter"}, key::Down},
        {"empty set ends with any key", "", {"F5"}, 0x3F00},
        {"editing keys never end", "", {"Left", "Home", "End", "F6"}, 0x4000},
        {"ctrl+left at the start may end", "7300", {"Home", "Ctrl+Left"}, key::CtrlLeft},
        {"ctrl+right at the end may end", "7400", {"End", "Right", "Right", "Ctrl+Right"}, key::CtrlRight},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        keyboard.SetExitKeys("ea", c.exitKeys);
        for (auto k : c.keys) console.PressKey(k);
        EditResult r = Edit("AB ", 2);
        EXPECT_EQ(r.key, c.want);
        EXPECT_EQ(console.QueuedEvents(), 0u);
    }
}

TEST_F(FieldEditorTest, UpAndDownMoveBetweenRowsOfAWrappedField) {
    keyboard.SetExitKeys("ea", "4800,5000,1b");
    struct Case {
        int position;
        std::string_view key;
        int wantPosition;
        key::Code wantKey;
    };
    // Ten characters in rows of five: positions 1-5, 6-10, and 11 after the text.
    for (Case c : {Case {8, "Up", 3, key::Esc}, Case {3, "Up", 3, key::Up}, Case {3, "Down", 8, key::Esc},
                   Case {6, "Down", 11, key::Esc}, Case {7, "Down", 7, key::Down}}) {
        SCOPED_TRACE(::testing::Message() << c.key << " from " << c.position);
        console.PressKey(c.key);
        if (c.wantKey == key::Esc) Keys({"Esc"});
        EditResult r = Edit("ABCDEFGHIJ", c.position, 5);
        EXPECT_EQ(r.position, c.wantPosition);
        EXPECT_EQ(r.key, c.wantKey);
    }
    EXPECT_EQ(FieldOnScreen(5, 10, 6), "ABCDE ");
    EXPECT_EQ(FieldOnScreen(6, 10, 6), "FGHIJ ");
}

TEST_F(FieldEditorTest, CursorAfterAFullLastRowStaysAtThatRowsEnd) {
    Keys({"End", "Esc"});
    Edit("ABCDEFGHIJ", 1, 5);
    ASSERT_EQ(console.seen.size(), 2u);
    EXPECT_EQ(console.seen[1].row, 6);
    EXPECT_EQ(console.seen[1].column, 15);
}

TEST_F(FieldEditorTest, ChoiceFieldCyclesAndSearchesByLetter) {
    editor.SetFieldChoices("|S,Si|N,No");
    auto arrows = [&] {
        std::u32string row = console.RowU32(5);
        return std::u32string {row[8], row[11]};
    };
    // Shows No between the arrows; Right gives Si and the text S; the letter n finds No again.
    std::string text = "N";
    int row = 5, column = 10, width = 0, position = 1;
    key::Code k = 0;
    Keys({"Right", "Enter"});
    editor.EditField(row, column, width, text, position, k);
    EXPECT_EQ(text, "S");
    EXPECT_EQ(arrows(), U"  ");  // blanked when the edit ends
    EXPECT_EQ(FieldOnScreen(5, 10, 2), "Si");

    Keys({"n", "Enter"});
    editor.EditField(row, column, width, text, position, k);
    EXPECT_EQ(text, "N");
    EXPECT_EQ(FieldOnScreen(5, 10, 2), "No");
    EXPECT_EQ(k, key::Enter);
}

TEST_F(FieldEditorTest, ChoiceFieldShowsArrowsWhileEditing) {
    editor.SetFieldChoices("|1,Un|2,Dos|3,Tres");
    Keys({"Left", "Left", "Esc"});
    EditResult r = Edit("2", 1);
    ASSERT_EQ(console.seen.size(), 3u);
    // The arrows frame the widest description; no cursor is shown.
    EXPECT_EQ(console.seen[0].line.substr(8, 6), U"\u25C4Dos \u25BA");
    EXPECT_EQ(console.seen[1].line.substr(8, 6), U"\u25C4Un  \u25BA");
    EXPECT_EQ(console.seen[2].line.substr(8, 6), U"\u25C4Tres\u25BA");
    EXPECT_EQ(console.seen[0].size, 0);
    EXPECT_EQ(r.text, "3");
    EXPECT_EQ(r.key, key::Esc);
}

TEST_F(FieldEditorTest, ChoiceFieldShowsAValueThatIsNoCodeAsItIs) {
    editor.SetFieldChoices("|S,S\xA1|N,No");
    Keys({"Esc"});
    Edit("x", 1);
    Keys({"Esc"});
    Edit("n", 1);
    ASSERT_EQ(console.seen.size(), 2u);
    EXPECT_EQ(console.seen[0].line.substr(8, 4), U"\u25C4x \u25BA");
    EXPECT_EQ(console.seen[1].line.substr(8, 4), U"\u25C4n \u25BA");
}

TEST_F(FieldEditorTest, ChoiceFieldKeys) {
    struct Case {
        const char* name;
        std::string text;
        std::vector<std::string_view> keys;
        std::string wantText;
        key::Code wantKey;
    };
    keyboard.SetExitKeys("ea", "d,1b,4800,5000");
    const std::vector<Case> cases = {
        // Passing through never changes a value: one that is no option's code
        // stays, and so does a code stored in the other case.
        {"unknown text is kept when passed through", "X", {"Enter"}, "X", key::Enter},
        {"right from an unknown text picks the first", "X", {"Right", "Enter"}, "A", key::Enter},
        {"left from an unknown text picks the last", "X", {"Left", "Enter"}, "C", key::Enter},
        {"a letter from an unknown text searches from the first", "X", {"b", "Enter"}, "A", key::Enter},
        {"small letter code kept when passed through", "b", {"Enter"}, "b", key::Enter},
        {"right from a small letter code picks the first", "b", {"Right", "Enter"}, "A", key::Enter},
        {"right wraps to the first", "C", {"Right", "Enter"}, "A", key::Enter},
        {"left wraps to the last", "A", {"Left", "Enter"}, "C", key::Enter},
        {"a letter searches after the current option", "A", {"b", "Enter"}, "C", key::Enter},
        {"the search folds accents", "A", {"\x82", "Enter"}, "B", key::Enter},
        {"a letter without a match keeps the option", "B", {"z", "Enter"}, "B", key::Enter},
        {"backspace, del and ctrl+y do nothing", "B", {"Backspace", "Del", "Ctrl+y", "Enter"}, "B", key::Enter},
        {"up ends at once", "B", {"Up"}, "B", key::Up},
        {"down ends at once", "B", {"Down"}, "B", key::Down},
    };
    editor.SetFieldChoices("|A,Bo|B,\x90ste|C,Bis");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (auto k : c.keys) console.PressKey(k);
        EditResult r = Edit(c.text, 1);
        EXPECT_EQ(r.text, c.wantText);
        EXPECT_EQ(r.key, c.wantKey);
    }
}

// A key that the field takes without effect is reported, so that the
// program can say why; it beeps no more than before.
TEST_F(FieldEditorTest, KeysAFieldCannotTakeAreReported) {
    struct Case {
        const char* name;
        const char* choices;
        bool insert;
        std::string text;
        int position;
        std::vector<std::string_view> keys;
        std::vector<std::string> heard;
    };
    const std::vector<Case> cases = {
        {"typed past the end", "", false, "12", 3, {"3"}, {"FieldFull"}},
        {"inserted into a full field", "", true, "12", 1, {"3"}, {"FieldFull"}},
        {"inserted where a blank is left", "", true, "1 ", 1, {"3"}, {}},
        {"typed over a character", "", false, "12", 2, {"3"}, {}},
        {"a letter no choice begins with", "|S,S\xA1|N,No", false, "S", 1, {"z"}, {"NotAChoice S\xA1/No"}},
        {"a letter a choice begins with", "|S,S\xA1|N,No", false, "S", 1, {"n"}, {}},
        {"Backspace in a field of choices", "|S,S\xA1|N,No", false, "S", 1, {"Backspace"}, {"NotAChoice S\xA1/No"}},
    };
    testing::RefusalRecorder recorder;
    RefusalListenerScope listening(keyboard, recorder);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        recorder.log.clear();
        editor.SetFieldChoices(c.choices);
        console.SetInsertToggle(c.insert);
        for (auto k : c.keys) console.PressKey(k);
        console.PressKey("Enter");
        Edit(c.text, c.position);
        std::vector<std::string> heard = c.heard;
        if (!heard.empty()) heard.push_back("next key");  // Enter
        EXPECT_EQ(recorder.log, heard);
        EXPECT_EQ(console.beeps(), 0);
    }
}

TEST_F(FieldEditorTest, ClipboardCopyAndPaste) {
    console.SetClipboard("  x\ty\x7Fz  ");
    Keys({"Ctrl+v", "Enter"});
    EditResult r = Edit("ABCDEF", 3);
    EXPECT_EQ(r.text, "ABxyzF");
    EXPECT_EQ(r.position, 3);  // the cursor does not move
    EXPECT_EQ(FieldOnScreen(5, 10, 6), "ABxyzF");

    console.SetClipboard("123456");
    Keys({"Ctrl+v", "Enter"});
    EXPECT_EQ(Edit("ABCD", 3).text, "AB12");  // as far as the field goes

    Keys({"Ctrl+c", "Enter"});
    Edit("  to copy  ", 1);
    EXPECT_EQ(console.Clipboard(), "to copy");

    editor.SetFieldChoices("|S,Si|N,No");
    Keys({"Ctrl+c", "Ctrl+v", "Enter"});
    EXPECT_EQ(Edit("N", 1).text, "N");
    EXPECT_EQ(console.Clipboard(), "No");
}

TEST_F(FieldEditorTest, MaskedFieldShowsXAndDoesNotEcho) {
    keyboard.SetExitKeys("h", "");
    for (bool insert : {true, false}) {
        SCOPED_TRACE(insert ? "insert" : "overwrite");
        console.SetInsertToggle(insert);
        console.TypeText("ab");
        Keys({"Enter"});
        EditResult r = Edit("     ", 1);
        EXPECT_EQ(r.text, "ab   ");
        EXPECT_EQ(FieldOnScreen(5, 10, 6), "XXXXX ");
    }
    // A wrapped field shows width - 1 mask characters on each of its rows.
    console.TypeText("abcdefg");
    Keys({"Enter"});
    EXPECT_EQ(Edit("       ", 1, 4, 10).text, "abcdefg");
    EXPECT_EQ(FieldOnScreen(10, 10, 5), "XXX  ");
    EXPECT_EQ(FieldOnScreen(11, 10, 5), "XXX  ");
    console.SetClipboard("before");
    Keys({"Ctrl+c", "Enter"});
    Edit("secret", 1);
    EXPECT_EQ(console.Clipboard(), "before");
}

TEST_F(FieldEditorTest, MouseClicks) {
    keyboard.SetExitKeys("ea", "d,1b");
    // A click inside a wrapped field moves the cursor to the clicked character,
    // the short last row included; a click outside ends the edit.
    console.Click(12, 6);
    console.Click(11, 7);
    console.Click(30, 5);
    EditResult r = Edit("ABCDEFGHIJ", 1, 4);
    EXPECT_EQ(r.key, -(30 * 100 + 5));
    EXPECT_EQ(r.position, 10);
    ASSERT_EQ(console.seen.size(), 3u);
    EXPECT_EQ(console.seen[1].row, 6);
    EXPECT_EQ(console.seen[1].column, 12);

    // Past the end of the short last row is outside the field.
    console.Click(13, 7);
    EXPECT_EQ(Edit("ABCDEFGHIJ", 1, 4).key, -(13 * 100 + 7));

    // On a choice field the arrows act as Left and Right, the description as nothing.
    editor.SetFieldChoices("|A,One|B,Two|C,Six");
    console.Click(9, 5);
    console.Click(11, 5);
    console.Click(9, 5);
    Keys({"Enter"});
    EXPECT_EQ(Edit("A", 1).text, "B");
    console.Click(13, 5);
    Keys({"Enter"});
    EXPECT_EQ(Edit("A", 1).text, "B");
}

TEST_F(FieldEditorTest, MouseCoordinatesAreThoseOfTheScreenInsideAWindow) {
    windows.PushScreenRegion(3, 20, 10, 60);
    // Row 2, column 5 of the window is screen row 5, column 25.
    console.Click(27, 5);
    Keys({"Enter"});
    EditResult r = Edit("ABCDEF", 1, 0, 2, 5);
    EXPECT_EQ(r.position, 3);
    EXPECT_EQ(FieldOnScreen(5, 25, 6), "ABCDEF");
    windows.PopScreenRegion();
}

TEST(FieldEditorIdle, WaitsForTheConsoleBetweenKeysInsteadOfPolling) {
    testing::InputRig<IdleConsole> rig;
    rig.keyboard.SetExitKeys("ea", "d");
    rig.console.TypeText("ab");
    rig.console.PressKeys({"Ins", "Enter"});
    int row = 5, column = 10, width = 0, position = 1;
    std::string text = "    ";
    key::Code key = 0;
    rig.editor.EditField(row, column, width, text, position, key);
    EXPECT_EQ(text, "ab  ");
    EXPECT_EQ(key, key::Enter);
    EXPECT_EQ(rig.console.waits(), rig.console.emptyPolls());
    EXPECT_GE(rig.console.waits(), 4 * 3);
}

TEST_F(FieldEditorTest, ZeroRowAndColumnMeanTheCursor) {
    console.SetCursor(7, 30);
    Keys({"Enter"});
    int row = 0, column = 0, width = 0, position = 1;
    std::string text = "HI";
    key::Code k = 0;
    editor.EditField(row, column, width, text, position, k);
    EXPECT_EQ(row, 7);
    EXPECT_EQ(column, 30);
    EXPECT_EQ(width, 3);
    EXPECT_EQ(FieldOnScreen(7, 30, 2), "HI");
}

}  // namespace
}  // namespace qp
