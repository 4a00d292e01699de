// The calendar and the calculator as the operator sees them: drawn over a
// screen, driven by keys, leaving that screen as it was.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "format/dates.h"
#include "format/numbers.h"
#include "format/preferences.h"
#include "input/calculator.h"
#include "input/calendar.h"
#include "input/input_rig.h"
#include "input/refusal_recorder.h"

namespace qp {
namespace {

// Keeps a copy of the screen each time the program takes a key, so that a
// test can look at a pop-up while it is open.
class RecordingConsole : public MemoryConsole {
public:
    struct Shot {
        std::vector<std::string> rows;  // 1-based: rows[0] unused
        std::vector<std::vector<std::uint8_t>> attrs;
    };
    bool PollEvent(InputEvent& event) override {
        if (QueuedEvents() > 0) shots.push_back(Take());
        return MemoryConsole::PollEvent(event);
    }
    Shot Take() {
        Shot s;
        s.rows.resize(static_cast<std::size_t>(Rows()) + 1);
        s.attrs.resize(static_cast<std::size_t>(Rows()) + 1);
        for (int r = 1; r <= Rows(); ++r) {
            s.rows[static_cast<std::size_t>(r)] = RowText(r);
            for (int c = 1; c <= Columns(); ++c) s.attrs[static_cast<std::size_t>(r)].push_back(AttrAt(r, c));
        }
        return s;
    }
    std::vector<Shot> shots;
};

std::string Cells(const RecordingConsole::Shot& shot, int row, int column, int count) {
    return shot.rows[static_cast<std::size_t>(row)].substr(static_cast<std::size_t>(column - 1),
                                                           static_cast<std::size_t>(count));
}

std::uint8_t Attr(const RecordingConsole::Shot& shot, int row, int column) {
    return shot.attrs[static_cast<std::size_t>(row)][static_cast<std::size_t>(column - 1)];
}

class PopupTest : public ::testing::Test, protected testing::InputRig<RecordingConsole> {
protected:
    void SetUp() override {
        // Something under the pop-ups, to see that it comes back.
        for (int r = 1; r <= 25; ++r) {
            screen.Locate(r, 1);
            screen.Print(std::string(80, static_cast<char>('a' + r % 26)));
        }
        before_ = console.Take();
    }

    std::string OpenCalendar(const std::string& language, const std::string& ymd) {
        language_ = language;
        workDate_ = PackDigits(ymd);
        Calendar calendar(keyboard, windows, colours, prefs_, language_, workDate_);
        return calendar.CalendarPopup();
    }
    std::string OpenCalculator() {
        Calculator calculator(keyboard, windows, colours, prefs_, platform, dir.Dir());
        return calculator.CalculatorPopup();
    }
    void ExpectScreenAsBefore() {
        RecordingConsole::Shot now = console.Take();
        EXPECT_EQ(now.rows, before_.rows);
    }
    const RecordingConsole::Shot& Shot(std::size_t i) { return console.shots.at(i); }

