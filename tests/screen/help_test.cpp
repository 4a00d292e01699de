#ifndef _WIN32  // temporary directories from mkdtemp
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <variant>
#include <vector>

#include <sys/stat.h>

#include "screen/help.h"
#include "screen/memory_console.h"
#include "text/cp850.h"

namespace qp {
namespace {

namespace fs = std::filesystem;

const ColourTable kTable {{{15, 1}, {7, 1}, {1, 7}, {14, 4}, {12, 2}}};
constexpr std::uint8_t kHighlightAttr = 0x1F, kNormalAttr = 0x17, kReverseAttr = 0x71, kUnderlineAttr = 0x2C;

// Relative paths are taken from the test's own directory instead of the
// process's current directory; commands are recorded, not run.
class HelpPlatform : public SystemPlatform {
public:
    explicit HelpPlatform(fs::path base) : base_(std::move(base)) {}
    std::unique_ptr<File> Open(const std::string& path, OpenMode mode, std::string* reason) override {
        if (path.compare(0, 5, "AJUDA") == 0) opened.push_back(path);
        return SystemPlatform::Open(Rooted(path), mode, reason);
    }
    bool Exists(const std::string& path) override { return SystemPlatform::Exists(Rooted(path)); }
    Status Remove(const std::string& path) override { return SystemPlatform::Remove(Rooted(path)); }
    std::string GetEnv(const std::string& name) override { return name == "COMSPEC" ? comspec : ""; }
    int RunCommand(const std::string& commandLine) override {
        commands.push_back(commandLine);
        return 0;
    }
    bool IsWindowsHost() const override { return windowsHost; }

    std::string comspec;
    bool windowsHost = false;
    std::vector<std::string> commands;
    std::vector<std::string> opened;  // help pages, as the program names them

private:
    std::string Rooted(const std::string& path) const {
        return (!path.empty() && path[0] == '/') ? path : base_.string() + "/" + path;
    }
    fs::path base_;
};

// A console that runs the test's script while the pager waits: each check sees
// the screen as the keys before it left it.
class ScriptedConsole : public MemoryConsole {
public:
    using MemoryConsole::MemoryConsole;
    using Step = std::variant<std::string, std::function<void()>>;

    void Script(std::vector<Step> steps) { steps_.assign(steps.begin(), steps.end()); }
    // The script goes on only while the pager waits for a key: a pager that
    // polled without waiting would never see its keys.
    void WaitForInput() override {
        while (QueuedEvents() == 0 && !steps_.empty()) {
            Step step = std::move(steps_.front());
            steps_.pop_front();
            if (auto* key = std::get_if<std::string>(&step))
                PressKey(*key);
            else
                std::get<std::function<void()>>(step)();
        }
    }
    std::size_t StepsLeft() const { return steps_.size(); }

private:
    std::deque<Step> steps_;
};

std::string Label(int n) {
    std::string digits = std::to_string(n);
    return "Line " + std::string(3 - std::min<std::size_t>(3, digits.size()), '0') + digits;
}

// 80 bytes: the label, blanks, and bytes 77-80 that the pager never shows.
std::string Record(const std::string& text) { return FitWidth(text, 76) + "WXYZ"; }

class HelpTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "qp-help-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        fs::create_directory(dir_ / "AJUDA");
        platform_ = std::make_unique<HelpPlatform>(dir_);
        Make(25, 80, "DOS");
    }
    void TearDown() override { fs::remove_all(dir_); }

    void Make(int rows, int columns, const std::string& host, const std::string& language = "CAT") {
        console_ = std::make_unique<ScriptedConsole>(rows, columns);
        console_->setStarvationLimit(10);
        screen_ = std::make_unique<Screen>(*console_);
        colours_ = std::make_unique<Colours>(*screen_, kTable);
        windows_ = std::make_unique<Windows>(*screen_, *colours_, *platform_, dir_.string() + "/");
        help_ = std::make_unique<Help>(*windows_, *platform_, host, language);
        for (int r = 1; r <= rows; ++r) {
            screen_->Locate(r, 1);
            screen_->Print(std::string(static_cast<std::size_t>(columns), static_cast<char>('a' + r % 26)));
        }
    }

