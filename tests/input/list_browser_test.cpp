#include "input/list_browser.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#ifndef _WIN32
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "input/input_rig.h"
#include "records/builtin_engine.h"
#include "records/record_test_support.h"
#include "screen/help.h"
#include "screen/memory_console.h"

namespace qp {
namespace {

using testing::Le32;

constexpr std::uint8_t kHighlight = 0x0C;  // colour "u" of the rig's table
constexpr std::int16_t kFile = 5;
constexpr std::uint32_t kRecordLength = 20;
constexpr Rect kBox {3, 10, 9, 31};  // five lines of twenty columns

// Record: number (4 bytes, binary, key 0) | code (6, key 1) | name (10).
std::string Record(std::uint32_t number, std::string code, std::string name) {
    code.resize(6, ' ');
    name.resize(10, ' ');
    return Le32(number) + code + name;
}

// One Browse.tmp entry.
std::string Entry(std::int32_t previous, std::int32_t record, const std::string& text) {
    std::string length {static_cast<char>(text.size() & 0xFF), static_cast<char>(text.size() >> 8)};
    return Le32(static_cast<std::uint32_t>(previous)) + Le32(static_cast<std::uint32_t>(record)) + length + text;
}

// Scripted keys are handed out when the program waits for input, as an
// operator's keys come while it waits; a fetch, which looks at the keyboard
// once per record without waiting, never takes them. Keys queued with
// PressKey come at once.
class ScriptConsole : public MemoryConsole {
public:
    void Script(std::initializer_list<std::string_view> keys) { script_.insert(script_.end(), keys.begin(), keys.end()); }
    void WaitForInput() override {
        ++waits;
        if (QueuedEvents() > 0 || script_.empty()) return;
        if (onWait) onWait();
        PressKey(script_.front());
        script_.pop_front();
    }
    std::function<void()> onWait;  // just before a scripted key is given
    int waits = 0;

private:
    std::deque<std::string> script_;
};

class ListHooks : public FormHooks {
public:
    void DrawScreen(std::int16_t) override {}
    void ShowItemValue(std::int16_t, std::int16_t) override {}
    std::int16_t AcceptItem(std::int16_t, std::int16_t, const std::string&, key::Code) override { return 0; }
    std::int16_t AcceptScreen(std::int16_t, key::Code) override { return 0; }
    void AfterListChoice(std::int16_t& list, std::int16_t& screen, std::int16_t& item) override {
        afterChoice.emplace_back(list, screen, item);
    }
    std::int16_t ListStart(std::int16_t list, std::string& start, std::string& range) override {
        starts.push_back(list);
        start = startKey;
        range = keyRange;
        if (onStart) onStart(list);
        return startResult;
    }
    std::string ListLine(std::int16_t list) override {
        ++lineCalls;
        return line ? line(list) : std::string();
    }

    std::string startKey, keyRange;
    std::int16_t startResult = 0;
    std::function<void(std::int16_t)> onStart;
    std::function<std::string(std::int16_t)> line;
    int lineCalls = 0;
    std::vector<std::int16_t> starts;
    std::vector<std::tuple<std::int16_t, std::int16_t, std::int16_t>> afterChoice;
};

// What the operator saw in the list window.
struct Shot {
    std::u32string title;
    std::vector<std::string> lines;  // trailing blanks removed
    int highlight = 0;               // screen line of the highlight, 0 = none
    std::string Highlighted() const { return highlight > 0 ? lines[static_cast<std::size_t>(highlight - 1)] : "?"; }
};

class ListBrowserTest : public ::testing::Test, protected testing::InputRig<ScriptConsole> {
protected:
    void SetUp() override {
        tables.lists.resize(4);
        SetList(1, kFile, 0, kBox, "Llista");
        console.onWait = [this] { shots.push_back(Capture()); };
    }

    void SetList(int l, std::int16_t file, std::int16_t keyNumber, Rect box, std::string title) {
        FormList& list = tables.List(l);
        list.fields = {file, keyNumber, static_cast<std::int16_t>(box.top), static_cast<std::int16_t>(box.left),
                       static_cast<std::int16_t>(box.bottom), static_cast<std::int16_t>(box.right), 0, 0};
        list.Title = std::move(title);
        box_ = box;
    }

