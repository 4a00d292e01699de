#include "input/form_engine.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "input/input_rig.h"
#include "screen/help.h"
#include "input/refusal_recorder.h"

namespace qp {
namespace {

std::string Hex(int code) {
    const char* digits = "0123456789abcdef";
    unsigned value = static_cast<std::uint16_t>(code);
    std::string out;
    do {
        out.insert(out.begin(), digits[value % 16]);
        value /= 16;
    } while (value != 0);
    return out;
}

// Records what the engine asked of the program, one line per call.
class FakeHooks : public FormHooks {
public:
    explicit FakeHooks(FormTables& tables) : tables_(tables) {}

    void DrawScreen(std::int16_t screen) override {
        log.push_back("draw " + std::to_string(screen));
        if (onDraw) onDraw();
    }
    void ShowItemValue(std::int16_t screen, std::int16_t item) override {
        log.push_back("show " + std::to_string(screen) + "." + std::to_string(item));
    }
    std::int16_t AcceptItem(std::int16_t screen, std::int16_t item, const std::string& text, key::Code key) override {
        log.push_back("accept " + std::to_string(screen) + "." + std::to_string(item) + " [" + text + "] " + Hex(key));
        if (onAccept) onAccept(item);
        std::int16_t result = Next(itemResults);
        if (result == 0) tables_.Item(screen, item).Assign(text);
        return result;
    }
    std::int16_t AcceptScreen(std::int16_t screen, key::Code key) override {
        log.push_back("leave " + std::to_string(screen) + " " + Hex(key));
        return Next(screenResults);
    }
    void AfterListChoice(std::int16_t& list, std::int16_t& screen, std::int16_t& item) override {
        log.push_back("list " + std::to_string(list) + " " + std::to_string(screen) + "." + std::to_string(item));
        if (afterList) afterList(list, item);
    }
    std::int16_t ListStart(std::int16_t, std::string&, std::string&) override { return 0; }
    std::string ListLine(std::int16_t) override { return {}; }

    std::vector<std::string> log;
    std::deque<std::int16_t> itemResults;    // refusals to give, in order; then 0
    std::deque<std::int16_t> screenResults;  // the same for leaving the screen
    std::function<void()> onDraw;
    std::function<void(int item)> onAccept;
    std::function<void(std::int16_t& list, std::int16_t& item)> afterList;

private:
    static std::int16_t Next(std::deque<std::int16_t>& results) {
        if (results.empty()) return 0;
        std::int16_t r = results.front();
        results.pop_front();
        return r;
    }
    FormTables& tables_;
};

// Screen s with `count` items: item i on row i + 1, label "Item i: " from column 3,
// a value of five characters from column 11 holding "vi".
FormScreen MakeScreen(int count, std::string exitKeys) {
    FormScreen s;
    s.ScreenExitKeys = std::move(exitKeys);
    s.ItemCount = static_cast<std::int16_t>(count);
    s.items.resize(static_cast<std::size_t>(count));
    for (int i = 1; i <= count; ++i) {
        FormItem& item = s.items[static_cast<std::size_t>(i - 1)];
        item.Row = static_cast<std::int16_t>(i + 1);
        item.Column = 3;
        item.Label = "Item " + std::to_string(i) + ": ";
        item.Length = 5;
        item.Assign("v" + std::to_string(i));
    }
    return s;
}

// Enter, Esc, Up, Down, PgUp, PgDn, Ctrl+B, F2, F4, F5.
const std::string kExitKeys = "d,1b,4800,5000,4900,5100,2,3c00,3e00,3f00";

class FormEngineTest : public ::testing::Test, protected testing::InputRig<> {
protected:
    void SetUp() override {
        tables_.ScreenCount = 1;
        tables_.MaxItems = 3;
        tables_.screens.push_back(MakeScreen(3, kExitKeys));
        tables_.lists.resize(2);
    }

