#include <gtest/gtest.h>

#ifndef _WIN32
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>

#include "format/preferences.h"
#include "input/calculator.h"
#include "input/input_rig.h"

namespace qp {
namespace {

// Feeds a text of keys: characters stand for themselves, "\n" for Enter.
void Type(CalculatorState& s, const std::string& keys) {
    for (char c : keys) ApplyCalculatorKey(s, c == '\n' ? key::Enter : static_cast<key::Code>(c));
}

std::string TapeOps(const CalculatorState& s) {
    std::string ops;
    for (int k = s.firstTapeLine; k <= kTapeLines; ++k) ops += s.tape[static_cast<std::size_t>(k - 1)].op;
    return ops;
}

TEST(Calculator, AddingTwoNumbersPrintsThreeTapeLinesAndGivesHundredths) {
    CalculatorState s;
    Type(s, "12+30=");
    ASSERT_EQ(s.firstTapeLine, 20);
    EXPECT_EQ(s.tape[19].value, 12);
    EXPECT_EQ(s.tape[19].op, "+");
    EXPECT_EQ(s.tape[20].value, 30);
    EXPECT_EQ(s.tape[20].op, "=");
    EXPECT_EQ(s.tape[21].value, 42);
    EXPECT_EQ(s.tape[21].op, " ");
    EXPECT_EQ(CalculatorResult(s), "4200");
}

TEST(Calculator, ClearThreeTimesDropsEntryThenAccumulatorThenTape) {
    CalculatorState s;
    Type(s, "5+7");
    Type(s, "C");
    EXPECT_FALSE(s.entering);
    EXPECT_EQ(s.entry, 5);  // the running result is shown again
    Type(s, "C");
    EXPECT_EQ(s.accumulator, 0);
    EXPECT_TRUE(s.cleared);
    EXPECT_LT(s.firstTapeLine, kEmptyTape);
    Type(s, "C");
    EXPECT_EQ(s.firstTapeLine, kEmptyTape);

    // The full clear empties entry, total and pending operation, and leaves
    // the decimal point and count as they were.
    CalculatorState d;
    Type(d, "1.5+C");
    EXPECT_EQ(d.entry, 0);
    EXPECT_EQ(d.accumulator, 0);
    EXPECT_EQ(d.pendingOp, "");
    EXPECT_TRUE(d.cleared);
    EXPECT_TRUE(d.decimal);
    EXPECT_EQ(d.decimals, 1);
}

TEST(Calculator, PercentOfTheAccumulatorOrOfOne) {
    CalculatorState a;
    Type(a, "200+10%");
    EXPECT_EQ(a.entry, 20);
    Type(a, "=");
    EXPECT_EQ(a.accumulator, 220);

    CalculatorState b;
    Type(b, "10%");
    EXPECT_DOUBLE_EQ(b.entry, 0.1);
    EXPECT_EQ(b.decimals, 1);
}

TEST(Calculator, RoundToHundredthsGoesToTheEvenHundredthOnTies) {
    struct Case {
        const char* keys;
        double expected;
    } cases[] = {{".125R", 0.12}, {".375R", 0.38}, {".126R", 0.13}, {".124R", 0.12}, {".125TR", -0.12},
                 {".129TR", -0.12}, {"3R", 3}};
    for (const Case& c : cases) {
        CalculatorState s;
        Type(s, c.keys);
        EXPECT_DOUBLE_EQ(s.entry, c.expected) << c.keys;
        EXPECT_EQ(s.decimals, 2) << c.keys;
        EXPECT_EQ(s.tape[21].op, "R") << c.keys;
    }
}

TEST(Calculator, ResultIsTheValueInHundredthsWithoutSign) {
    struct Case {
        const char* keys;
        const char* result;
    } cases[] = {{"12.5=", "1250"}, {"3=", "300"}, {"1.234=", "123.4"}, {"5-8=", "300"}, {".05+.07=", "12"},
                 {".001=", "0.1"}, {"0=", "0"}, {"12.5", "1250"}};
    for (const Case& c : cases) {
        CalculatorState s;
        Type(s, c.keys);
        EXPECT_EQ(CalculatorResult(s), c.result) << c.keys;
    }
}

TEST(Calculator, TypingAfterAPointAndBackspace) {
    CalculatorState s;
    Type(s, "12.34");
    EXPECT_DOUBLE_EQ(s.entry, 12.34);
    EXPECT_EQ(s.decimals, 2);
    ApplyCalculatorKey(s, key::Backspace);
    EXPECT_DOUBLE_EQ(s.entry, 12.3);
    ApplyCalculatorKey(s, key::Backspace);
    ApplyCalculatorKey(s, key::Backspace);  // the point goes
    EXPECT_FALSE(s.decimal);
    ApplyCalculatorKey(s, key::Backspace);
    EXPECT_EQ(s.entry, 1);
    ApplyCalculatorKey(s, key::Backspace);
    EXPECT_FALSE(s.entering);
}

// Backspace never starts an entry: on a result it changes what is shown, and
// F still gives the result; once an entry is empty, it has ended.
TEST(Calculator, BackspaceNeverStartsAnEntry) {
    struct Case {
        const char* keys;  // then Backspace, then F
        bool entering;
        const char* result;
    } cases[] = {{"12+30=", false, "4200"}, {"7.5*2=", false, "1500"}, {"12+34", true, "300"},
                 {"12+3", false, "1200"}, {"12+.5", false, "1200"}, {"12+.56", true, "50"}};
    for (const Case& c : cases) {
        CalculatorState s;
        Type(s, c.keys);
        ApplyCalculatorKey(s, key::Backspace);
        EXPECT_EQ(s.entering, c.entering) << c.keys;
        EXPECT_EQ(ApplyCalculatorKey(s, 'F'), CalculatorEffect::Finish) << c.keys;
        EXPECT_EQ(CalculatorResult(s), c.result) << c.keys;
    }
}

// The state kept in MURCALC.TMP includes whether a number was being typed:
// after F and a new opening, a digit goes on with that number, and after a
// result it starts a new one.
TEST(Calculator, FirstDigitAfterReopeningFollowsTheKeptEntry) {
    struct Case {
        const char* before;  // then F, the file written and read again, then "1"
        double entry;
        int decimals;
    } cases[] = {{".07", 0.071, 3}, {"7%", 0.071, 3}, {"12+30=", 1, 0}, {"5+.07=", 1, 0}};
    for (const Case& c : cases) {
        CalculatorState s;
        Type(s, c.before);
        ASSERT_EQ(ApplyCalculatorKey(s, 'F'), CalculatorEffect::Finish) << c.before;
        CalculatorState reopened = ParseCalculatorState(SerialiseCalculatorState(s));
        Type(reopened, "1");
        EXPECT_DOUBLE_EQ(reopened.entry, c.entry) << c.before;
        EXPECT_EQ(reopened.decimals, c.decimals) << c.before;
    }
}

TEST(Calculator, NegativeEntryKeepsItsSignWhileTyping) {
    CalculatorState s;
    Type(s, "5T3");
    EXPECT_EQ(s.entry, -53);
}

TEST(Calculator, DivisionByZeroAndOverflowShowAnErrorNeverInfinity) {
    CalculatorState s;
    Type(s, "5/0");
    EXPECT_EQ(ApplyCalculatorKey(s, '='), CalculatorEffect::Refused);
    EXPECT_TRUE(s.error);
    EXPECT_EQ(s.tape[21].op, "E");
    EXPECT_EQ(s.entry, 0);
    EXPECT_EQ(s.accumulator, 0);
    EXPECT_EQ(SerialiseCalculatorState(s).find("inf"), std::string::npos);

    CalculatorState big;
    Type(big, "999999999999999*");
    Type(big, "10=");
    EXPECT_TRUE(big.error);
    Type(big, "2+2=");
    EXPECT_FALSE(big.error);
    EXPECT_EQ(big.accumulator, 4);
}

TEST(Calculator, EntryRefusesASixteenthDigit) {
    CalculatorState s;
    Type(s, "123456789012345");
    EXPECT_EQ(ApplyCalculatorKey(s, '6'), CalculatorEffect::Refused);
    EXPECT_EQ(s.entry, 123456789012345.0);
}

TEST(Calculator, BoxColumnWrapsBetweenOneAndFiftyFive) {
    CalculatorState s;
    EXPECT_EQ(ApplyCalculatorKey(s, key::Left), CalculatorEffect::MoveBox);
    EXPECT_EQ(s.column, 55);
    ApplyCalculatorKey(s, key::Right);
    EXPECT_EQ(s.column, 1);
}

TEST(Calculator, MaskKeepsItsWidthWhateverTheDecimals) {
    EXPECT_EQ(CalculatorMask(false, 0), "-Z,ZZZ,ZZZ,ZZZ,ZZZ,ZZ9");
    for (int d = 0; d <= 14; ++d) EXPECT_EQ(CalculatorMask(true, d).size(), 22u) << d;
    EXPECT_EQ(CalculatorMask(true, 2), "-ZZ,ZZZ,ZZZ,ZZZ,ZZ9.99");
}

TEST(CalculatorFile, StateSurvivesARoundTrip) {
    CalculatorState s;
    Type(s, "12+30=");
    Type(s, "7.5");
    ApplyCalculatorKey(s, key::Right);
    std::string text = SerialiseCalculatorState(s);
    EXPECT_EQ(text.substr(0, text.find("\r\n")), "2,20,7.5,42");
    CalculatorState back = ParseCalculatorState(text);
    EXPECT_EQ(back.column, 2);
    EXPECT_EQ(back.firstTapeLine, 20);
    EXPECT_EQ(back.entry, 7.5);
    EXPECT_TRUE(back.entering);
    EXPECT_TRUE(back.decimal);
    EXPECT_EQ(back.decimals, 1);
    EXPECT_EQ(TapeOps(back), "+= ");
    EXPECT_EQ(SerialiseCalculatorState(back), text);
}

TEST(CalculatorFile, EmptyFileGivesTheInitialState) {
    std::string initial = SerialiseCalculatorState(CalculatorState {});
    EXPECT_EQ(SerialiseCalculatorState(ParseCalculatorState("")), initial);
    EXPECT_EQ(initial.substr(0, 31), "1,23,0,0\r\n-1,0,0,0\r\n\"\",\"\"\r\n0,0,");
}

TEST(CalculatorFile, DamagedFieldsFallBackOneByOne) {
    struct Case {
        const char* text;
        int column;
        int first;
        double entry;
    } cases[] = {
        {"99,5,1e300,2\r\n0,0,0,0\r\n\"\",\"\"\r\n", 1, 5, 0},
        {"7,1,abc,2\r\n0,0,0,99\r\n\"x\",\"+\"\r\n", 7, 23, 0},
        {"3,23,nan,inf\r\n", 1, 23, 0},  // cut short: nothing taken
        {"\x1a\xff\xfe,,,,", 1, 23, 0},
        {"-4,22,12.5,0\r\n0,0,0,0\r\n\"\",\"\"\r\n", 1, 22, 12.5},
    };
    for (const Case& c : cases) {
        CalculatorState s = ParseCalculatorState(c.text);
        EXPECT_EQ(s.column, c.column) << c.text;
        EXPECT_EQ(s.firstTapeLine, c.first) << c.text;
        EXPECT_EQ(s.entry, c.entry) << c.text;
        EXPECT_EQ(s.accumulator == s.accumulator, true);  // never NaN
    }
}

#ifndef _WIN32  // links, FIFOs and owners as POSIX has them
namespace fs = std::filesystem;

void WriteText(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

// Column 9, 7.5 on the entry line and in the total: "F" gives 750 when it is read.
const std::string kKeptState = "9,23,7.5,7.5\r\n0,0,0,0\r\n\"\",\"\"\r\n";

// Runs `beforeLastKey` just before the program takes the last queued key.
class HookedConsole : public MemoryConsole {
public:
    bool PollEvent(InputEvent& event) override {
        if (QueuedEvents() == 1 && beforeLastKey) std::exchange(beforeLastKey, nullptr)();
        return MemoryConsole::PollEvent(event);
    }
    std::function<void()> beforeLastKey;
};

class CalculatorStateFile : public ::testing::Test, protected testing::InputRig<HookedConsole> {
protected:
    std::string Open(std::initializer_list<std::string_view> keys) {
        console.PressKeys(keys);
        Calculator calculator(keyboard, windows, colours, prefs_, platform, dir.Dir());
        return calculator.CalculatorPopup();
    }
    fs::path State() const { return dir / "MURCALC.TMP"; }

    UserPreferences prefs_ {platform, dir / "Tarn.ini"};
};

// The terminal's folder may be shared: a MURCALC.TMP that is not this user's
// own regular file is neither read nor written, and what it points to is
// never touched; the calculator then starts from a clear state.
TEST_F(CalculatorStateFile, OnlyThisUsersOwnFileIsReadAndWritten) {
    const passwd* nobody = ::getpwnam("nobody");
    const bool asRoot = ::geteuid() == 0 && nobody != nullptr;
    const struct {
        const char* name;
        std::function<void(const fs::path& state, const fs::path& target)> plant;
        bool read;
        bool written;
        bool needsRoot = false;
    } cases[] = {
        {"own file", [](const fs::path& p, const fs::path&) { WriteText(p, kKeptState); }, true, true},
        {"missing", [](const fs::path&, const fs::path&) {}, false, true},
        {"symbolic link", [](const fs::path& p, const fs::path& t) { fs::create_symlink(t, p); }, false, false},
        {"second name", [](const fs::path& p, const fs::path& t) { fs::create_hard_link(t, p); }, false, false},
        {"FIFO", [](const fs::path& p, const fs::path&) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, false, false},
        {"folder", [](const fs::path& p, const fs::path&) { fs::create_directory(p); }, false, false},
        {"larger than 1 MiB",
         [](const fs::path& p, const fs::path&) {
             WriteText(p, kKeptState + std::string(static_cast<std::size_t>(kSmallFileLimit), ' '));
         },
         false, true},
        {"another user's file",
         [nobody](const fs::path& p, const fs::path&) {
             WriteText(p, kKeptState);
             ::chmod(p.c_str(), 0666);
             ASSERT_EQ(::chown(p.c_str(), nobody->pw_uid, static_cast<gid_t>(-1)), 0);
         },
         false, false, true},
    };
    const fs::path target = dir / "important.sh";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsRoot && !asRoot) continue;
        fs::remove_all(State());
        WriteText(target, kKeptState);
        ::chmod(target.c_str(), 0700);
        c.plant(State(), target);
        const fs::file_type planted = fs::symlink_status(State()).type();
        const std::string plantedBytes = planted == fs::file_type::regular ? dir.Read("MURCALC.TMP") : "";

        EXPECT_EQ(Open({"F"}), c.read ? "750" : "0");
        EXPECT_EQ(windows.WindowDepth(), 0);

        EXPECT_EQ(dir.Read("important.sh"), kKeptState);
        EXPECT_EQ(fs::status(target).permissions(), fs::perms::owner_all);
        if (c.written) {
            EXPECT_EQ(fs::symlink_status(State()).type(), fs::file_type::regular);
            EXPECT_EQ(dir.Read("MURCALC.TMP").substr(0, 9), c.read ? "9,23,7.5," : "1,23,0,0\r");
            EXPECT_EQ(fs::status(State()).permissions() & (fs::perms::group_all | fs::perms::others_all), fs::perms::none);
        } else {
            EXPECT_EQ(fs::symlink_status(State()).type(), planted);
            EXPECT_EQ(planted == fs::file_type::regular ? dir.Read("MURCALC.TMP") : "", plantedBytes);
        }
    }
}

// The file is looked at again when the calculator closes: one swapped for a
// link meanwhile is left as it is, and so is what it points to.
TEST_F(CalculatorStateFile, ASwapForALinkWhileTheCalculatorIsOpenReachesNothing) {
    const fs::path target = dir / "data.txt";
    WriteText(target, "the operator's data");
    WriteText(State(), kKeptState);
    console.TypeText("1+2=");
    console.beforeLastKey = [&] {
        fs::remove(State());
        fs::create_symlink(target, State());
    };
    EXPECT_EQ(Open({"F"}), "300");
    EXPECT_EQ(dir.Read("data.txt"), "the operator's data");
    EXPECT_TRUE(fs::is_symlink(State()));
}
#endif  // _WIN32

// A console narrower than 80 columns: the box goes round at its edge, so
// that it is always wholly on the console and the screen comes back.
TEST(CalculatorBox, GoesRoundAtTheEdgeOfANarrowConsole) {
    struct NarrowConsole : MemoryConsole {
        NarrowConsole() : MemoryConsole(25, 60) {}
    };
    const struct {
        const char* start;  // first line of MURCALC.TMP
        const char* key;
        const char* column;  // kept afterwards
    } cases[] = {
        {"35,23,0,0", "Right", "1,"},
        {"1,23,0,0", "Left", "35,"},
        {"20,23,0,0", "Right", "21,"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        testing::InputRig<NarrowConsole> rig;
        for (int r = 1; r <= 25; ++r) {
            rig.screen.Locate(r, 1);
            rig.screen.Print(std::string(60, static_cast<char>('a' + r)));
        }
        std::vector<std::string> before;
        for (int r = 1; r <= 25; ++r) before.push_back(rig.console.RowText(r));
        rig.dir.Write("MURCALC.TMP", std::string(c.start) + "\r\n0,0,0,0\r\n\"\",\"\"\r\n");
        rig.console.PressKeys({c.key, "Esc"});
        UserPreferences prefs(rig.platform, rig.dir / "Tarn.ini");
        Calculator calculator(rig.keyboard, rig.windows, rig.colours, prefs, rig.platform, rig.dir.Dir());
        EXPECT_EQ(calculator.CalculatorPopup(), "");
        EXPECT_EQ(rig.dir.Read("MURCALC.TMP").substr(0, std::string(c.column).size()), c.column);
        for (int r = 1; r <= 25; ++r) EXPECT_EQ(rig.console.RowText(r), before[static_cast<std::size_t>(r - 1)]) << r;
    }
}

}  // namespace
}  // namespace qp