    // topic may name a language's folder: "SPA/T".
    void WriteHelp(const std::string& topic, const std::string& bytes, const std::string& extension = ".HLP") {
        const fs::path file = dir_ / "AJUDA" / (topic + extension);
        fs::create_directories(file.parent_path());
        std::ofstream out(file, std::ios::binary);
        out << bytes;
    }
    void WriteNumberedHelp(const std::string& topic, int lines, const std::string& prefix = "") {
        std::string bytes;
        for (int n = 1; n <= lines; ++n) bytes += Record(prefix + Label(n));
        WriteHelp(topic, bytes);
    }

    std::vector<Cell> Snapshot() {
        std::vector<Cell> cells;
        for (int r = 1; r <= console_->Rows(); ++r)
            for (int c = 1; c <= console_->Columns(); ++c) cells.push_back(console_->ReadCell(r, c));
        return cells;
    }

    // The 17 text rows show lines first.. (blank past `lines`).
    std::function<void()> Shows(int first, int lines, const std::string& prefix = "") {
        return [=, this] {
            for (int r = 0; r < 17; ++r) {
                const int n = first + r;
                const std::string expected = FitWidth(n <= lines ? prefix + Label(n) : "", 77);
                EXPECT_EQ(console_->RowText(5 + r).substr(2, 77), expected) << "screen row " << 5 + r;
            }
        };
    }

    void Run(const std::string& topic, std::vector<ScriptedConsole::Step> steps) {
        steps.emplace_back(std::string("Esc"));
        console_->Script(std::move(steps));
        help_->ShowHelp(topic);
        EXPECT_EQ(console_->StepsLeft(), 0u);
    }

    fs::path dir_;
    std::unique_ptr<HelpPlatform> platform_;
    std::unique_ptr<ScriptedConsole> console_;
    std::unique_ptr<Screen> screen_;
    std::unique_ptr<Colours> colours_;
    std::unique_ptr<Windows> windows_;
    std::unique_ptr<Help> help_;
};