    void MakeFile(const std::vector<std::string>& records) {
        ASSERT_EQ(testing::CreateFile(manager, path, testing::SpecBytes(kRecordLength, {{{1, 4, 4}}, {{5, 6, 0}}})), 0);
        std::uint8_t block[kPositionBlockSize] = {};
        ASSERT_EQ(testing::OpenFile(manager, block, path), 0);
        for (const auto& r : records) ASSERT_EQ(testing::InsertRecord(manager, block, r), 0);
        std::uint32_t length = 0;
        ASSERT_EQ(manager.Call(kOpClose, block, nullptr, length, nullptr, 0, 0), 0);
        std::int16_t status = -1;
        files.OpenRecordFile(kFile, path, buffer.data(), kRecordLength, status);
        ASSERT_EQ(status, 0);
    }

    // Records 1..n named "Line 01", ...; the line of a record is its name.
    void MakeNumberedFile(int n) {
        std::vector<std::string> records;
        for (int i = 1; i <= n; ++i)
            records.push_back(Record(static_cast<std::uint32_t>(i), "", (i < 10 ? "Line 0" : "Line ") + std::to_string(i)));
        MakeFile(records);
        hooks.line = [this](std::int16_t) { return Name(); };
    }
    std::string Name() const { return std::string(buffer.begin() + 10, buffer.begin() + 20); }
    std::uint32_t Number() const { return buffer[0] | (buffer[1] << 8u); }

    std::int16_t Browse(std::initializer_list<std::string_view> keys, std::int16_t list = 1) {
        console.Script(keys);
        return popup.ListBrowser(list);
    }

    Shot Capture() {
        Shot shot;
        const auto left = static_cast<std::size_t>(box_.left);
        const auto w = static_cast<std::size_t>(box_.right - box_.left - 1);
        shot.title = console.RowU32(box_.top).substr(left - 1, w + 2);
        for (int row = box_.top + 1; row < box_.bottom; ++row) {
            shot.lines.push_back(TrimTrailingBlanks(console.RowText(row).substr(left, w)));
            if (console.AttrAt(row, box_.left + 1) == kHighlight) shot.highlight = row - box_.top;
        }
        return shot;
    }
    // The list as it stood when the operator pressed the last key.
    const Shot& Last() { return shots.back(); }