    FormEngine& Engine(std::string menuName = "", FormEngine::ListBrowserFn browser = {}) {
        engine_ = std::make_unique<FormEngine>(tables_, hooks_, editor, keyboard, windows, colours, help,
                                               std::move(menuName), std::move(browser));
        return *engine_;
    }
    key::Code Run(std::int16_t up = 0, std::int16_t down = 0, key::Code key = 0) {
        if (!engine_) Engine();
        engine_->RunScreen(1, up, down, key);
        return key;
    }
    void Keys(std::initializer_list<std::string_view> names) { console.PressKeys(names); }
    FormItem& Item(int i) { return tables_.Item(1, i); }
    using Log = std::vector<std::string>;

    Help help {windows, platform, "DOS", "CAT"};
    FormTables tables_;
    FakeHooks hooks_ {tables_};
    std::unique_ptr<FormEngine> engine_;
};

TEST_F(FormEngineTest, Navigation) {
    struct Case {
        const char* name;
        std::vector<std::string_view> keys;
        std::vector<int> skipped;
        std::int16_t leaveOnPgUp, leaveOnPgDn;
        Log log;
        key::Code key;
        std::int16_t target;
    };
    const std::vector<Case> cases = {
        {"enter on the last item leaves with 13",
         {"Enter", "Enter", "Enter"},
         {},
         0,
         0,
         {"draw 1", "accept 1.1 [v1   ] d", "accept 1.2 [v2   ] d", "accept 1.3 [v3   ] d", "leave 1 d"},
         key::Enter,
         0},
        {"down on the last stays; esc goes to the first, then leaves",
         {"Down", "Down", "Down", "Esc", "Esc"},
         {},
         0,
         0,
         {"draw 1", "accept 1.1 [v1   ] 5000", "accept 1.2 [v2   ] 5000", "accept 1.3 [v3   ] 5000", "show 1.3",
          "show 1.1", "leave 1 1b"},
         key::Esc,
         0},
        {"up on the first item of a top screen stays",
         {"Down", "Up", "Up", "Ctrl+b"},
         {},
         0,
         0,
         {"draw 1", "accept 1.1 [v1   ] 5000", "accept 1.2 [v2   ] 4800", "accept 1.1 [v1   ] 4800",
          "accept 1.1 [v1   ] 2", "leave 1 2"},
         key::CtrlB,
         0},
        {"pgup and pgdn stay in the screen with the flags 0",
         {"Down", "PgUp", "PgUp", "PgDn", "PgDn", "F5"},
         {},
         0,
         0,
         {"draw 1", "accept 1.1 [v1   ] 5000", "accept 1.2 [v2   ] 4900", "accept 1.1 [v1   ] 4900",
          "accept 1.1 [v1   ] 5100", "accept 1.3 [v3   ] 5100", "accept 1.3 [v3   ] 3f00", "leave 1 3f00"},
         0x3F00,
         0},
        {"pgup on the first item leaves with the flag set",
         {"Down", "PgUp", "PgUp"},
         {},
         1,
         0,
         {"draw 1", "accept 1.1 [v1   ] 5000", "accept 1.2 [v2   ] 4900", "accept 1.1 [v1   ] 4900", "leave 1 4900"},
         key::PgUp,
         1},
        {"pgdn on the last item leaves with the flag set",
         {"PgDn", "PgDn"},
         {},
         0,
         1,
         {"draw 1", "accept 1.1 [v1   ] 5100", "accept 1.3 [v3   ] 5100", "leave 1 5100"},
         key::PgDn,
         1},
        {"skipped items are passed over both ways",
         {"Down", "Up", "Enter", "Enter"},
         {2},
         0,
         0,
         {"draw 1", "accept 1.1 [v1   ] 5000", "accept 1.3 [v3   ] 4800", "accept 1.1 [v1   ] d",
          "accept 1.3 [v3   ] d", "leave 1 d"},
         key::Enter,
         0},
        {"the first and last editable items bound the loop",
         {"Up", "PgDn", "Down", "Esc"},
         {1, 3},
         1,
         0,
         {"draw 1", "accept 1.2 [v2   ] 4800", "accept 1.2 [v2   ] 5100", "accept 1.2 [v2   ] 5000", "show 1.2",
          "leave 1 1b"},
         key::Esc,
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tables_.screens[0] = MakeScreen(3, kExitKeys);
        for (int i : c.skipped) Item(i).Flags = kSkipped;
        hooks_.log.clear();
        Engine().SetTargetScreen(0);
        for (auto k : c.keys) console.PressKey(k);
        EXPECT_EQ(Run(c.leaveOnPgUp, c.leaveOnPgDn), c.key);
        EXPECT_EQ(hooks_.log, c.log);
        EXPECT_EQ(engine_->TargetScreen(), c.target);
        EXPECT_EQ(console.QueuedEvents(), 0u);
        EXPECT_TRUE(keyboard.ExitKeysEmpty());  // the caller's set is given back
    }
    EXPECT_EQ(console.beeps(), 0);
}

TEST_F(FormEngineTest, AScreenWithNothingToEditAsksToLeaveAtOnce) {
    for (int i = 1; i <= 3; ++i) Item(i).Flags = kSkipped;
    FormScreen& s = tables_.Screen(1);
    s.WindowTop = 5;
    s.WindowLeft = 10;
    s.WindowBottom = 12;
    s.WindowRight = 50;
    screen.Locate(6, 1);
    screen.Print("what lies under the window");
    std::u32string frameCorner;
    hooks_.onDraw = [&] { frameCorner = console.RowU32(5).substr(9, 2); };

    EXPECT_EQ(Run(0, 0, 1234), 1234);
    EXPECT_EQ(hooks_.log, (Log {"draw 1", "leave 1 4d2"}));
    EXPECT_EQ(frameCorner, U"\u2554\u2550");  // double frame while the screen runs
    EXPECT_EQ(console.RowText(6).substr(0, 26), "what lies under the window");
    EXPECT_EQ(windows.WindowDepth(), 0);
}

TEST_F(FormEngineTest, AnItemStartingBlankAndLeftBlankKeepsItsValue) {
    Item(1).Flags = kStartBlank;
    Item(2).Flags = kStartBlank;
    console.SetInsertToggle(true);
    Keys({"Enter"});
    console.TypeText("x");
    Keys({"Enter", "Esc", "Esc"});
    Run();
    EXPECT_EQ(hooks_.log[1], "accept 1.1 [v1   ] d");
    EXPECT_EQ(hooks_.log[2], "accept 1.2 [x    ] d");
}

TEST_F(FormEngineTest, HiddenEntryIsMaskedAndNeverShown) {
    Item(1).Flags = kHiddenEntry;
    Item(1).DescWidth = 3;
    console.SetInsertToggle(true);
    console.TypeText("ab");
    std::string whileTyped;
    hooks_.onAccept = [&](int) { whileTyped = console.RowText(2).substr(10, 8); };
    Keys({"Enter", "Esc", "Esc"});
    Run();
    EXPECT_EQ(hooks_.log[1], "accept 1.1 [ab   ] d");
    EXPECT_EQ(whileTyped, "        ");  // neither the text nor the mask stays behind
    EXPECT_EQ(keyboard.FieldMask(), 0);
}

TEST_F(FormEngineTest, CursorAtEndAndDescriptionArea) {
    Item(1).Flags = kCursorAtEnd;
    Item(1).DescWidth = 4;
    screen.Locate(2, 16);
    screen.Print("ZZZZ");
    console.SetInsertToggle(true);
    std::string whileEditing;
    console.TypeText("c");
    hooks_.onAccept = [&](int) { whileEditing = console.RowText(2).substr(10, 9); };
    Keys({"Enter", "Esc", "Esc"});
    Run();
    EXPECT_EQ(hooks_.log[1], "accept 1.1 [v1c  ] d");
    EXPECT_EQ(whileEditing, "v1c      ");  // the description area was blanked
}

TEST_F(FormEngineTest, HelpKey) {
    // Without a help topic F1 shows nothing and says so; with one, the help
    // pager takes the keys until its Esc. Either way the entry goes on with
    // the text and the cursor as the operator left them.
    struct HelpCase {
        const char* what;
        std::string menuName;
        std::string options;  // choices of item 1
        std::vector<std::string_view> keys;
        std::string accepted;
        std::vector<std::string> heard;
        int beeps = 0;
        int visibleRows = 0;  // 0: the whole console
    };
    const std::vector<std::string> noHelp = {"NoHelp", "next key"};
    const HelpCase cases[] = {
        {"no topic", "", "", {"F1", "Enter"}, "v1   ", noHelp},
        {"blank topic", "   ", "", {"F1", "Enter"}, "v1   ", noHelp},
        {"a topic that is no plain name", "../X", "", {"F1", "Enter"}, "v1   ", noHelp, 1},
        {"pager closed with Esc", "QPTEST  ", "", {"F1", "Esc", "Enter"}, "v1   ", {}},
        {"no room for the pager", "QPTEST", "", {"F1", "Enter"}, "v1   ",
         {"PopupTooLarge L'ajuda 80x9", "next key"}, 1, 8},
        {"typed text and cursor kept, no topic", "", "", {"a", "b", "F1", "c", "Enter"}, "abc  ", noHelp},
        {"typed text and cursor kept over the pager", "QPTEST", "", {"a", "b", "F1", "Esc", "c", "Enter"}, "abc  ", {}},
        {"cursor moved back kept", "QPTEST", "", {"End", "Left", "F1", "Esc", "x", "Enter"}, "vx   ", {}},
        {"choice picked before the help", "QPTEST", "|v1,Si|N,No", {"Space", "F1", "Esc", "Enter"}, "N    ", {}},
    };
    testing::RefusalRecorder recorder;
    RefusalListenerScope listening(keyboard, recorder);
    auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.Dir());
    for (const auto& c : cases) {
        hooks_.log.clear();
        recorder.log.clear();
        const int beeps = console.beeps();
        console.ShowOnly(c.visibleRows, 0);
        console.SetInsertToggle(false);
        Item(1).Assign("v1");
        Item(1).Options = c.options;
        std::string shownAtAccept;
        hooks_.onAccept = [&](int) { shownAtAccept = console.RowText(2).substr(10, 5); };
        Engine(c.menuName);
        for (auto k : c.keys) console.PressKey(k);
        Keys({"Esc", "Esc"});
        Run();
        EXPECT_EQ(hooks_.log, (Log {"draw 1", "accept 1.1 [" + c.accepted + "] d", "show 1.2", "show 1.1", "leave 1 1b"}))
            << c.what;
        if (!c.options.empty()) {
            EXPECT_EQ(shownAtAccept, "No   ") << c.what;
        }
        EXPECT_EQ(recorder.log, c.heard) << c.what;
        EXPECT_EQ(console.beeps() - beeps, c.beeps) << c.what;
    }
    std::filesystem::current_path(cwd);
}

TEST_F(FormEngineTest, ARefusedItemBeepsAndIsEditedAgainUnderTheSameExitKeys) {
    testing::RefusalRecorder recorder;
    RefusalListenerScope listening(keyboard, recorder);
    hooks_.itemResults = {-1};
    console.SetInsertToggle(false);
    console.TypeText("x");
    // F6 is no exit key of the screen: it would end an edit under the caller's empty set.
    Keys({"Enter", "F6", "Enter", "Esc", "Esc"});
    EXPECT_EQ(Run(), key::Esc);
    EXPECT_EQ(hooks_.log, (Log {"draw 1", "accept 1.1 [x1   ] d", "accept 1.1 [x1   ] d", "show 1.2", "show 1.1",
                                "leave 1 1b"}));
    EXPECT_EQ(console.beeps(), 1);
    EXPECT_EQ(recorder.log, (std::vector<std::string> {"ValueRefused 1.1", "next key"})) << "the program is told which item";
    EXPECT_EQ(Item(1).Value, "x1   ");
    EXPECT_TRUE(keyboard.ExitKeysEmpty());
}

TEST_F(FormEngineTest, ListKey) {
    struct Case {
        const char* name;
        std::int16_t listNo;
        int item;  // where F4 is pressed
        std::vector<std::int16_t> browserResults;
        std::function<void(std::int16_t&, std::int16_t&)> afterList;
        std::vector<std::string_view> keys;
        Log log;
        int beeps;
        int browserCalls;
    };
    int reopen = 0;
    const std::vector<Case> cases = {
        {"no list on the item: nothing happens", 0, 1, {}, {}, {"F4", "Esc"}, {"draw 1", "show 1.1", "leave 1 1b"}, 0, 0},
        {"a cancelled list is refused", 1, 1, {27}, {}, {"F4", "Esc"}, {"draw 1", "show 1.1", "leave 1 1b"}, 1, 1},
        {"a choice moves to the next item", 1, 1, {0}, {}, {"F4", "Esc", "Esc"},
         {"draw 1", "list 1 1.1", "show 1.2", "show 1.1", "leave 1 1b"}, 0, 1},
        {"a choice on the last item leaves the screen", 1, 3, {0}, {}, {"PgDn", "F4"},
         {"draw 1", "accept 1.1 [v1   ] 5100", "list 1 1.3", "leave 1 d"}, 0, 1},
        {"the hook asks for the list again", 1, 1, {0, 0},
         [&](std::int16_t& list, std::int16_t&) {
             if (reopen++ == 0) list = 0;
         },
         {"F4", "Esc", "Esc"}, {"draw 1", "list 1 1.1", "list 1 1.1", "show 1.2", "show 1.1", "leave 1 1b"}, 0, 2},
        {"the hook moves to another item, which is edited next", 1, 1, {0},
         [](std::int16_t&, std::int16_t& item) { item = 3; }, {"F4", "Enter"},
         {"draw 1", "list 1 1.1", "accept 1.3 [v3   ] d", "leave 1 d"}, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tables_.screens[0] = MakeScreen(3, kExitKeys);
        Item(c.item).ListNo = c.listNo;
        hooks_.log.clear();
        hooks_.afterList = c.afterList;
        std::deque<std::int16_t> results(c.browserResults.begin(), c.browserResults.end());
        int calls = 0;
        Engine("", [&](std::int16_t list) -> std::int16_t {
            EXPECT_EQ(list, c.listNo);
            ++calls;
            std::int16_t r = results.empty() ? std::int16_t {27} : results.front();
            if (!results.empty()) results.pop_front();
            return r;
        });
        int beepsBefore = console.beeps();
        for (auto k : c.keys) console.PressKey(k);
        Run();
        EXPECT_EQ(hooks_.log, c.log);
        EXPECT_EQ(console.beeps() - beepsBefore, c.beeps);
        EXPECT_EQ(calls, c.browserCalls);
    }
}

TEST_F(FormEngineTest, WithoutAListBrowserF4OnAListCountsAsCancelled) {
    Item(1).ListNo = 1;
    Keys({"F4", "Enter", "Esc", "Esc"});
    Run();
    EXPECT_EQ(console.beeps(), 1);
    EXPECT_EQ(hooks_.log, (Log {"draw 1", "accept 1.1 [v1   ] d", "show 1.2", "show 1.1", "leave 1 1b"}));
}

TEST_F(FormEngineTest, MouseClicks) {
    struct Case {
        const char* name;
        std::int16_t windowTop, windowLeft;
        int column, row;  // of the click, on the screen
        std::string expectNext;
    };
    // Item 3's label starts at column 3 of row 4, relative to the window when the screen has one.
    const std::vector<Case> cases = {
        {"on a label", 0, 0, 3, 4, "accept 1.3 [v3   ] d"},
        {"on the last value character", 0, 0, 15, 4, "accept 1.3 [v3   ] d"},
        {"past the value", 0, 0, 16, 4, "accept 1.1 [v1   ] d"},
        {"on a skipped item", 0, 0, 5, 3, "accept 1.1 [v1   ] d"},
        {"on an empty row", 0, 0, 5, 20, "accept 1.1 [v1   ] d"},
        {"inside the screen's window", 3, 5, 8, 7, "accept 1.3 [v3   ] d"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tables_.screens[0] = MakeScreen(3, kExitKeys);
        Item(2).Flags = kSkipped;
        FormScreen& s = tables_.Screen(1);
        s.WindowTop = c.windowTop;
        s.WindowLeft = c.windowLeft;
        if (c.windowTop != 0) {
            s.WindowBottom = 20;
            s.WindowRight = 60;
        }
        hooks_.log.clear();
        console.Click(c.column, c.row);
        Keys({"Enter", "Esc", "Esc"});
        Run();
        console.FlushInput();
        ASSERT_GE(hooks_.log.size(), 3u);
        EXPECT_EQ(hooks_.log[1], "accept 1.1 [v1   ] " + Hex(-(c.column * 100 + c.row)));
        EXPECT_EQ(hooks_.log[2], c.expectNext);
    }
}

TEST_F(FormEngineTest, LinkedContinuationScreen) {
    tables_.ScreenCount = 2;
    tables_.screens[0] = MakeScreen(2, kExitKeys);
    tables_.screens[0].ParentScreen = 2;
    tables_.screens.push_back(MakeScreen(2, kExitKeys));
    // Up on the first item of the continuation comes back to the last item here;
    // Enter through the continuation leaves both screens.
    Keys({"Enter", "Enter", "Up", "Enter", "Enter", "Enter"});
    EXPECT_EQ(Run(), key::Enter);
    EXPECT_EQ(hooks_.log, (Log {"draw 1", "accept 1.1 [v1   ] d", "accept 1.2 [v2   ] d", "draw 2",
                                "accept 2.1 [v1   ] 4800", "leave 2 1b", "accept 1.2 [v2   ] d", "draw 2",
                                "accept 2.1 [v1   ] d", "accept 2.2 [v2   ] d", "leave 2 d", "leave 1 d"}));

    // F2 opens the continuation from any item.
    hooks_.log.clear();
    Keys({"F2", "PgDn", "PgDn"});
    EXPECT_EQ(Run(0, 1), key::PgDn);
    EXPECT_EQ(hooks_.log, (Log {"draw 1", "accept 1.1 [v1   ] 3c00", "draw 2", "accept 2.1 [v1   ] 5100",
                                "accept 2.2 [v2   ] 5100", "leave 2 5100", "leave 1 5100"}));
}

TEST_F(FormEngineTest, TargetScreenOfThisScreenIsCleared) {
    Engine().SetTargetScreen(1);
    Keys({"Esc"});
    Run();
    EXPECT_EQ(engine_->TargetScreen(), 0);
}

TEST_F(FormEngineTest, ARefusedLeaveStartsAgainAtTheFirstItem) {
    hooks_.screenResults = {-1};
    Keys({"Down", "Esc", "Esc", "Esc"});
    EXPECT_EQ(Run(), key::Esc);
    EXPECT_EQ(hooks_.log, (Log {"draw 1", "accept 1.1 [v1   ] 5000", "show 1.2", "show 1.1", "leave 1 1b", "show 1.1",
                                "leave 1 1b"}));
}

TEST_F(FormEngineTest, TheLastEditIsKnownToTheHooksAndClearedOnLeaving) {
    FormEngine& engine = Engine();
    std::vector<std::string> seen;
    hooks_.onAccept = [&](int) {
        seen.push_back(std::to_string(engine.EditedScreen()) + "." + std::to_string(engine.EditedItem()) + " " +
                       engine.EditedText());
    };
    Keys({"Down", "Enter", "Esc", "Esc"});
    Run();
    EXPECT_EQ(seen, (std::vector<std::string> {"1.1 v1   ", "1.2 v2   "}));
    EXPECT_EQ(engine.EditedText(), "");
    EXPECT_EQ(engine.EditedScreen(), 0);
    EXPECT_EQ(engine.EditedItem(), 0);
}

TEST_F(FormEngineTest, HooksThatSkipItemsChangeTheWay) {
    // Accepting item 1 makes item 2 display-only; accepting item 2 would make
    // item 2 itself display-only while F2 keeps the cursor there.
    hooks_.onAccept = [&](int item) {
        if (item == 1) Item(2).Flags = kSkipped;
    };
    Keys({"Enter", "Esc", "Esc"});
    Run();
    EXPECT_EQ(hooks_.log, (Log {"draw 1", "accept 1.1 [v1   ] d", "show 1.3", "show 1.1", "leave 1 1b"}));

    tables_.screens[0] = MakeScreen(3, kExitKeys);
    hooks_.log.clear();
    hooks_.onAccept = [&](int item) {
        if (item == 2) Item(2).Flags = kSkipped;
    };
    Keys({"Down", "F2", "Esc", "Esc"});
    Run();
    EXPECT_EQ(hooks_.log, (Log {"draw 1", "accept 1.1 [v1   ] 5000", "accept 1.2 [v2   ] 3c00", "show 1.3", "show 1.1",
                                "leave 1 1b"}));
}

}  // namespace
}  // namespace qp