TEST_F(HelpTest, WindowsHostRunsQpopenAndLeavesTheConsole) {
    Make(25, 80, "WIN");
    platform_->windowsHost = true;
    platform_->comspec = "C:\\WINDOWS\\SYSTEM32\\CMD.EXE";
    const auto before = Snapshot();
    help_->ShowHelp("QPLAYOUT");
    ASSERT_EQ(platform_->commands.size(), 1u);
    EXPECT_EQ(platform_->commands[0], "C:\\WINDOWS\\SYSTEM32\\CMD.EXE /C QPOPEN AJUDA\\QPLAYOUT.HTM");
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(HelpTest, PagerWindowGeometryAndClose) {
    WriteNumberedHelp("T", 100);
    colours_->SetColour("rn");
    const auto before = Snapshot();
    Run("T", {Shows(1, 100), std::function<void()>([this] {
                  EXPECT_EQ(console_->RowU32(4), U"╔" + std::u32string(78, U'═') + U"╗");
                  // The bottom line carries the keys and the lines shown.
                  EXPECT_EQ(console_->RowU32(22), U"╚" + std::u32string(28, U'═') + U" ↑↓ RePàg AvPàg · Esc " +
                                                      std::u32string(17, U'═') + U" 1-17/100 ═╝");
                  EXPECT_EQ(console_->RowU32(5)[0], U'║');
                  EXPECT_EQ(console_->RowU32(21)[79], U'║');
                  EXPECT_EQ(console_->RowText(23), std::string(80, 'x'));  // below the window: untouched
                  EXPECT_EQ(console_->RowText(3), std::string(80, 'd'));
                  EXPECT_EQ(console_->AttrAt(4, 1), kHighlightAttr);
                  EXPECT_EQ(console_->AttrAt(5, 3), kNormalAttr);
                  EXPECT_EQ(console_->AttrAt(5, 79), kHighlightAttr);  // inside blanked in the frame's colour
              })});
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(colours_->CurrentIndex(), 3);
    EXPECT_FALSE(fs::exists(dir_ / "WinPush.tmp"));
}

struct PagingCase {
    const char* name;
    int lines;
    std::vector<std::string> keys;
    int first;  // the line shown on the first text row afterwards
};

class PagingTest : public HelpTest, public ::testing::WithParamInterface<PagingCase> {};

TEST_P(PagingTest, KeysMoveTheView) {
    const PagingCase& k = GetParam();
    WriteNumberedHelp("P", k.lines);
    std::vector<ScriptedConsole::Step> steps(k.keys.begin(), k.keys.end());
    steps.emplace_back(Shows(k.first, k.lines));
    Run("P", steps);
}

std::vector<std::string> Repeat(std::vector<std::string> prefix, const std::string& key, int times) {
    for (int i = 0; i < times; ++i) prefix.push_back(key);
    return prefix;
}

INSTANTIATE_TEST_SUITE_P(
    Keys, PagingTest,
    ::testing::Values(
        PagingCase {"End", 100, {"End"}, 84}, PagingCase {"EndHome", 100, {"End", "Home"}, 1},
        PagingCase {"DownAtLastLine", 100, {"End", "Down"}, 84}, PagingCase {"UpAtFirstLine", 100, {"Up"}, 1},
        PagingCase {"HomeAtTop", 100, {"Home", "PgUp"}, 1}, PagingCase {"Down", 100, {"Down", "Down"}, 3},
        PagingCase {"DownUp", 100, {"Down", "Down", "Up"}, 2}, PagingCase {"PgDn", 100, {"PgDn"}, 18},
        PagingCase {"DownsStopAtTheEnd", 100, Repeat({"PgDn"}, "Down", 70), 84},
        PagingCase {"PgDnPastTheEnd", 100, Repeat({}, "PgDn", 7), 84},
        PagingCase {"PgDnNearTheEnd", 100, Repeat(Repeat({"PgDn"}, "Down", 62), "PgDn", 1), 84},
        PagingCase {"PgUpFrom5", 100, {"Down", "Down", "Down", "Down", "PgUp"}, 1},
        PagingCase {"PgUpFrom43", 100, Repeat(Repeat({"PgDn"}, "Down", 25), "PgUp", 1), 27},
        PagingCase {"PgUpFrom43Twice", 100, Repeat(Repeat({"PgDn"}, "Down", 25), "PgUp", 2), 11},
        PagingCase {"PgDnFrom43", 100, Repeat(Repeat({"PgDn"}, "Down", 25), "PgDn", 1), 60},
        PagingCase {"ShortFileStays", 10, {"Down", "PgDn", "End", "Up", "PgUp", "Home"}, 1},
        PagingCase {"ExactlyOnePage", 17, {"Down", "PgDn", "End"}, 1},
        PagingCase {"OneMoreThanAPage", 18, {"End"}, 2},
        PagingCase {"EndThenPgUp", 100, {"End", "PgUp"}, 68},
        PagingCase {"OtherKeysIgnored", 100, {"a", "Enter", "F4", "Left", "PgDn"}, 18}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(HelpTest, LineCountRoundsHalfToEven) {
    struct Case {
        std::size_t size;
        int lastLine;  // End shows lastLine - 16 .. lastLine
    };
    for (Case k : {Case {8000, 100}, Case {8040, 100}, Case {8041, 101}, Case {8120, 102}, Case {8039, 100}}) {
        std::string bytes;
        for (int n = 1; bytes.size() < k.size; ++n) bytes += Record(Label(n));
        WriteHelp("R", bytes.substr(0, k.size));
        Run("R", {std::string("End"), std::function<void()>([&, this] {
                      EXPECT_EQ(console_->RowText(5).substr(2, 8), Label(k.lastLine - 16)) << k.size;
                      // The last line may be partly or wholly past the end: zero bytes show blank.
                      const std::string last = k.lastLine <= 100 ? Label(k.lastLine)
                                               : k.size > static_cast<std::size_t>(80 * (k.lastLine - 1))
                                                   ? Label(k.lastLine).substr(0, k.size - 80u * static_cast<std::size_t>(k.lastLine - 1))
                                                   : "";
                      EXPECT_EQ(console_->RowText(21).substr(2, 77), FitWidth(last, 77)) << k.size;
                  })});
    }
}

struct ToggleCase {
    const char* name;
    std::string line;
    std::string shown;
    std::vector<std::uint8_t> attrs;  // one per shown byte
};

class ToggleTest : public HelpTest, public ::testing::WithParamInterface<ToggleCase> {};

TEST_P(ToggleTest, ControlBytesSwitchColoursAndTakeNoColumn) {
    const ToggleCase& k = GetParam();
    std::string record = k.line;
    record.resize(80, ' ');
    WriteHelp("A", record);
    Run("A", {std::function<void()>([&, this] {
        EXPECT_EQ(console_->RowText(5).substr(2, k.shown.size()), k.shown);
        for (std::size_t i = 0; i < k.attrs.size(); ++i)
            EXPECT_EQ(console_->AttrAt(5, 3 + static_cast<int>(i)), k.attrs[i]) << "byte " << i;
    })});
}

constexpr std::uint8_t U = kUnderlineAttr, N = kNormalAttr, H = kHighlightAttr, R = kReverseAttr;

INSTANTIATE_TEST_SUITE_P(
    Lines, ToggleTest,
    ::testing::Values(
        ToggleCase {"Underline", "\x1F" "abc" "\x1F" "def", "abcdef", {U, U, U, N, N, N}},
        ToggleCase {"Highlight", "\x1E" "abc" "\x1E" "def", "abcdef", {H, H, H, N, N, N}},
        ToggleCase {"Reverse", "\x10" "abc" "\x10" "def", "abcdef", {R, R, R, N, N, N}},
        ToggleCase {"HighlightInsideUnderline", "\x1F" "a" "\x1E" "b" "\x1E" "c" "\x1F" "d", "abcd", {U, U, U, N}},
        ToggleCase {"UnderlineEndsToNormal", "\x1E" "a" "\x1F" "b" "\x1F" "c", "abc", {H, U, N}},
        ToggleCase {"PlainLineIsNormal", "plain", "plain", {N, N, N, N, N}}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(HelpTest, AtMost76BytesAreShown) {
    WriteHelp("W", "\x1F" + std::string(78, 'w') + "\x1F");
    WriteHelp("V", std::string(80, 'v'));
    for (const char* topic : {"W", "V"}) {
        Run(topic, {std::function<void()>([&, this] {
            EXPECT_EQ(console_->RowText(5).substr(2, 77), std::string(76, topic[0] == 'W' ? 'w' : 'v') + " ");
            EXPECT_EQ(console_->RowU32(5)[79], U'║');
        })});
    }
}

TEST_F(HelpTest, F1OpensTheMenuHelpOnTopAndBothClose) {
    WriteNumberedHelp("T", 40);
    WriteNumberedHelp("QPMENUEX", 40, "Menu ");
    const auto before = Snapshot();
    std::vector<Cell> inOuter;
    Run("T", {std::string("PgDn"), std::function<void()>([&, this] { inOuter = Snapshot(); }), std::string("F1"),
              Shows(1, 40, "Menu "), std::string("End"), Shows(24, 40, "Menu "),
              std::string("F1"),  // inside the menu help: nothing
              Shows(24, 40, "Menu "), std::string("Esc"),
              std::function<void()>([&, this] { EXPECT_EQ(Snapshot(), inOuter); }), std::string("Down"),
              Shows(19, 40)});
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(windows_->WindowDepth(), 0);
}

// The shipped pages: the pager's keys come under the same heading on both,
// and every record is whole.
TEST(ShippedHelpPages, HeadThePagersKeysAlike) {
    std::vector<std::string> headings;
    for (const char* page : {"QPLAYOUT", "QPMENUEX"}) {
        std::ifstream in(fs::path(QP_SOURCE_DIR) / "AJUDA" / (std::string(page) + ".HLP"), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_EQ(bytes.size() % 80, 0u) << page;
        std::string previous;
        for (std::size_t at = 0; at < bytes.size(); at += 80) {
            const std::string record = bytes.substr(at, 80);
            if (record.find("mouen el text") != std::string::npos) headings.push_back(TrimTrailingBlanks(previous));
            previous = record;
        }
    }
    ASSERT_EQ(headings.size(), 2u);
    EXPECT_EQ(headings[0], headings[1]);
}

TEST_F(HelpTest, MissingFileOpensAnEmptyWindowAndIsNotCreated) {
    const auto before = Snapshot();
    Run("NOPE", {Shows(1, 0), std::string("Down"), std::string("End"), std::string("PgDn"), Shows(1, 0)});
    EXPECT_FALSE(fs::exists(dir_ / "AJUDA" / "NOPE.HLP"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "AJUDA"), fs::directory_iterator {}), 0);
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(HelpTest, MissingHelpDirectoryStillOpensAndCloses) {
    fs::remove_all(dir_ / "AJUDA");
    const auto before = Snapshot();
    Run("NOPE", {Shows(1, 0), std::string("End"), Shows(1, 0)});
    EXPECT_EQ(Snapshot(), before);
    EXPECT_FALSE(fs::exists(dir_ / "AJUDA"));
}

TEST_F(HelpTest, FileNameCaseDoesNotMatter) {
    WriteNumberedHelp("lower", 20);
    Run("LOWER", {Shows(1, 20), std::string("End"), Shows(4, 20)});
}

TEST_F(HelpTest, WideConsoleStillReads80ByteRecords) {
    Make(25, 132, "DOS");
    WriteNumberedHelp("T", 100);
    Run("T", {Shows(1, 100), std::string("End"), Shows(84, 100), std::function<void()>([this] {
                  EXPECT_EQ(console_->RowU32(5)[131], U'║');
                  EXPECT_EQ(console_->RowU32(4).size(), 132u);
              })});
}

TEST_F(HelpTest, NarrowConsoleKeepsTheTextInsideTheFrame) {
    Make(25, 40, "DOS");
    WriteNumberedHelp("T", 100);
    WriteHelp("T", std::string(80, 'n'));
    Run("T", {std::function<void()>([this] {
        EXPECT_EQ(console_->RowText(5).substr(2, 37), std::string(37, 'n'));
        EXPECT_EQ(console_->RowU32(5)[39], U'║');
    })});
}

TEST_F(HelpTest, ConsoleTooSmallForThePagerShowsNothing) {
    Make(8, 80, "DOS");
    WriteNumberedHelp("T", 10);
    const auto before = Snapshot();
    EXPECT_EQ(help_->ShowHelp("T"), HelpOutcome::NoRoom);
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(colours_->CurrentIndex(), 0);
    EXPECT_EQ(console_->beeps(), 1);
}

TEST(PagerBottomLine, KeysInTheMiddleLinesShownAtTheRight) {
    const std::string keys = "\x18\x19 ReP\x85g AvP\x85g \xFA Esc";
    const struct {
        const char* name;
        std::int64_t first, last, lines;
        int width;
        const char* line;  // UTF-8
    } cases[] = {
        {"a page of a long text", 18, 34, 100, 80,
         "╚════════════════════════════ ↑↓ RePàg AvPàg · Esc ════════════════ 18-34/100 ═╝"},
        {"a text shorter than the page", 1, 17, 10, 80,
         "╚════════════════════════════ ↑↓ RePàg AvPàg · Esc ══════════════════ 1-10/10 ═╝"},
        {"an empty page shows no position", 1, 17, 0, 80,
         "╚════════════════════════════ ↑↓ RePàg AvPàg · Esc ════════════════════════════╝"},
        {"no room for both: the keys stay", 1, 17, 100, 40, "╚════════ ↑↓ RePàg AvPàg · Esc ════════╝"},
        {"no room for the keys: the position", 1, 17, 100, 20, "╚═══════ 1-17/100 ═╝"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Cp850ToUtf8(PagerBottomLine(keys, c.first, c.last, c.lines, c.width)), c.line) << c.name;
}

// A terminal that shows 20 rows of the program's 25: the pager fits them,
// its keys on the last row seen, and scrolls by the lines it shows.
TEST_F(HelpTest, ThePagerTakesTheRowsTheTerminalShows) {
    console_->ShowOnly(20, 80);
    WriteNumberedHelp("T", 100);
    const auto before = Snapshot();
    auto border = [this](std::string position) {
        return std::function<void()>([this, position] {
            const std::string bottom = Cp850ToUtf8(console_->RowText(17));
            EXPECT_EQ(bottom.rfind("╚", 0), 0u) << bottom;
            EXPECT_NE(bottom.find(" " + position + " ═╝"), std::string::npos) << bottom;
            EXPECT_EQ(console_->RowText(18), std::string(80, 's'));  // below the window: untouched
        });
    };
    Run("T", {border("1-12/100"), std::string("PgDn"), border("13-24/100"), std::string("End"), border("89-100/100"),
              std::function<void()>([this] {
                  EXPECT_EQ(console_->RowText(5).substr(2, 8), "Line 089");
                  EXPECT_EQ(console_->RowText(16).substr(2, 8), "Line 100");
              })});
    EXPECT_EQ(Snapshot(), before);
}

TEST(HelpTopic, IsAPlainNameThatNamesNoDevice) {
    const struct {
        std::string topic;
        bool accepted;
    } cases[] = {
        {"QPLAYOUT", true},
        {"qpmenuex", true},
        {"A", true},
        {"Tema_2-b", true},
        {std::string(64, 'x'), true},
        {std::string(65, 'x'), false},
        {"", false},
        {"..", false},
        {"../../x", false},
        {"..\\x", false},
        {"a\\b", false},
        {"a/b", false},
        {"C:x", false},
        {"x.HLP", false},
        {"X&echo pwned>Z:\\p.txt&rem ", false},
        {"x$(id)", false},
        {"x`id`", false},
        {"a|b", false},
        {"a;b", false},
        {"a^b", false},
        {"x%COMSPEC%", false},
        {"\"x\"", false},
        {"'x'", false},
        {"x y", false},
        {"x\ty", false},
        {std::string("x\0y", 3), false},
        {"\x80" "A", false},  // Ç: letters are ASCII letters only
        {"CON", false},
        {"con", false},
        {"Nul", false},
        {"PRN", false},
        {"aux", false},
        {"COM1", false},
        {"com9", false},
        {"LPT1", false},
        {"lPt9", false},
        {"COM0", false},  // reserved by Windows as well
        {"LPT0", false},
        {"COM10", true},
        {"CONX", true},
        {"NULL", true},
        {"COM", true},
    };
    for (const auto& c : cases) EXPECT_EQ(IsHelpTopic(c.topic), c.accepted) << '"' << c.topic << '"';
}

TEST_F(HelpTest, ATopicThatIsNoPlainNameBeepsAndNothingIsOpenedOrRun) {
    WriteNumberedHelp("T", 10);
    for (const bool windowsHost : {false, true}) {
        Make(25, 80, windowsHost ? "WIN" : "DOS");
        platform_->windowsHost = windowsHost;
        platform_->comspec = "CMD.EXE";
        const auto before = Snapshot();
        for (const char* topic : {"X&echo pwned>p.txt&rem ", "x$(touch p)", "T;ls", "T|x", "\"T\"", "../AJUDA/T", "NUL", ""}) {
            const int beeps = console_->beeps();
            help_->ShowHelp(topic);
            EXPECT_EQ(console_->beeps(), beeps + 1) << topic;
        }
        EXPECT_EQ(Snapshot(), before);
        EXPECT_EQ(windows_->WindowDepth(), 0);
    }
    EXPECT_TRUE(platform_->commands.empty());
    EXPECT_TRUE(platform_->opened.empty());
    EXPECT_FALSE(fs::exists(dir_ / "WinPush.tmp"));
}

// WINDIR or SYSTEMROOT set elsewhere than on Windows: there is no QPOPEN,
// and no command line is built.
TEST_F(HelpTest, AWindowsHostKindOnAnotherSystemUsesThePager) {
    Make(25, 80, "WIN");
    platform_->comspec = "/bin/sh";
    WriteNumberedHelp("T", 20);
    Run("T", {Shows(1, 20)});
    EXPECT_TRUE(platform_->commands.empty());
}

TEST_F(HelpTest, TheSessionLanguagesPageComesFirst) {
    const struct {
        const char* name;
        const char* language;
        std::vector<std::string> pages;  // under AJUDA, without the extension
        std::string page;                // the one shown and named; empty: none
    } cases[] = {
        {"Catalan", "CAT", {"T", "SPA/T"}, "T"},
        {"Spanish, both pages", "SPA", {"T", "SPA/T"}, "SPA/T"},
        {"Spanish, only the Catalan page", "SPA", {"T"}, "T"},
        {"Spanish page alone", "SPA", {"SPA/T"}, "SPA/T"},
        {"another language's page only", "GLG", {"T", "SPA/T"}, "T"},
        {"no page at all", "OCI", {}, ""},
        {"no folder for Catalan", "CAT", {"T", "CAT/T"}, "T"},
        {"code shorter than three letters", "OC ", {"T", "OC/T"}, "T"},
        {"code that is a device", "NUL", {"T", "NUL/T"}, "T"},
        {"code that climbs out of AJUDA", "..\\", {"T", "../T"}, "T"},
        {"code with a digit", "SP1", {"T", "SP1/T"}, "T"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dir_ / "AJUDA");
        fs::create_directory(dir_ / "AJUDA");
        for (const std::string& page : c.pages) {
            WriteHelp(page, Record(page));
            WriteHelp(page, "<html>", ".HTM");
        }
        Make(25, 80, "DOS", c.language);
        Run("T", {std::function<void()>([&, this] { EXPECT_EQ(console_->RowText(5).substr(2, 8), FitWidth(c.page, 8)); })});

        Make(25, 80, "WIN", c.language);
        platform_->windowsHost = true;
        platform_->comspec = "C:\\CMD.EXE";
        platform_->commands.clear();
        help_->ShowHelp("T");
        std::string named = c.page.empty() ? "T" : c.page;
        std::replace(named.begin(), named.end(), '/', '\\');
        EXPECT_EQ(platform_->commands, std::vector<std::string> {"C:\\CMD.EXE /C QPOPEN AJUDA\\" + named + ".HTM"});
    }
}

// A help page is read only when it is a regular file of at most 1 MiB:
// anything else is a missing page, and the next place is looked at.
TEST_F(HelpTest, APageThatIsNoSmallRegularFileCountsAsMissing) {
    const auto fill = [](std::int64_t size) {
        return [size](const fs::path& p, const std::string& label) {
            std::string bytes = Record(label);
            bytes.resize(static_cast<std::size_t>(size), ' ');
            std::ofstream(p, std::ios::binary) << bytes;
        };
    };
    const struct {
        const char* name;
        std::function<void(const fs::path&, const std::string&)> make;
        bool read;
    } cases[] = {
        {"FIFO", [](const fs::path& p, const std::string&) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, false},
        {"folder", [](const fs::path& p, const std::string&) { fs::create_directory(p); }, false},
        {"1 MiB + 1", fill(kSmallFileLimit + 1), false},
        {"1 MiB", fill(kSmallFileLimit), true},
        {"link to a FIFO",
         [](const fs::path& p, const std::string&) {
             ASSERT_EQ(::mkfifo((p.string() + ".fifo").c_str(), 0600), 0);
             fs::create_symlink(p.filename().string() + ".fifo", p);
         },
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dir_ / "AJUDA");
        fs::create_directories(dir_ / "AJUDA" / "SPA");
        // The Spanish page is looked at first; the Catalan one is there.
        WriteHelp("T", Record("T"));
        c.make(dir_ / "AJUDA" / "SPA" / "T.HLP", "SPA/T");
        Make(25, 80, "DOS", "SPA");
        Run("T", {std::function<void()>([&, this] {
            EXPECT_EQ(console_->RowText(5).substr(2, 8), FitWidth(c.read ? "SPA/T" : "T", 8));
        })});
        // The Catalan page alone: an empty pager.
        fs::remove_all(dir_ / "AJUDA");
        fs::create_directories(dir_ / "AJUDA");
        c.make(dir_ / "AJUDA" / "T.HLP", "T");
        Make(25, 80, "DOS", "CAT");
        Run("T", {std::function<void()>([&, this] {
            EXPECT_EQ(console_->RowText(5).substr(2, 8), FitWidth(c.read ? "T" : "", 8));
        })});
    }
}

}  // namespace
}  // namespace qp
#endif  // _WIN32