    std::string path = dir / "list.dat";
    Rect box_ = kBox;
    Help help {windows, platform, "DOS", "CAT"};
    FormTables tables;
    ListHooks hooks;
    FormEngine engine {tables, hooks, editor, keyboard, windows, colours, help, ""};
    BuiltinEngine manager;
    Random random {7};
    RecordFiles files {manager, windows, platform, random, "CAT"};
    std::array<std::uint8_t, 64> buffer {};
    ListPopup popup {tables, hooks, engine, files, keyboard, windows, colours, platform, dir.Dir()};
    std::vector<Shot> shots;
};

TEST_F(ListBrowserTest, BrowseTmpHoldsTheFetchedLinesByteForByteAndIsDeletedAtTheEnd) {
    MakeFile({Record(1, "AA", "one"), Record(2, "AB", ""), Record(3, "AC", "three")});
    std::vector<std::int32_t> positions;
    hooks.line = [&](std::int16_t) {
        if (!IsBlank(Name())) positions.push_back(files.GetDirect(kFile, 0));
        return Name();  // with trailing blanks, which are not kept
    };
    dir.Write("Browse.tmp", "left over from an earlier list, longer than the new entries");
    std::string cached;
    console.onWait = [&] { cached = dir.Read("Browse.tmp"); };

    EXPECT_EQ(Browse({"Esc"}), -1);

    ASSERT_EQ(positions.size(), 2u);
    EXPECT_NE(positions[0], 0);
    EXPECT_EQ(cached, Entry(0, positions[0], "one") + Entry(1, positions[1], "three"));
    EXPECT_FALSE(dir.Has("Browse.tmp"));
    EXPECT_EQ(windows.WindowDepth(), 0);
}

TEST_F(ListBrowserTest, PagingAndScrolling) {
    struct Case {
        std::vector<std::string_view> keys;  // the list is then left with "x"
        std::string top;                     // first line of the page
        std::string highlighted;
    };
    const std::vector<Case> cases = {
        {{}, "Line 01", "Line 01"},
        {{"Up"}, "Line 01", "Line 01"},
        {{"Down", "Down", "Down", "Down"}, "Line 01", "Line 05"},
        {{"Down", "Down", "Down", "Down", "Down"}, "Line 02", "Line 06"},
        {{"Down", "Down", "Down", "Down", "Down", "Up", "Up", "Up", "Up"}, "Line 02", "Line 02"},
        {{"Down", "Down", "Down", "Down", "Down", "Up", "Up", "Up", "Up", "Up"}, "Line 01", "Line 01"},
        {{"PgDn"}, "Line 06", "Line 06"},
        {{"Down", "Down", "PgDn"}, "Line 06", "Line 08"},
        {{"Down", "Down", "PgDn", "PgDn"}, "Line 11", "Line 12"},
        {{"PgDn", "PgDn", "PgDn"}, "Line 11", "Line 11"},
        {{"PgDn", "PgDn", "Down", "Down", "Down"}, "Line 11", "Line 12"},
        {{"PgDn", "Down", "Down", "PgUp"}, "Line 01", "Line 03"},
        {{"PgUp"}, "Line 01", "Line 01"},
        // PgUp near the start: the highlight goes h entries up, or to the first entry.
        {{"Down", "Down", "Down", "Down", "Down", "Down", "Down", "PgUp"}, "Line 01", "Line 03"},
        {{"Down", "Down", "Down", "Down", "Down", "Down", "PgUp"}, "Line 01", "Line 02"},
        {{"Down", "Down", "Down", "Down", "Down", "Up", "Up", "Up", "Up", "PgUp"}, "Line 01", "Line 01"},
        {{"PgDn", "PgDn", "Up", "PgUp"}, "Line 05", "Line 05"},
    };
    MakeNumberedFile(12);
    for (const auto& c : cases) {
        shots.clear();
        for (auto k : c.keys) console.Script({k});
        EXPECT_EQ(Browse({"x"}), -1);
        ASSERT_FALSE(shots.empty());
        std::string keys;
        for (auto k : c.keys) keys += std::string(k) + " ";
        EXPECT_EQ(Last().lines[0], c.top) << keys;
        EXPECT_EQ(Last().Highlighted(), c.highlighted) << keys;
    }
}

TEST_F(ListBrowserTest, HorizontalScrollingMovesByEightWhileSomeLineIsLongerThanTheWindow) {
    struct Case {
        std::string longest;
        std::vector<std::string_view> keys;
        std::string shown;  // the long line as shown
    };
    const std::string letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123";  // 30 columns
    const std::vector<Case> cases = {
        {letters, {"Right"}, "IJKLMNOPQRSTUVWXYZ01"},
        {letters, {"Right", "Right"}, "QRSTUVWXYZ0123"},
        {letters, {"Right", "Right", "Right"}, "QRSTUVWXYZ0123"},
        {letters, {"Right", "Left"}, letters.substr(0, 20)},
        {letters, {"Left"}, letters.substr(0, 20)},
        {letters.substr(0, 20), {"Right"}, letters.substr(0, 20)},
        {letters.substr(0, 21), {"Right"}, "IJKLMNOPQRSTU"},
    };
    MakeFile({Record(1, "", ""), Record(2, "", "")});
    for (const auto& c : cases) {
        shots.clear();
        hooks.line = [&](std::int16_t) { return Number() == 2 ? c.longest : std::string("short"); };
        for (auto k : c.keys) console.Script({k});
        Browse({"x"});
        EXPECT_EQ(Last().lines[1], c.shown) << c.longest.size() << " " << c.keys.size();
    }
}

TEST_F(ListBrowserTest, TitleLine) {
    struct Case {
        std::string title;
        std::string longest;
        std::vector<std::string_view> keys;
        std::u32string expected;
        std::u32string whileFetching;  // before the first page: no line known yet
    };
    const std::u32string line20(20, U'═');
    const std::vector<Case> cases = {
        {"Dos_mots Tres", "short", {}, U"╔Dos mots═Tres═══════╗", U"╔Dos mots═Tres═══════╗"},
        {"", "short", {}, U"╔" + line20 + U"╗", U"╔" + line20 + U"╗"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", "short", {}, U"╔ABCDEFGHIJKLMNOPQRST►", U"╔ABCDEFGHIJKLMNOPQRST►"},
        {"Llista", std::string(30, '*'), {}, U"╔Llista══════════════►", U"╔Llista══════════════╗"},
        {"Llista", std::string(30, '*'), {"Right"}, U"◄" + line20 + U"►", U"╔Llista══════════════╗"},
        {"Llista", std::string(30, '*'), {"Right", "Right"}, U"◄" + line20 + U"╗", U"╔Llista══════════════╗"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", std::string(30, '*'), {"Right"}, U"◄IJKLMNOPQRSTUVWXYZ══►",
         U"╔ABCDEFGHIJKLMNOPQRST►"},
    };
    MakeFile({Record(1, "", "")});
    for (const auto& c : cases) {
        shots.clear();
        tables.List(1).Title = c.title;
        std::u32string atFirstFetch;
        hooks.line = [&](std::int16_t) {
            if (atFirstFetch.empty()) atFirstFetch = Capture().title;
            return c.longest;
        };
        for (auto k : c.keys) console.Script({k});
        Browse({"x"});
        EXPECT_EQ(Last().title, c.expected) << c.title << " " << c.keys.size();
        EXPECT_EQ(atFirstFetch, c.whileFetching) << c.title;
    }
}

TEST_F(ListBrowserTest, EscDuringALongFetchEndsTheListAtTheRecordsFetchedSoFar) {
    std::vector<std::string> records;
    for (std::uint32_t i = 1; i <= 300; ++i) records.push_back(Record(i, "", "r" + std::to_string(i)));
    MakeFile(records);
    std::string cached;
    int waitsAtFirstRecord = -1;
    hooks.line = [&](std::int16_t) {
        if (Number() == 1) waitsAtFirstRecord = console.waits;
        if (Number() == 100) {
            EXPECT_EQ(console.waits, waitsAtFirstRecord);  // the fetch polls, it never waits
            console.PressKey("Esc");
        }
        return Number() <= 2 || Number() == 300 ? Name() : std::string();
    };
    console.onWait = [&] {
        shots.push_back(Capture());
        cached = dir.Read("Browse.tmp");
    };

    EXPECT_EQ(Browse({"Down", "Down", "PgDn", "x"}), -1);

    EXPECT_EQ(hooks.lineCalls, 100);
    EXPECT_EQ(Last().lines, (std::vector<std::string> {"r1", "r2", "", "", ""}));
    EXPECT_EQ(Last().highlight, 2);
    EXPECT_EQ(cached.size(), 2 * 10 + 4u);
}

TEST_F(ListBrowserTest, AKeyTypedDuringAFetchIsKeptForTheList) {
    std::vector<std::string> records;
    for (std::uint32_t i = 1; i <= 50; ++i) records.push_back(Record(i, "", "r" + std::to_string(i)));
    MakeFile(records);
    hooks.line = [&](std::int16_t) {
        if (Number() == 20) console.PressKey("Down");
        return Number() <= 3 ? Name() : std::string();
    };

    EXPECT_EQ(Browse({"Enter"}), 0);

    EXPECT_EQ(hooks.lineCalls, 50);
    EXPECT_EQ(Last().highlight, 2);
    EXPECT_EQ(Number(), 2u);
}

TEST_F(ListBrowserTest, AListOfEmptyLinesShowsAnEmptyWindowAndEnterReturnsMinusOne) {
    MakeNumberedFile(4);
    hooks.line = [](std::int16_t) { return std::string("   "); };

    EXPECT_EQ(Browse({"Down", "Enter"}), -1);

    EXPECT_EQ(hooks.lineCalls, 4);
    EXPECT_EQ(Last().lines, std::vector<std::string>(5, ""));
}

TEST_F(ListBrowserTest, EnterReadsTheChosenRecordAgainAndTheCallerStateComesBack) {
    MakeNumberedFile(6);
    std::int16_t status = 0;
    files.SetLockMode(kFile, "b", status);
    const std::string before = console.RowText(5);
    hooks.line = [this](std::int16_t) {
        EXPECT_EQ(files.Slot(files.FindFileSlot(kFile)).LockMode, 0);  // read without locks
        return Name();
    };

    EXPECT_EQ(Browse({"Down", "Down", "Down", "Enter"}), 0);

    EXPECT_EQ(Name(), "Line 04   ");
    EXPECT_EQ(files.Slot(files.FindFileSlot(kFile)).LockMode, 2);
    EXPECT_TRUE(files.LockModeStack().empty());
    EXPECT_EQ(console.RowText(5), before);
    EXPECT_EQ(windows.WindowDepth(), 0);
    EXPECT_EQ(colours.CurrentIndex(), 0);
}

TEST_F(ListBrowserTest, TheKeyRangeEndsTheList) {
    struct Case {
        std::int16_t keyNumber;
        std::string startKey, keyRange;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {1, "AA", "AA", {"n1", "n2", "", "", ""}},
        {1, "AB", "", {"n3", "n4", "n5", "", ""}},
        {1, "AB", "AB01", {"n3", "", "", "", ""}},
        {0, "", "", {"n1", "n2", "n3", "n4", "n5"}},
        // Binary segments are compared as numbers.
        {0, Le32(2), Le32(4), {"n2", "n3", "n4", "", ""}},
        {0, Le32(2), Le32(256), {"n2", "n3", "n4", "", ""}},
        {0, Le32(2), Le32(1000), {"n2", "n3", "n4", "n5", ""}},
    };
    MakeFile({Record(1, "AA01", "n1"), Record(2, "AA02", "n2"), Record(3, "AB01", "n3"), Record(4, "AB02", "n4"),
              Record(300, "B001", "n5")});
    hooks.line = [this](std::int16_t) { return Name(); };
    for (const auto& c : cases) {
        shots.clear();
        tables.List(1).fields[1] = c.keyNumber;
        hooks.startKey = c.startKey;
        hooks.keyRange = c.keyRange;
        Browse({"x"});
        EXPECT_EQ(Last().lines, c.lines) << c.keyNumber << " " << c.keyRange.size();
    }
}

TEST_F(ListBrowserTest, AListThatCannotBeShownDoesNothing) {
    struct Case {
        const char* name;
        std::function<void()> setUp;
        std::int16_t list;
        std::int16_t result;
        int beeps;
    };
    auto box = [this](Rect r) { return [this, r] { SetList(1, kFile, 0, r, "L"); }; };
    const std::vector<Case> cases = {
        {"the start hook refuses", [this] { hooks.startResult = 7; }, 1, 7, 0},
        {"no such list", [] {}, 9, -1, 1},
        {"below the console", box({20, 10, 26, 30}), 1, -1, 1},
        {"right of the console", box({3, 60, 9, 81}), 1, -1, 1},
        {"above the console", box({0, 10, 5, 30}), 1, -1, 1},
        {"no line inside", box({3, 10, 4, 30}), 1, -1, 1},
        {"no column inside", box({3, 10, 9, 11}), 1, -1, 1},
        {"reversed", box({9, 10, 3, 30}), 1, -1, 1},
        {"below what a smaller terminal shows",
         [this] {
             console.ShowOnly(8, 80);
             SetList(1, kFile, 0, {3, 10, 9, 30}, "L");
         },
         1, -1, 1},
    };
    MakeNumberedFile(3);
    const std::string before = console.RowText(5);
    for (const auto& c : cases) {
        SetList(1, kFile, 0, kBox, "L");
        hooks.startResult = 0;
        console.ShowOnly(0, 0);
        c.setUp();
        const int beeps = console.beeps();
        EXPECT_EQ(popup.ListBrowser(c.list), c.result) << c.name;
        EXPECT_EQ(console.beeps() - beeps, c.beeps) << c.name;
        EXPECT_EQ(hooks.lineCalls, 0) << c.name;
        EXPECT_EQ(console.RowText(5), before) << c.name;
        EXPECT_EQ(windows.WindowDepth(), 0) << c.name;
    }
}

TEST_F(ListBrowserTest, EscInTheScreenRunFirstLeavesBeforeTheList) {
    FormScreen first;
    first.ScreenExitKeys = "d,1b";
    first.ItemCount = 1;
    first.items.resize(1);
    first.items[0].Row = 1;
    first.items[0].Column = 1;
    first.items[0].Length = 4;
    first.items[0].Assign("");
    tables.screens.push_back(first);
    MakeNumberedFile(3);
    tables.List(1).fields[6] = 1;

    EXPECT_EQ(Browse({"Esc"}), -1);
    EXPECT_TRUE(hooks.starts.empty());

    EXPECT_EQ(Browse({"Enter", "Enter"}), 0);  // the screen's item, then the list's first line
    EXPECT_EQ(hooks.starts, std::vector<std::int16_t> {1});
}

TEST_F(ListBrowserTest, AListWithoutRecordFileShowsWhatBrowseTmpHolds) {
    SetList(1, 0, 0, kBox, "Sense fitxer");
    dir.Write("Browse.tmp", ReadWholeFile(platform, std::string(QP_TEST_DATA) + "/lists/Browse.tmp", kLargeFileLimit).value_or(""));

    EXPECT_EQ(Browse({"Down", "Enter"}), 0);

    EXPECT_EQ(Last().lines, (std::vector<std::string> {"alfa", "beta", "gamma", "", ""}));
    EXPECT_EQ(popup.SelectedListPosition(), 200);
    EXPECT_EQ(popup.SelectedListLine(), "beta");
    EXPECT_FALSE(dir.Has("Browse.tmp"));
    EXPECT_EQ(hooks.lineCalls, 0);
}

TEST_F(ListBrowserTest, ADamagedBrowseTmpNeverLoopsNorLeavesTheFile) {
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::string_view> keys;  // then Enter
        std::int16_t result;
        std::string chosen;  // when an entry was chosen
    };
    // Entries of one letter: headers at 1, 12, 23.
    const std::string a = Entry(0, 1, "a");
    const std::string c = Entry(12, 3, "c");
    const std::vector<Case> cases = {
        {"sound", a + Entry(1, 2, "b") + c, {"Down", "Down", "Up"}, 0, "b"},
        {"truncated text", a + Entry(1, 2, "b") + Entry(12, 3, "cccccc").substr(0, 13), {"Down", "Down", "Down"}, 0, "b"},
        {"truncated header", a + Entry(1, 2, "b").substr(0, 7), {"Down", "Down"}, 0, "a"},
        {"link to itself", a + Entry(12, 2, "b") + c, {"Down", "Down", "Up", "Up", "Up"}, 0, "b"},
        {"link forward", a + Entry(23, 2, "b") + c, {"Down", "Up", "PgUp"}, 0, "b"},
        {"negative link", a + Entry(-5, 2, "b") + c, {"Down", "Up"}, 0, "b"},
        {"link past the end", a + Entry(100000, 2, "b") + c, {"Down", "Up"}, 0, "b"},
        {"link into a text", a + Entry(5, 2, "b") + c, {"Down", "Up"}, 0, "b"},
        {"first entry with a link", Entry(7, 1, "a") + Entry(1, 2, "b"), {"Down", "Up", "Up"}, 0, "a"},
        {"length past the end", std::string("\0\0\0\0\1\0\0\0\xFF\xFF", 10) + "abc", {"Down"}, -1, ""},
        {"shorter than a header", "abc", {"Down"}, -1, ""},
        {"empty", "", {"Down", "Up"}, -1, ""},
    };
    SetList(1, 0, 0, {3, 10, 5, 31}, "T");  // one line, so that every move goes through the file
    box_ = {3, 10, 5, 31};
    for (const auto& k : cases) {
        dir.Write("Browse.tmp", k.bytes);
        for (auto key : k.keys) console.PressKey(key);
        console.PressKey("Enter");
        EXPECT_EQ(popup.ListBrowser(1), k.result) << k.name;
        if (k.result == 0) {
            EXPECT_EQ(popup.SelectedListLine(), k.chosen) << k.name;
        }
        EXPECT_FALSE(dir.Has("Browse.tmp")) << k.name;
    }
}

TEST_F(ListBrowserTest, RandomBytesInBrowseTmpNeverCrashOrHang) {
    SetList(1, 0, 0, {3, 10, 6, 20}, "T");
    std::mt19937 generator(2026);
    const std::string sound = Entry(0, 1, "alfa") + Entry(1, 2, "beta") + Entry(15, 3, "gamma") + Entry(29, 4, "delta");
    const std::vector<std::string_view> moves = {"Up", "Down", "PgUp", "PgDn", "Left", "Right"};
    for (int round = 0; round < 200; ++round) {
        std::string bytes = sound;
        if (round % 2 == 0) {
            bytes.resize(generator() % 80);
            for (char& b : bytes) b = static_cast<char>(generator() % 4 == 0 ? 0 : generator());
        } else {
            for (int i = 0; i < 4; ++i) bytes[generator() % bytes.size()] = static_cast<char>(generator());
        }
        dir.Write("Browse.tmp", bytes);
        for (int i = 0; i < 30; ++i) console.PressKey(moves[generator() % moves.size()]);
        console.PressKey("Enter");
        const std::int16_t result = popup.ListBrowser(1);
        EXPECT_TRUE(result == 0 || result == -1) << round;
        EXPECT_EQ(console.QueuedEvents(), 0u) << round;
    }
    EXPECT_EQ(windows.WindowDepth(), 0);
}

TEST_F(ListBrowserTest, F4OpensTheSecondListAndReportsItsChoice) {
    MakeNumberedFile(3);
    tables.List(1).fields[7] = 2;
    SetList(2, 0, 0, {12, 40, 17, 60}, "Segona");
    box_ = {12, 40, 17, 60};
    std::string fixture = ReadWholeFile(platform, std::string(QP_TEST_DATA) + "/lists/Browse.tmp", kLargeFileLimit).value_or("");
    hooks.onStart = [&](std::int16_t list) {
        if (list == 2) dir.Write("Browse.tmp", fixture);
    };

    EXPECT_EQ(Browse({"Down", "F4", "Down", "Down", "Enter"}), 0);
    EXPECT_EQ(hooks.starts, (std::vector<std::int16_t> {1, 2}));
    EXPECT_EQ(popup.SelectedListLine(), "gamma");
    ASSERT_EQ(hooks.afterChoice.size(), 1u);
    EXPECT_EQ(hooks.afterChoice[0], std::make_tuple(std::int16_t {2}, std::int16_t {0}, std::int16_t {0}));
    EXPECT_EQ(windows.WindowDepth(), 0);
    EXPECT_FALSE(dir.Has("Browse.tmp"));

    EXPECT_EQ(Browse({"F4", "Esc"}), -1);
    EXPECT_EQ(hooks.afterChoice.size(), 1u);

    tables.List(1).fields[7] = 0;
    hooks.starts.clear();
    EXPECT_EQ(Browse({"F4"}), -1);
    EXPECT_EQ(hooks.starts, std::vector<std::int16_t> {1});
}

#ifndef _WIN32  // links, FIFOs and owners as POSIX has them
// The temporary folder may be shared: a Browse.tmp that is not this user's
// own regular file is never read, written or removed through, and what a
// link points to stays as it is.
TEST_F(ListBrowserTest, ABrowseTmpThatIsNotThisUsersOwnIsNeverUsed) {
    namespace fs = std::filesystem;
    const passwd* nobody = ::getpwnam("nobody");
    const bool asRoot = ::geteuid() == 0 && nobody != nullptr;
    const std::string secret = Entry(0, 7, "secret line");
    const struct {
        const char* name;
        bool recordFile;
        std::function<void(const fs::path& cache, const fs::path& target)> plant;
        bool needsRoot = false;
    } cases[] = {
        {"link, list with a record file", true, [](const fs::path& p, const fs::path& t) { fs::create_symlink(t, p); }},
        {"link", false, [](const fs::path& p, const fs::path& t) { fs::create_symlink(t, p); }},
        {"second name", false, [](const fs::path& p, const fs::path& t) { fs::create_hard_link(t, p); }},
        {"FIFO", false, [](const fs::path& p, const fs::path&) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }},
        {"another user's file", false,
         [nobody, &secret](const fs::path& p, const fs::path&) {
             std::ofstream(p, std::ios::binary) << secret;
             ASSERT_EQ(::chown(p.c_str(), nobody->pw_uid, static_cast<gid_t>(-1)), 0);
         },
         true},
    };
    MakeNumberedFile(3);
    const fs::path cache = dir / "Browse.tmp";
    const fs::path target = dir / "important.dat";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsRoot && !asRoot) continue;
        fs::remove(cache);
        dir.Write("important.dat", secret);
        ::chmod(target.c_str(), 0700);
        c.plant(cache, target);
        const fs::file_type planted = fs::symlink_status(cache).type();
        SetList(1, c.recordFile ? kFile : 0, 0, kBox, "Llista");
        fs::perms made = fs::perms::unknown;
        console.onWait = [&] {
            shots.push_back(Capture());
            made = fs::status(cache).permissions();
        };

        EXPECT_EQ(Browse({"Esc"}), -1);
        EXPECT_EQ(Last().lines[0], c.recordFile ? "Line 01" : "");
        EXPECT_EQ(dir.Read("important.dat"), secret);
        EXPECT_EQ(fs::status(target).permissions(), fs::perms::owner_all);
        if (c.recordFile) {
            EXPECT_EQ(made, fs::perms::owner_read | fs::perms::owner_write) << "the cache made anew";
            EXPECT_FALSE(fs::exists(fs::symlink_status(cache)));
        } else {
            EXPECT_EQ(fs::symlink_status(cache).type(), planted) << "not ours, not removed";
        }
        EXPECT_EQ(windows.WindowDepth(), 0);
    }
}
#endif  // _WIN32

}  // namespace
}  // namespace qp