    UserPreferences prefs_ {platform, dir / "Tarn.ini"};
    std::string language_;
    std::string workDate_;
    RecordingConsole::Shot before_;
};

TEST_F(PopupTest, CalendarShowsTheQuarterOfTheWorkingDateAtTheRightEdge) {
    console.PressKey("Esc");
    EXPECT_EQ(OpenCalendar("CAT", "20240305"), "");
    const auto& shot = Shot(0);
    EXPECT_EQ(Cells(shot, 1, 59, 22), "\xDA" + std::string(7, '\xC4') + " 2024 " + std::string(7, '\xC4') + "\xBF");
    EXPECT_EQ(Cells(shot, 2, 60, 20), "DL DT DC DJ DV DS DG");
    EXPECT_EQ(Cells(shot, 3, 60, 20), "       GENER        ");
    EXPECT_EQ(Cells(shot, 17, 60, 20), "        MAR\x80        ");
    // 1 March 2024 is a Friday; the 5th, a Tuesday, is on the second week row.
    EXPECT_EQ(Cells(shot, 18, 60, 20), "             1  2  3");
    EXPECT_EQ(Cells(shot, 19, 60, 5), " 4  5");
    EXPECT_NE(Attr(shot, 19, 64), Attr(shot, 19, 61)) << "the 5th is highlighted";
    EXPECT_EQ(Attr(shot, 19, 67), Attr(shot, 19, 61));
    EXPECT_EQ(Cells(shot, 25, 1, 80), before_.rows[25]) << "the window ends on row 24";
    EXPECT_EQ(Cells(shot, 5, 1, 58), before_.rows[5].substr(0, 58));
    ExpectScreenAsBefore();
}

TEST_F(PopupTest, CalendarHeaderFollowsTheLanguage) {
    struct Case {
        const char* language;
        const char* header;
    } cases[] = {
        {"CAT", "DL DT DC DJ DV DS DG"},
        {"OCI", "DL DT DC DJ DD DS DG"},
        {"SPA", " L  M  X  J  V  S  D"},
        {"GLG", " L  M  X  J  V  S  D"},
    };
    for (const Case& c : cases) {
        console.shots.clear();
        console.PressKey("Esc");
        OpenCalendar(c.language, "20240305");
        EXPECT_EQ(Cells(Shot(0), 2, 60, 20), c.header) << c.language;
    }
}

TEST_F(PopupTest, CalendarRedrawsWhenTheDayLeavesTheQuarter) {
    console.PressKeys({"Left", "Esc"});
    OpenCalendar("CAT", "20240101");
    const auto& shot = Shot(1);
    EXPECT_EQ(Cells(shot, 1, 67, 6), " 2023 ");
    EXPECT_EQ(Cells(shot, 3, 60, 20), "      OCTUBRE       ");
    EXPECT_EQ(Cells(shot, 17, 60, 20), "      DESEMBRE      ");
    // December 2023 starts on a Friday: 31 is a Sunday on the fifth row, nothing after it.
    EXPECT_EQ(Cells(shot, 22, 60, 20), "25 26 27 28 29 30 31");
    EXPECT_EQ(Cells(shot, 23, 60, 20), std::string(20, ' '));
}

TEST_F(PopupTest, CalendarAcceptsOnlyWithF) {
    console.PressKeys({"Enter", "Right", "f"});
    std::string chosen = OpenCalendar("CAT", "20240305");
    EXPECT_EQ(chosen, FormatDate(prefs_, "CAT", PackDigits("20240306"), 0, "dma"));
    EXPECT_FALSE(chosen.empty());
    console.PressKey("Alt+F");
    EXPECT_EQ(OpenCalendar("SPA", "20241231"), FormatDate(prefs_, "SPA", PackDigits("20241231"), 0, "dma"));
    ExpectScreenAsBefore();
}

// Measured against what the operator sees: a terminal smaller than the
// program's 80 x 25 screen keeps the screen whole but shows only part of it.
TEST_F(PopupTest, PopupsThatCannotBeSeenWholeDoNotOpen) {
    struct Case {
        const char* name;
        int rows, columns;  // the console's own size
        int seenRows, seenColumns;  // what is seen of it; 0: all
        std::vector<std::string> heard;
    };
    const std::string calculator = "PopupTooLarge La calculadora 26x25";
    const std::string calendar = "PopupTooLarge El calendari 22x24";
    const Case cases[] = {
        {"a console of 20 rows", 20, 80, 0, 0, {calendar, calculator}},
        {"a terminal of 80 x 24", 25, 80, 24, 80, {calculator}},
        {"a terminal of 80 x 23", 25, 80, 23, 80, {calendar, calculator}},
        {"a terminal of 21 columns", 25, 80, 25, 21, {calendar, calculator}},
        {"a terminal of 25 columns: the calculator needs 26", 25, 80, 25, 25, {calculator}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing::RefusalRecorder recorder;
        RefusalListenerScope listening(keyboard, recorder);
        console.Resize(c.rows, c.columns);
        console.ShowOnly(c.seenRows, c.seenColumns);
        before_ = console.Take();
        const int beeps = console.beeps();
        console.shots.clear();
        // Whatever opens is closed by its Esc; a refused pop-up leaves it unread.
        console.PressKeys({"Esc", "Esc"});
        OpenCalendar("CAT", "20240305");
        OpenCalculator();
        EXPECT_EQ(recorder.log, c.heard);
        EXPECT_EQ(console.beeps() - beeps, static_cast<int>(c.heard.size()));
        EXPECT_EQ(console.QueuedEvents(), c.heard.size()) << "a refused pop-up takes no key";
        ExpectScreenAsBefore();
        while (console.QueuedEvents() > 0) keyboard.ReadKeyEvent();
    }
}

// A calculator left at column 50 opens where a 60-column terminal shows it.
TEST_F(PopupTest, TheCalculatorMovesWithinTheColumnsSeen) {
    CalculatorState left;
    left.column = 50;
    dir.Write("MURCALC.TMP", SerialiseCalculatorState(left));
    console.ShowOnly(25, 60);
    console.PressKey("Esc");
    OpenCalculator();
    ASSERT_EQ(console.shots.size(), 1u);
    EXPECT_EQ(Cells(Shot(0), 25, 35, 26), "\xC0" + std::string(24, '\xC4') + "\xD9");
    EXPECT_EQ(console.beeps(), 0);
}

TEST_F(PopupTest, CalculatorTapeGrowsUpwardsAndTheResultIsInHundredths) {
    console.TypeText("12+30=F");
    EXPECT_EQ(OpenCalculator(), "4200");
    const auto& last = Shot(console.shots.size() - 1);  // before "F"
    const std::string bar = "\xB3";
    EXPECT_EQ(Cells(last, 19, 1, 26), "\xDA" + std::string(24, '\xC4') + "\xBF");
    EXPECT_EQ(Cells(last, 20, 1, 26), bar + std::string(20, ' ') + "12 +" + bar);
    EXPECT_EQ(Cells(last, 21, 1, 26), bar + std::string(20, ' ') + "30 =" + bar);
    EXPECT_EQ(Cells(last, 22, 1, 26), bar + std::string(20, ' ') + "42  " + bar);
    EXPECT_EQ(Cells(last, 23, 1, 26), "\xC3" + std::string(24, '\xC4') + "\xB4");
    EXPECT_EQ(Cells(last, 24, 1, 26), bar + std::string(20, ' ') + "42  " + bar);
    EXPECT_EQ(Cells(last, 25, 1, 26), "\xC0" + std::string(24, '\xC4') + "\xD9");
    EXPECT_EQ(Cells(last, 18, 1, 26), before_.rows[18].substr(0, 26));
    ExpectScreenAsBefore();
}

TEST_F(PopupTest, CalculatorStateSurvivesARestart) {
    console.TypeText("7.5");
    console.PressKeys({"Left", "Esc"});
    EXPECT_EQ(OpenCalculator(), "");
    std::string file = dir.Read("MURCALC.TMP");
    EXPECT_EQ(file.substr(0, file.find("\r\n")), "55,23,7.5,0");

    console.shots.clear();
    console.PressKeys({"+", "F"});  // a new object stands for the next run
    EXPECT_EQ(OpenCalculator(), "750");
    const auto& shot = Shot(0);
    EXPECT_EQ(Cells(shot, 24, 55, 26), "\xB3" + FormatNumber(prefs_, CalculatorMask(true, 1), 7.5) + "  \xB3");
    EXPECT_NE(Cells(shot, 24, 55, 26).find("7"), std::string::npos);
    EXPECT_EQ(Cells(shot, 23, 55, 1), "\xDA") << "the box opens where it was left, with an empty tape";
}

TEST_F(PopupTest, CalculatorErrorsShowOnTheTapeAndAreNeverStored) {
    struct Case {
        const char* keys;
        const char* firstLine;  // of MURCALC.TMP: each case adds three tape lines
    } cases[] = {{"5/0=", "1,20,0,0"}, {"999999999999999*999999999999999=", "1,17,0,0"}};
    for (const Case& c : cases) {
        console.shots.clear();
        int beeps = console.beeps();
        console.TypeText(c.keys);
        console.PressKey("Esc");
        EXPECT_EQ(OpenCalculator(), "") << c.keys;
        EXPECT_EQ(console.beeps(), beeps + 1) << c.keys;
        const auto& shot = Shot(console.shots.size() - 1);
        EXPECT_NE(shot.rows[22].find("ERROR"), std::string::npos) << c.keys;
        EXPECT_NE(shot.rows[24].find("ERROR"), std::string::npos) << c.keys;
        std::string file = dir.Read("MURCALC.TMP");
        EXPECT_EQ(file.find("inf"), std::string::npos) << file;
        EXPECT_EQ(file.find("nan"), std::string::npos) << file;
        EXPECT_EQ(file.substr(0, file.find("\r\n")), c.firstLine) << c.keys;
    }
}

TEST_F(PopupTest, DamagedStateFileOpensAClearCalculator) {
    struct Case {
        const char* text;
        char entry;  // what is valid stays
    } cases[] = {
        {"\xff\xfe garbage \"\r\n,,,", '0'},
        {"1,5,1e400,abc\r\n", '0'},
        {"300,2,1,2\r\n0,0,0,0\r\n\"\",\"\"\r\n1", '1'},
    };
    for (const Case& c : cases) {
        const char* text = c.text;
        dir.Write("MURCALC.TMP", text);
        console.shots.clear();
        console.PressKey("Esc");
        EXPECT_EQ(OpenCalculator(), "");
        EXPECT_EQ(Cells(Shot(0), 24, 1, 26), "\xB3" + std::string(21, ' ') + c.entry + "  \xB3") << text;
        EXPECT_TRUE(ParseCalculatorState(dir.Read("MURCALC.TMP")).column >= 1);
    }
}

TEST_F(PopupTest, HotKeysTypeThePopupResultIntoTheNextReads) {
    keyboard.SetHotKeyHandlers([this] { return OpenCalculator(); }, [this] { return OpenCalendar("CAT", "20240305"); });
    console.PressKey("Alt+X");
    console.TypeText("0.05+0.07=F");
    EXPECT_EQ(keyboard.WaitKey(), key::AltX);
    std::string typed;
    typed += static_cast<char>(keyboard.WaitKey());
    typed += static_cast<char>(keyboard.WaitKey());
    EXPECT_EQ(typed, "12");
    EXPECT_TRUE(keyboard.PendingKeys().empty());
}

}  // namespace
}  // namespace qp
