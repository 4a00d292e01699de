// The whole receipt editor on the in-memory console: scripted keys in, the
// screen and the exact bytes of Tarn.ini out.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <utility>
#include <string>
#include <vector>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "config/ini_file.h"
#include "editor/scenario_console.h"

namespace qp {
namespace {

using testing::EditorScenario;
using testing::ReadSourceFile;
using testing::ScenarioPlatform;
using testing::ScreenShot;
using testing::ScriptedConsole;

using Script = std::function<void(ScriptedConsole&)>;

// Tarn.ini of the sample installation: no Rebut section yet.
const std::string kSample = ReadSourceFile("sample/Tarn.ini");
// Stands for "no Tarn.ini at all" in the tables below.
const char* const kNoFile = "<none>";

// The nine keys as the editor writes them for the defaults, padding included.
const std::string kDefaultRebut =
    "[Rebut]\r\nAntic=S\r\nFila.Num=1 \r\nFila.Dat=3 \r\nFila.Cnc=6 \r\nFila.Dom=11\r\nFila.Nom=13\r\n"
    "Matriu=N\r\nDuplicat=N\r\nMembret=S\r\n";

// The sample's colours (TarnTerm.ini Col0): normal 7 on 1, reverse 0 on 7.
constexpr std::uint8_t kNormal = 0x17;
constexpr std::uint8_t kReverse = 0x70;

constexpr key::Code kEnd = 0x4F00;  // what F10 returns on this form

// The status line: row 15 of the form's window, which starts on row 3.
constexpr int kStatusScreenRow = 3 + kStatusRow;
const std::string kLeaveHint = "Per sortir sense desar: Format antic a No, Intro i Esc dues vegades";
const std::string kSpanishLeaveHint = "Para salir sin guardar: Formato antiguo a No, Intro y Esc dos veces";

void Install(EditorScenario& s, const char* tarnIni) {
    if (tarnIni == nullptr) return;  // the sample's own
    if (std::string(tarnIni) == kNoFile)
        s.RemoveFile("Tarn.ini");
    else
        s.WriteFile("Tarn.ini", tarnIni);
}

std::string TarnIniOrNone(EditorScenario& s) { return s.HasFile("Tarn.ini") ? s.TarnIni() : kNoFile; }

// The cells where item i of screen 1 shows its value and description.
std::string Shown(EditorScenario& s, const ScreenShot& shot, int i) {
    FormScreen& screen = s.rig().tables.Screen(1);
    const FormItem& item = s.rig().tables.Item(1, i);
    const int row = screen.WindowTop + item.Row;
    const int column = screen.WindowLeft + item.Column + static_cast<int>(item.Label.size());
    return shot.Row(row).substr(static_cast<std::size_t>(column - 1), static_cast<std::size_t>(item.Length + item.DescWidth));
}

std::vector<int> SkippedItems(EditorScenario& s) {
    std::vector<int> skipped;
    for (int i = 1; i <= ReceiptSettings::kSettingCount; ++i)
        if (s.rig().tables.Item(1, i).Has(kSkipped)) skipped.push_back(i);
    return skipped;
}

// ---------------------------------------------------------------------------

struct NothingCase {
    const char* name;
    const char* tarnIni;  // nullptr: the sample's
    Script script;
    key::Code endKey;
};

TEST(EditorScenarioTest, LeavingWithoutARealChangeWritesNothing) {
    const NothingCase cases[] = {
        {"Esc at once", nullptr, [](ScriptedConsole& c) { c.Press("Esc"); }, key::Esc},
        {"Esc at once, empty section", "[Rebut]\r\n", [](ScriptedConsole& c) { c.Press("Esc"); }, key::Esc},
        {"Esc at once, no Tarn.ini", kNoFile, [](ScriptedConsole& c) { c.Press("Esc"); }, key::Esc},
        {"F10 without a change, no Tarn.ini", kNoFile, [](ScriptedConsole& c) { c.Press("F10"); }, kEnd},
        {"changes then Esc twice", nullptr,
         [](ScriptedConsole& c) {
             c.Press({"Down", "Down", "Down", "Down"});
             c.Type("12");
             c.Press({"Enter", "PgDn", "Space", "Enter", "Esc", "Esc"});
         },
         key::Esc},
        {"typing abandoned with Esc, then F10", nullptr,
         [](ScriptedConsole& c) {
             c.Press({"Down", "Down", "Down", "Down"});
             c.Type("12");
             c.Press({"Esc", "F10"});
         },
         kEnd},
        {"row retyped as it was", nullptr,
         [](ScriptedConsole& c) {
             c.Press({"Down", "Down", "Down", "Down"});
             c.Type("11");
             c.Press({"Enter", "F10"});
         },
         kEnd},
        {"walked through with Enter", nullptr,
         [](ScriptedConsole& c) {
             for (int i = 0; i < 9; ++i) c.Press("Enter");
             c.Press("F10");
         },
         kEnd},
        {"choice turned round to where it was", nullptr,
         [](ScriptedConsole& c) { c.Press({"Space", "Space", "Enter", "F10"}); }, kEnd},
        {"stored without padding, retyped", "[Rebut]\r\nFila.Num=1\r\n",
         [](ScriptedConsole& c) {
             c.Press("Down");
             c.Type("1");
             c.Press("F10");
         },
         kEnd},
    };
    for (const NothingCase& c : cases) {
        SCOPED_TRACE(c.name);
        EditorScenario s;
        Install(s, c.tarnIni);
        const std::string before = TarnIniOrNone(s);
        const std::vector<std::string> rootBefore = s.RootEntries();
        c.script(s.console());
        EditResult result = s.Run();
        EXPECT_EQ(result.outcome, EditResult::Outcome::NothingToSave);
        EXPECT_EQ(result.key, c.endKey);
        EXPECT_EQ(TarnIniOrNone(s), before);
        EXPECT_EQ(s.RootEntries(), rootBefore) << "no working copy is left";
        EXPECT_FALSE(s.HasFile("TEMP/WinPush.tmp")) << "the screen's window was closed";
        EXPECT_EQ(s.console().ScriptLeft(), 0u);
        EXPECT_EQ(s.console().beeps(), 0);
    }
}

TEST(EditorScenarioTest, EscInAFieldShowsTheStoredValueAgain) {
    EditorScenario s;
    s.console().Press({"Down", "Down", "Down", "Down"});
    s.console().Type("2");
    s.console().Snapshot();  // still typing
    s.console().Press("Esc");
    s.console().Snapshot();  // back on the first item
    s.console().Press("Esc");
    s.Run();
    const auto& shots = s.console().snapshots();
    ASSERT_EQ(shots.size(), 2u);
    EXPECT_EQ(Shown(s, shots[0], 5), "2 ");  // the row's entry starts blank
    EXPECT_EQ(Shown(s, shots[1], 5), "11");
}

// ---------------------------------------------------------------------------

struct SaveCase {
    const char* name;
    const char* tarnIni;  // nullptr: the sample's
    Script script;
    std::string expected;
};

TEST(EditorScenarioTest, OneChangeWritesAllNineKeysWithTheirPadding) {
    const SaveCase cases[] = {
        {"address row on the sample", nullptr,
         [](ScriptedConsole& c) {
             c.Press({"Down", "Down", "Down", "Down"});
             c.Type("12");
             c.Press({"Enter", "F10"});
         },
         kSample +
             "[Rebut]\r\nAntic=S\r\nFila.Num=1 \r\nFila.Dat=3 \r\nFila.Cnc=6 \r\nFila.Dom=12\r\nFila.Nom=13\r\n"
             "Matriu=N\r\nDuplicat=N\r\nMembret=S\r\n"},
        {"one-digit row, F10 straight after typing", nullptr,
         [](ScriptedConsole& c) {
             c.Press("Down");
             c.Type("2");
             c.Press("F10");
         },
         kSample +
             "[Rebut]\r\nAntic=S\r\nFila.Num=2 \r\nFila.Dat=3 \r\nFila.Cnc=6 \r\nFila.Dom=11\r\nFila.Nom=13\r\n"
             "Matriu=N\r\nDuplicat=N\r\nMembret=S\r\n"},
        {"duplicate on the new format", "[Usuari]\r\nIdioma=CAT\r\n\r\n[Rebut]\r\nAntic=N\r\nDuplicat=N\r\n",
         [](ScriptedConsole& c) { c.Press({"Down", "Space", "F10"}); },
         "[Usuari]\r\nIdioma=CAT\r\n\r\n[Rebut]\r\nAntic=N\r\nDuplicat=S\r\nFila.Num=1 \r\nFila.Dat=3 \r\n"
         "Fila.Cnc=6 \r\nFila.Dom=11\r\nFila.Nom=13\r\nMatriu=N\r\nMembret=S\r\n"},
        {"section between others, keys as the file spells them",
         "; general\r\n[Usuari]\r\nIdioma=CAT\r\n\r\n[ rebut ]\r\n  fila.num = 2 \r\nANTIC=S ; vell\r\nMembret=S\r\n"
         "\r\n; impressores\r\n[Impressora]\r\nRebuts=LPT2\r\n",
         [](ScriptedConsole& c) { c.Press({"PgDn", "Space", "F10"}); },
         "; general\r\n[Usuari]\r\nIdioma=CAT\r\n\r\n[ rebut ]\r\n  fila.num = 2\r\nANTIC=S\r\nMembret=N\r\n"
         "Fila.Dat=3 \r\nFila.Cnc=6 \r\nFila.Dom=11\r\nFila.Nom=13\r\nMatriu=N\r\nDuplicat=N\r\n"
         "\r\n; impressores\r\n[Impressora]\r\nRebuts=LPT2\r\n"},
        {"no Tarn.ini yet", kNoFile, [](ScriptedConsole& c) { c.Press({"PgDn", "Space", "F10"}); },
         "[Rebut]\r\nAntic=S\r\nFila.Num=1 \r\nFila.Dat=3 \r\nFila.Cnc=6 \r\nFila.Dom=11\r\nFila.Nom=13\r\n"
         "Matriu=N\r\nDuplicat=N\r\nMembret=N\r\n"},
    };
    for (const SaveCase& c : cases) {
        SCOPED_TRACE(c.name);
        EditorScenario s;
        Install(s, c.tarnIni);
        const std::vector<std::string> rootBefore = s.RootEntries();
        c.script(s.console());
        EditResult result = s.Run();
        EXPECT_EQ(result.outcome, EditResult::Outcome::Saved) << result.message.detail;
        EXPECT_EQ(result.key, kEnd);
        EXPECT_EQ(TarnIniOrNone(s), c.expected);
        std::vector<std::string> rootAfter = rootBefore;
        if (std::find(rootAfter.begin(), rootAfter.end(), "Tarn.ini") == rootAfter.end()) rootAfter.push_back("Tarn.ini");
        std::sort(rootAfter.begin(), rootAfter.end());
        EXPECT_EQ(s.RootEntries(), rootAfter) << "no working copy is left";
        EXPECT_EQ(s.console().ScriptLeft(), 0u);
    }
}

// ---------------------------------------------------------------------------

struct RefusalCase {
    const char* typed;
    Script after;  // what the operator does once refused
};

TEST(EditorScenarioTest, ARefusedRowStillCountsAsAChange) {
    auto retype = [](ScriptedConsole& c) {
        c.Press("Ctrl+Y");
        c.Type("1");
        c.Press({"Enter", "F10"});
    };
    auto abandon = [](ScriptedConsole& c) { c.Press({"Esc", "F10"}); };
    const RefusalCase cases[] = {
        {"x", retype}, {"-1", retype}, {"+1", retype}, {"1.", retype}, {"1,", retype}, {"x", abandon},
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.typed);
        EditorScenario s;
        s.console().Press("Down");
        s.console().Type(c.typed);
        s.console().Press("Enter");
        s.console().Snapshot();  // kept in the item with the text as typed
        c.after(s.console());
        EditResult result = s.Run();
        ASSERT_EQ(s.console().snapshots().size(), 1u);
        EXPECT_EQ(Shown(s, s.console().snapshots()[0], 2), FitWidth(c.typed, 2));
        EXPECT_EQ(s.console().beeps(), 1);
        EXPECT_EQ(result.outcome, EditResult::Outcome::Saved);
        EXPECT_EQ(s.TarnIni(), kSample + kDefaultRebut) << "the refused text is never stored";
        EXPECT_EQ(s.console().ScriptLeft(), 0u);
    }
}

// ---------------------------------------------------------------------------

struct SwitchCase {
    const char* name;
    const char* tarnIni;
    Script script;
    std::string expectedRebut;
    std::vector<int> skippedAfter;
};

TEST(EditorScenarioTest, OldFormatSwitchEnablesAndDisablesItems) {
    const SwitchCase cases[] = {
        // With the old format off, Enter goes from the switch straight to the duplicate.
        {"switched off", nullptr, [](ScriptedConsole& c) { c.Press({"Space", "Enter", "Space", "Enter", "Space", "F10"}); },
         "[Rebut]\r\nAntic=N\r\nFila.Num=1 \r\nFila.Dat=3 \r\nFila.Cnc=6 \r\nFila.Dom=11\r\nFila.Nom=13\r\n"
         "Matriu=N\r\nDuplicat=S\r\nMembret=N\r\n",
         {2, 3, 4, 5, 6, 7}},
        {"switched on", "[Rebut]\r\nAntic=N\r\n",
         [](ScriptedConsole& c) {
             c.Press({"Space", "Enter"});
             c.Type("2");
             c.Press({"Enter", "Enter", "Enter", "Enter", "Enter", "Space", "F10"});
         },
         "[Rebut]\r\nAntic=S\r\nFila.Num=2 \r\nFila.Dat=3 \r\nFila.Cnc=6 \r\nFila.Dom=11\r\nFila.Nom=13\r\n"
         "Matriu=S\r\nDuplicat=N\r\nMembret=S\r\n",
         {8}},
        {"off and on again", nullptr,
         [](ScriptedConsole& c) {
             c.Press({"Space", "Enter", "Up", "Space", "Enter"});
             c.Type("2");
             c.Press("F10");
         },
         "[Rebut]\r\nAntic=S\r\nFila.Num=2 \r\nFila.Dat=3 \r\nFila.Cnc=6 \r\nFila.Dom=11\r\nFila.Nom=13\r\n"
         "Matriu=N\r\nDuplicat=N\r\nMembret=S\r\n",
         {8}},
    };
    for (const SwitchCase& c : cases) {
        SCOPED_TRACE(c.name);
        EditorScenario s;
        Install(s, c.tarnIni);
        c.script(s.console());
        EditResult result = s.Run();
        EXPECT_EQ(result.outcome, EditResult::Outcome::Saved);
        EXPECT_EQ(s.TarnIni(), (c.tarnIni == nullptr ? kSample : std::string()) + c.expectedRebut);
        EXPECT_EQ(SkippedItems(s), c.skippedAfter);
        EXPECT_EQ(s.console().ScriptLeft(), 0u);
        EXPECT_EQ(s.console().beeps(), 0);
    }
}

// Display-only values keep showing, in the normal colour; those that can be
// edited in the highlight.
TEST(EditorScenarioTest, DisplayOnlyItemsKeepShowingTheirValuesInTheNormalColour) {
    EditorScenario s;
    s.console().Snapshot();  // the old format: the duplicate display-only
    s.console().Press({"Space", "Enter"});
    s.console().Snapshot();  // on the duplicate, rows display-only
    s.console().Press({"Up", "Esc"});
    s.Run();
    ASSERT_EQ(s.console().snapshots().size(), 2u);
    const ScreenShot& shot = s.console().snapshots()[1];
    const char* shown[] = {nullptr, " 1", " 3", " 6", "11", "13", "No  ", nullptr, "S\xA1  "};
    for (int i = 2; i <= 9; ++i) {
        if (shown[i - 1] == nullptr) continue;
        EXPECT_EQ(Shown(s, shot, i), shown[i - 1]) << "item " << i;
    }
    const std::uint8_t kHighlight = 0x1F;  // the sample's Col0: 15 on 1
    auto colourOf = [&s](const ScreenShot& at, int i) {
        FormScreen& screen = s.rig().tables.Screen(1);
        const FormItem& item = s.rig().tables.Item(1, i);
        return at.AttrAt(screen.WindowTop + item.Row, screen.WindowLeft + item.Column + static_cast<int>(item.Label.size()) + 1);
    };
    const struct {
        int item;
        bool oldFormatEditable;
    } items[] = {{2, true}, {4, true}, {6, true}, {7, true}, {8, false}, {9, true}};
    for (const auto& i : items) {
        EXPECT_EQ(colourOf(s.console().snapshots()[0], i.item), i.oldFormatEditable ? kHighlight : kNormal) << "item " << i.item;
        if (i.item == 8) continue;  // being edited there
        const bool newFormatEditable = i.item == 9;
        EXPECT_EQ(colourOf(shot, i.item), newFormatEditable ? kHighlight : kNormal) << "new format, item " << i.item;
    }
}

// ---------------------------------------------------------------------------

TEST(EditorScenarioTest, ValuesAreShownAsRowNumbersOrChoiceDescriptions) {
    EditorScenario s;
    s.WriteFile("Tarn.ini",
                "[Rebut]\r\nFila.Num=5\r\nFila.Dat=7\r\nFila.Cnc=8\r\nFila.Dom=13\r\nFila.Nom=15\r\nMatriu=X\r\n"
                "Duplicat=S\r\nMembret=n\r\n");
    s.console().Snapshot();
    s.console().Press("Esc");
    s.Run();
    ASSERT_EQ(s.console().snapshots().size(), 1u);
    const ScreenShot& shot = s.console().snapshots()[0];
    const struct {
        int item;
        const char* shown;
    } expected[] = {
        {2, " 5"}, {3, " 7"}, {4, " 8"}, {5, "13"}, {6, "15"},
        {7, "X   "},  // a code that no choice has is shown as it is
        {8, "S\xA1  "}, {9, "n   "},  // the suite reads only "N" as no
    };
    for (const auto& e : expected) EXPECT_EQ(Shown(s, shot, e.item), e.shown) << "item " << e.item;
}

// What a stored Sí/No value does is what the suite's receipt printing makes
// of it: only "S" is yes. Any other value is shown as it is stored, never as
// an option it does not select, and passing through never changes it.
struct StoredChoiceCase {
    const char* name;
    const char* stored;  // the value in Tarn.ini
    const char* shown;   // as the item shows it (its first two cells)
    bool oldFormat;      // as Antic: rows editable and the plan checked
    const char* kept;    // written back when another item changes
};

const StoredChoiceCase kStoredChoices[] = {
    {"small s", "s", "s ", false, "s"},
    {"small n", "n", "n ", false, "n"},
    {"no option", "x", "x ", false, "x"},
    {"blank takes the default", " ", "S\xA1", true, "S"},
};

TEST(EditorScenarioTest, AStoredAnticDoesWhatThePrinterMakesOfIt) {
    for (const StoredChoiceCase& c : kStoredChoices) {
        SCOPED_TRACE(c.name);
        const std::string file = std::string("[Rebut]\r\nAntic=") + c.stored + "\r\nFila.Nom=20\r\n";
        {  // passing through writes nothing
            EditorScenario s;
            s.WriteFile("Tarn.ini", file);
            s.console().Snapshot();
            s.console().Press({"Enter", "Esc", "Esc"});
            // Where the plan is checked, its box is closed and the name moved to row 13.
            if (c.oldFormat) s.console().Press({"Enter", "PgDn", "Up", "Up", "1", "3", "Enter", "Esc", "Esc"});
            s.Run();
            EXPECT_EQ(Shown(s, s.console().snapshots()[0], 1).substr(0, 2), c.shown);
            const std::vector<int> skipped = c.oldFormat ? std::vector<int> {8} : std::vector<int> {2, 3, 4, 5, 6, 7};
            EXPECT_EQ(SkippedItems(s), skipped);
            // The name on row 20 fails the plan only where the plan is checked.
            EXPECT_EQ(s.console().beeps(), c.oldFormat ? 1 : 0);
            EXPECT_EQ(s.TarnIni(), file) << "nothing written";
        }
        {  // a change elsewhere writes the value back as it was
            EditorScenario s;
            s.WriteFile("Tarn.ini", std::string("[Rebut]\r\nAntic=") + c.stored + "\r\n");
            s.console().Press({"PgDn", "Space", "F10"});
            EXPECT_EQ(s.Run().outcome, EditResult::Outcome::Saved);
            EXPECT_NE(s.TarnIni().find(std::string("Antic=") + c.kept + "\r\n"), std::string::npos) << s.TarnIni();
            EXPECT_NE(s.TarnIni().find("Membret=N\r\n"), std::string::npos) << s.TarnIni();
        }
    }
}

TEST(EditorScenarioTest, AStoredSiNoItemIsShownAsStoredAndChangedOnlyByAPick) {
    for (const StoredChoiceCase& c : kStoredChoices) {
        SCOPED_TRACE(c.name);
        const std::string file = std::string("[Rebut]\r\nMembret=") + c.stored + "\r\n";
        {  // through the item and on to the counterfoil, which changes
            EditorScenario s;
            s.WriteFile("Tarn.ini", file);
            s.console().Snapshot();
            s.console().Press({"PgDn", "Up", "Space", "F10"});
            EXPECT_EQ(s.Run().outcome, EditResult::Outcome::Saved);
            EXPECT_EQ(Shown(s, s.console().snapshots()[0], 9).substr(0, 2), c.shown);
            EXPECT_NE(s.TarnIni().find(std::string("Membret=") + c.kept + "\r\n"), std::string::npos) << s.TarnIni();
            EXPECT_NE(s.TarnIni().find("Matriu=S\r\n"), std::string::npos) << s.TarnIni();
        }
        {  // picking an option writes its code
            EditorScenario s;
            s.WriteFile("Tarn.ini", file);
            s.console().Press({"PgDn", "Space", "F10"});
            EXPECT_EQ(s.Run().outcome, EditResult::Outcome::Saved);
            EXPECT_NE(s.TarnIni().find(c.oldFormat ? "Membret=N\r\n" : "Membret=S\r\n"), std::string::npos)
                << s.TarnIni();
        }
    }
}

// F1 opens the shipped help page of the session's language.
TEST(EditorScenarioTest, F1ShowsTheHelpPageOfTheSessionsLanguage) {
    const struct {
        const char* language;
        const char* heading;  // code page 850
        const char* keys;     // on the pager's bottom frame
    } cases[] = {
        {"CAT", "DISPOSICI\xE0 DEL REBUT", " \x18\x19 ReP\x85g AvP\x85g \xFA Esc "},
        {"SPA", "DISPOSICI\xE0N DEL RECIBO", " \x18\x19 Re P\xA0g Av P\xA0g \xFA Esc "},
        {"GLG", "DISPOSICI\xE0N DO RECIBO", " \x18\x19 Re P\xA0g Av P\xA0g \xFA Esc "},
        {"OCI", "DISPOSICION DER ARRECEBUT", " \x18\x19 Re P\xA0g Av P\xA0g \xFA Esc "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        EditorScenario s;
        s.SetLanguage(c.language);
        s.console().Press("F1");
        s.console().Snapshot();
        s.console().Press({"Esc", "Esc"});
        s.Run();
        ASSERT_EQ(s.console().snapshots().size(), 1u);
        EXPECT_TRUE(s.console().snapshots()[0].Row(5).find(c.heading) != std::string::npos)
            << s.console().snapshots()[0].Text();
        EXPECT_TRUE(s.console().snapshots()[0].Row(22).find(c.keys) != std::string::npos)
            << s.console().snapshots()[0].Text();
    }
}

// The status line (row 15 of the form's window) at each snapshot of a script:
// how the plan stands after every accepted item, a refusal's reason until the
// next key, and after a plan box the way out.
std::string StatusLine(const ScreenShot& shot) { return TrimBlanks(shot.Row(kStatusScreenRow).substr(2, 75)); }

// From any item, whatever the plan: to the first item and out; when a plan
// box keeps the operator in, it is closed, the old format turned off, and out
// again. Keys left when the editor has ended are never read.
void LeaveWithoutSaving(ScriptedConsole& c) { c.Press({"Esc", "Esc", "Esc", "Space", "Enter", "Esc", "Esc"}); }

TEST(EditorScenarioTest, TheStatusLineSaysHowThePlanStandsAndWhyAKeyWasRefused) {
    struct Case {
        const char* name;
        const char* language;
        Script script;
        std::vector<std::string> status;  // at each snapshot, code page 850
    };
    const std::string right = "Les files s\xA2n correctes";
    const std::string rowExpected = "Escriviu un n\xA3mero de l'1 al 25";
    const Case cases[] = {
        {"at the start", "CAT", [](ScriptedConsole& c) { c.Snapshot(); }, {right}},
        {"a clash, shown once the item is accepted", "CAT",
         [](ScriptedConsole& c) {
             c.Press({"Down", "Down"});
             c.Type("6");
             c.Snapshot();
             c.Press("Enter");
             c.Snapshot();
         },
         {right, "Data i Concepte: fila 6"}},
        {"a row that is no number: the reason until the next key", "CAT",
         [](ScriptedConsole& c) {
             c.Press({"Down", "Down", "Down"});
             c.Type("1O");
             c.Press("Enter");
             c.Snapshot();
             c.Press("Backspace");
             c.Snapshot();
         },
         {rowExpected, right}},
        {"a letter that no choice begins with", "CAT",
         [](ScriptedConsole& c) {
             c.Type("x");
             c.Snapshot();
         },
         {"Trieu amb Espai o les fletxes: S\xA1/No"}},
        {"a digit past the end of a row", "CAT",
         [](ScriptedConsole& c) {
             c.Press("Down");
             c.Type("123");
             c.Snapshot();
         },
         {"El camp \x82s ple"}},
        {"the new format", "CAT",
         [](ScriptedConsole& c) {
             c.Press({"Space", "Enter"});
             c.Snapshot();
         },
         {"El format nou no fa servir aquestes files."}},
        {"in Galician", "GLG",
         [](ScriptedConsole& c) {
             c.Press({"Down", "Down"});
             c.Type("6");
             c.Press("Enter");
             c.Snapshot();
             c.Type("1O");
             c.Press("Enter");
             c.Snapshot();
         },
         {"Data e Concepto: fila 6", "Escriba un n\xA3mero do 1 ao 25"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EditorScenario s;
        s.SetLanguage(c.language);
        c.script(s.console());
        LeaveWithoutSaving(s.console());
        s.Run();
        std::vector<std::string> status;
        for (const ScreenShot& shot : s.console().snapshots()) status.push_back(StatusLine(shot));
        EXPECT_EQ(status, c.status);
    }
}

TEST(EditorScenarioTest, AProblemStandsOutOnTheStatusLineAndTheCursorStaysInItsField) {
    EditorScenario s;
    ScriptedConsole& con = s.console();
    con.Snapshot();
    con.Press({"Down", "Down"});
    con.Type("6");
    con.Press("Enter");
    con.Snapshot();
    LeaveWithoutSaving(con);
    s.Run();
    const auto& shots = con.snapshots();
    ASSERT_EQ(shots.size(), 2u);
    const auto first = [](const ScreenShot& shot) {
        return static_cast<int>(shot.Row(kStatusScreenRow).find_first_not_of(' ', 2)) + 1;
    };
    EXPECT_EQ(shots[0].AttrAt(kStatusScreenRow, first(shots[0])), kNormal);
    EXPECT_EQ(shots[1].AttrAt(kStatusScreenRow, first(shots[1])), 0x1F) << "the highlight";
    // The concept's row waits for input, the cursor in it.
    EXPECT_EQ(shots[1].cursorRow, 3 + 6);
}

// The Galician clerk who wants out: the plan box on leaving, then the status
// line's way out, which stays while the old format is being turned off.
TEST(EditorScenarioTest, AfterThePlanBoxTheStatusLineShowsTheWayOutWithoutSaving) {
    EditorScenario s;
    s.SetLanguage("GLG");
    ScriptedConsole& con = s.console();
    con.Press({"Down", "Down"});
    con.Type("6");
    con.Press({"Enter", "Esc", "Esc"});  // to the first item, then out: the box
    con.Press("Enter");                  // closes it
    con.Snapshot();
    con.Press({"Down", "Up"});  // moving about changes nothing
    con.Snapshot();
    con.Press({"Space", "Enter"});
    con.Snapshot();
    con.Press({"Esc", "Esc"});
    EditResult result = s.Run();
    const std::string hint = "Para sa\xA1r sen gardar: Formato antigo a Non, Intro e Esc d\xA3" "as veces";
    std::vector<std::string> status;
    for (const ScreenShot& shot : con.snapshots()) status.push_back(StatusLine(shot));
    EXPECT_EQ(status, (std::vector<std::string> {hint, hint, hint}));
    EXPECT_EQ(result.outcome, EditResult::Outcome::NothingToSave);
    EXPECT_EQ(s.TarnIni(), kSample);
    EXPECT_EQ(con.ScriptLeft(), 0u);
}

// ---------------------------------------------------------------------------

struct MessageCase {
    const char* name;
    const char* language;
    const char* tarnIni;
    const char* leaveKey;
    const char* dismissKey;
    std::string message;  // as shown
    int left;             // the box's frame columns
    int right;
    std::string savedRebut;  // after the operator turns the old format off; empty: nothing written
};

// Row `row` of `under` with the one-line message box of rows 9 to 11 drawn over it.
std::string WithBox(const std::string& under, int row, int left, int right, const std::string& message) {
    std::string line = under;
    const auto l = static_cast<std::size_t>(left - 1);
    const auto width = static_cast<std::size_t>(right - left + 1);
    std::string box;
    if (row == 9) box = "\xDA" + std::string(width - 2, '\xC4') + "\xBF";
    if (row == 10) box = "\xB3 " + FitWidth(message, width - 3) + "\xB3";
    if (row == 11) box = "\xC0" + std::string(width - 2, '\xC4') + "\xD9";
    return line.replace(l, width, box);
}

TEST(EditorScenarioTest, AWrongRowPlanIsReportedAndKeepsTheOperatorOnTheScreen) {
    const char* order = "[Rebut]\r\nFila.Num=1\r\nFila.Dat=1\r\nFila.Cnc=3\r\nFila.Dom=8\r\nFila.Nom=9\r\n";
    const char* margin = "[Rebut]\r\nFila.Nom=20\r\n";
    const std::string orderSaved =
        "[Rebut]\r\nFila.Num=1 \r\nFila.Dat=1 \r\nFila.Cnc=3 \r\nFila.Dom=8 \r\nFila.Nom=9 \r\nAntic=N\r\n"
        "Matriu=N\r\nDuplicat=N\r\nMembret=S\r\n";
    const std::string marginSaved =
        "[Rebut]\r\nFila.Nom=20\r\nAntic=N\r\nFila.Num=1 \r\nFila.Dat=3 \r\nFila.Cnc=6 \r\nFila.Dom=11\r\n"
        "Matriu=N\r\nDuplicat=N\r\nMembret=S\r\n";
    const MessageCase cases[] = {
        {"order, F10, box closed with Enter", "CAT", order, "F10", "Enter", "L'ORDRE DE LES FILES NO \x90S CORRECTE", 21, 59,
         orderSaved},
        {"order, Esc, box closed with Esc", "CAT", order, "Esc", "Esc", "L'ORDRE DE LES FILES NO \x90S CORRECTE", 21, 59, ""},
        {"margin, F10, box closed with Esc", "CAT", margin, "F10", "Esc", "FILA LLIURAT FORA DE MARGES", 25, 55,
         marginSaved},
        {"margin, Esc, box closed with a letter", "CAT", margin, "Esc", "a", "FILA LLIURAT FORA DE MARGES", 25, 55, ""},
        {"margin in Spanish", "SPA", margin, "F10", "Enter", "FILA FUERA DE LOS M\xB5RGENES", 26, 55, marginSaved},
    };
    for (const MessageCase& c : cases) {
        SCOPED_TRACE(c.name);
        EditorScenario s;
        s.SetLanguage(c.language);
        s.WriteFile("Tarn.ini", c.tarnIni);
        ScriptedConsole& con = s.console();
        con.Snapshot();  // 0: the screen before leaving
        con.Press(c.leaveKey);
        con.Snapshot();  // 1: the message
        con.Press(c.dismissKey);
        con.Snapshot();  // 2: back on the screen, first item
        // The operator turns the old format off and leaves the same way again.
        con.Press({"Space", "Enter"});
        if (std::string(c.leaveKey) == "Esc") con.Press("Esc");
        con.Press(c.leaveKey);
        EditResult result = s.Run();

        const auto& shots = con.snapshots();
        ASSERT_EQ(shots.size(), 3u);
        for (int row = 1; row <= 25; ++row) {
            SCOPED_TRACE("row " + std::to_string(row));
            if (row >= 9 && row <= 11) {
                EXPECT_EQ(shots[1].Row(row), WithBox(shots[0].Row(row), row, c.left, c.right, c.message)) << shots[1].Text();
            } else if (row != 5) {  // the switch, no longer being edited
                EXPECT_EQ(shots[1].Row(row), shots[0].Row(row));
            }
            if (row == kStatusScreenRow) {
                const bool spanish = std::string(c.language) == "SPA";
                EXPECT_NE(shots[2].Row(row).find(spanish ? kSpanishLeaveHint : kLeaveHint), std::string::npos)
                    << "the status line says the way out\n" << shots[2].Text();
            } else {
                EXPECT_EQ(shots[2].Row(row), shots[0].Row(row)) << "the box leaves the screen as it was";
            }
        }
        EXPECT_EQ(con.beeps(), 1);
        EXPECT_EQ(con.Flushes(), 1);
        EXPECT_EQ(con.ScriptLeft(), 0u);
        if (c.savedRebut.empty()) {
            EXPECT_EQ(result.outcome, EditResult::Outcome::NothingToSave);
            EXPECT_EQ(s.TarnIni(), c.tarnIni);
        } else {
            EXPECT_EQ(result.outcome, EditResult::Outcome::Saved);
            EXPECT_EQ(s.TarnIni(), c.savedRebut);
        }
    }
}

TEST(EditorScenarioTest, KeysTypedBeforeTheMessageDoNotCloseIt) {
    EditorScenario s;
    s.WriteFile("Tarn.ini", "[Rebut]\r\nFila.Nom=20\r\n");
    ScriptedConsole& con = s.console();
    con.Press("F10");
    con.Type("x");
    con.Press("Enter");  // typed ahead, before the box was shown
    con.FlushPoint();
    con.Snapshot();
    con.Press("Esc");  // closes the box
    con.Press({"Space", "Enter", "F10"});
    EditResult result = s.Run();
    ASSERT_EQ(con.snapshots().size(), 1u);
    EXPECT_TRUE(con.snapshots()[0].Contains("FILA LLIURAT FORA DE MARGES")) << con.snapshots()[0].Text();
    EXPECT_EQ(result.outcome, EditResult::Outcome::Saved);
    EXPECT_EQ(s.TarnIni(),
              "[Rebut]\r\nFila.Nom=20\r\nAntic=N\r\nFila.Num=1 \r\nFila.Dat=3 \r\nFila.Cnc=6 \r\nFila.Dom=11\r\n"
              "Matriu=N\r\nDuplicat=N\r\nMembret=S\r\n");
}

TEST(EditorScenarioTest, AFixedPlanLeavesWithoutAMessage) {
    EditorScenario s;
    s.WriteFile("Tarn.ini", "[Rebut]\r\nFila.Nom=20\r\n");
    ScriptedConsole& con = s.console();
    con.Press({"F10", "Enter"});  // the message, closed
    con.Press({"Down", "Down", "Down", "Down", "Down"});
    con.Type("19");
    con.Press("F10");
    EditResult result = s.Run();
    EXPECT_EQ(con.beeps(), 1) << "one message only";
    EXPECT_EQ(result.outcome, EditResult::Outcome::Saved);
    EXPECT_EQ(s.TarnIni(),
              "[Rebut]\r\nFila.Nom=19\r\nAntic=S\r\nFila.Num=1 \r\nFila.Dat=3 \r\nFila.Cnc=6 \r\nFila.Dom=11\r\n"
              "Matriu=N\r\nDuplicat=N\r\nMembret=S\r\n");
}

// ---------------------------------------------------------------------------

struct TitleCase {
    std::string titol;  // Sessio.ini; the title shown has a blank on each side
    int column;
};

TEST(EditorScenarioTest, TitleIsCentredOnRowOne) {
    const TitleCase cases[] = {
        {"abcdefgh", 36},  // 10 characters
        {"abcdefg", 36},   // 9: 36.5 goes to the even neighbour
        {"abcdefghi", 36}, // 11: 35.5 likewise
        {"abcde", 38},     // 7: 37.5
        {"", 40},          // 2
        {std::string(78, 'x'), 1},
        {std::string(79, 'y'), 1},  // wider than the console: cut at the right edge
    };
    for (const TitleCase& c : cases) {
        SCOPED_TRACE(c.titol);
        EditorScenario s;
        s.SetTitle(c.titol);
        s.console().Press("Esc");
        s.Run();
        const std::string title = " " + c.titol + " ";
        const std::string expected = FitWidth(std::string(static_cast<std::size_t>(c.column - 1), ' ') + title, 80);
        EXPECT_EQ(s.Row(1), expected);
        const int last = std::min(80, c.column + static_cast<int>(title.size()) - 1);
        for (int col = 1; col <= 80; ++col) {
            const bool inTitle = col >= c.column && col <= last;
            EXPECT_EQ(s.console().AttrAt(1, col), inTitle ? kReverse : kNormal) << "column " << col;
        }
    }
}

// ---------------------------------------------------------------------------

// Fails the services a save needs, as a full disk, a read-only file or
// another program holding the file would; each fault for a number of calls.
class FaultyPlatform : public ScenarioPlatform {
public:
    int openFailures = 0;
    int createFailures = 0;
    int replaceFailures = 0;
    FailureCause cause = FailureCause::DiskFull;
    // The open fails on the lock file beside Tarn.ini, as Windows names it.
    bool onLockFile = false;
    // Runs when a save opens Tarn.ini: another workstation's save, just before ours.
    std::function<void(const std::string& path)> beforeOpen;
    int replaces = 0;

    Status OpenForRewrite(const std::string& path, RewriteTarget& target) override {
        if (beforeOpen) std::exchange(beforeOpen, nullptr)(Resolve(path));
        if (openFailures > 0 && openFailures--)
            return onLockFile ? Status::FailOn(path + ".lck", "cannot lock: its lock file " + path + ".lck is a folder", cause)
                              : Status::Fail("injected refusal", cause);
        return ScenarioPlatform::OpenForRewrite(path, target);
    }
    std::unique_ptr<File> CreateCopy(const std::string& path, const FileIdentity& identity, Status& status) override {
        if (createFailures > 0 && createFailures--) {
            status = Status::Fail("injected refusal", cause);
            return nullptr;
        }
        return ScenarioPlatform::CreateCopy(path, identity, status);
    }
    Status Replace(const std::string& from, const std::string& to) override {
        ++replaces;
        if (replaceFailures > 0 && replaceFailures--) return Status::Fail("injected refusal", cause);
        return ScenarioPlatform::Replace(from, to);
    }
    void SleepMilliseconds(int) override {}
};

struct FaultCase {
    const char* name;
    const char* tarnIni;
    std::function<void(FaultyPlatform&)> fault;
    const char* shown;   // the cause as the box names it (code page 850)
    const char* detail;  // in the system's words that the detail line gives
};

const FaultCase kSaveFaults[] = {
    {"read-only", nullptr, [](FaultyPlatform& p) { p.openFailures = 1, p.cause = FailureCause::Denied; },
     "(Tarn.ini). EL FITXER \x90S DE NOM\x90S LECTURA", "injected refusal"},
    {"disk full", nullptr, [](FaultyPlatform& p) { p.createFailures = 1, p.cause = FailureCause::DiskFull; },
     "EL DISC \x90S PLE", "injected refusal"},
    // The replace is tried for about five seconds (104 tries) before the
    // file counts as held.
    {"held by another program", nullptr, [](FaultyPlatform& p) { p.replaceFailures = 104, p.cause = FailureCause::InUse; },
     "UN ALTRE PROGRAMA", "injected refusal"},
    {"folder gone", kNoFile, [](FaultyPlatform& p) { p.openFailures = 1, p.cause = FailureCause::NoFolder; },
     "LA CARPETA", "injected refusal"},
    // The system's words stay out of the box: they are not the operator's language.
    {"other cause", nullptr, [](FaultyPlatform& p) { p.replaceFailures = 1, p.cause = FailureCause::Other; },
     "ERROR DEL SISTEMA", "injected refusal"},
    {"a lock file that is a folder", nullptr,
     [](FaultyPlatform& p) { p.openFailures = 1, p.cause = FailureCause::NotAFile, p.onLockFile = true; },
     "(Tarn.ini.lck). EL NOM \x90S D'UNA CARPETA", "Tarn.ini.lck is a folder"},
};

// Runs `test` once per fault, each over a fresh installation whose platform
// fails as the case says.
void ForEachSaveFault(const std::function<void(const FaultCase&, EditorScenario&)>& test) {
    for (const FaultCase& c : kSaveFaults) {
        SCOPED_TRACE(c.name);
        FaultyPlatform platform;
        EditorScenario s(platform);
        Install(s, c.tarnIni);
        c.fault(platform);
        test(c, s);
    }
}

TEST(EditorScenarioTest, AFailedSaveIsShownAndKeepsTheEditsForAnotherTry) {
    ForEachSaveFault([](const FaultCase& c, EditorScenario& s) {
        const std::vector<std::string> rootBefore = s.RootEntries();
        s.console().Press({"PgDn", "Space", "F10"});
        s.console().Snapshot();
        s.console().Press("Enter");
        s.console().Snapshot();
        s.console().Press("F10");
        EditResult result = s.Run();
        EXPECT_EQ(result.outcome, EditResult::Outcome::Saved);
        EXPECT_EQ(TarnIniOrNone(s), (c.tarnIni == nullptr ? kSample : "") +
                                        std::string(kDefaultRebut).replace(kDefaultRebut.size() - 3, 1, "N"));
        ASSERT_EQ(s.console().snapshots().size(), 2u);
        const ScreenShot& box = s.console().snapshots()[0];
        EXPECT_TRUE(box.Contains("NO S'HAN POGUT DESAR ELS CANVIS")) << box.Text();
        EXPECT_TRUE(box.Contains(c.shown)) << box.Text();
        EXPECT_TRUE(box.Contains("Format antic del rebut")) << "the box is over the form";
        EXPECT_FALSE(box.Contains("injected") || box.Contains("lock")) << "the system's words stay out";
        const ScreenShot& back = s.console().snapshots()[1];
        EXPECT_EQ(Shown(s, back, 9), "No  ") << "the edit is still there";
        EXPECT_FALSE(back.Contains("NO S'HAN POGUT")) << back.Text();
        EXPECT_EQ(s.RootEntries().size(), rootBefore.size() + (c.tarnIni == kNoFile ? 1 : 0)) << "no copy is left";
    });
}

TEST(EditorScenarioTest, GivingUpAfterAFailedSaveLeavesTarnIniAsItWas) {
    ForEachSaveFault([](const FaultCase& c, EditorScenario& s) {
        const std::string before = TarnIniOrNone(s);
        const std::vector<std::string> rootBefore = s.RootEntries();
        // Back on the first item after the box: Esc there leaves.
        s.console().Press({"PgDn", "Space", "F10", "Enter", "Esc"});
        EditResult result = s.Run();
        EXPECT_EQ(result.outcome, EditResult::Outcome::SaveFailed);
        EXPECT_NE(result.message.detail.find(c.detail), std::string::npos) << result.message.detail;
        EXPECT_EQ(TarnIniOrNone(s), before);
        EXPECT_EQ(s.RootEntries(), rootBefore) << "no copy is left";
        EXPECT_EQ(s.console().beeps(), 1);
        EXPECT_EQ(s.console().ScriptLeft(), 0u);
        EXPECT_FALSE(s.HasFile("TEMP/WinPush.tmp")) << "the box was closed";
    });
}

// A Tarn.ini that is there but may not be used: the box says so before the
// form is shown, and a key leaves without anything saved, as the defaults
// on the form would be taken for the file's settings.
TEST(EditorScenarioTest, ARefusedTarnIniIsNamedAndNothingIsEdited) {
    const struct {
        const char* name;
        const char* language;
        std::function<void(const std::string& path)> make;
        const char* shown;
    } cases[] = {
        {"a folder", "CAT", [](const std::string& path) { std::filesystem::create_directory(path); },
         "NO ES POT FER SERVIR EL FITXER Tarn.ini. NO \x90S UN FITXER ORDINARI"},
        {"over the limit, in Spanish", "SPA",
         [](const std::string& path) {
             std::ofstream(path, std::ios::binary) << "[Rebut]\r\n";
             std::filesystem::resize_file(path, kLargeFileLimit + 1);
         },
         "NO SE PUEDE USAR EL ARCHIVO Tarn.ini. ES DEMASIADO GRANDE."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EditorScenario s;
        s.SetLanguage(c.language);
        s.RemoveFile("Tarn.ini");
        c.make(s.Root() + "Tarn.ini");
        const std::vector<std::string> rootBefore = s.RootEntries();
        s.console().Snapshot();
        s.console().Press({"Space", "F10"});
        EditResult result = s.Run();
        EXPECT_EQ(result.outcome, EditResult::Outcome::Refused);
        EXPECT_EQ(result.message.text.rfind(c.shown, 0), 0u) << result.message.text;
        EXPECT_NE(result.message.detail.find("Tarn.ini: "), std::string::npos) << result.message.detail;
        ASSERT_EQ(s.console().snapshots().size(), 1u);
        const ScreenShot& box = s.console().snapshots()[0];
        EXPECT_TRUE(box.Contains(std::string(c.shown).substr(0, 30))) << box.Text();
        EXPECT_FALSE(box.Contains("rebut")) << "no form under the box";
        EXPECT_EQ(s.console().ScriptLeft(), 1u) << "one key answers the box, and the program leaves";
        EXPECT_EQ(s.RootEntries(), rootBefore) << "nothing saved";
        EXPECT_FALSE(s.HasFile("TEMP/WinPush.tmp")) << "the box was closed";
    }
}

TEST(EditorScenarioTest, TheSaveFailureMessageIsTranslated) {
    FaultyPlatform platform;
    EditorScenario s(platform);
    s.SetLanguage("SPA");
    platform.createFailures = 1;
    s.console().Press({"PgDn", "Space", "F10"});
    s.console().Snapshot();
    s.console().Press({"Enter", "Esc", "Esc"});
    EditResult result = s.Run();
    EXPECT_EQ(result.outcome, EditResult::Outcome::SaveFailed);
    ASSERT_EQ(s.console().snapshots().size(), 1u);
    const ScreenShot& shot = s.console().snapshots()[0];
    EXPECT_TRUE(shot.Contains("NO SE HAN PODIDO GUARDAR LOS CAMBIOS")) << shot.Text();
    EXPECT_TRUE(shot.Contains("EL DISCO EST\xB5 LLENO")) << shot.Text();
}

// ---------------------------------------------------------------------------
// Another workstation saves between our loading and our F10.

TEST(EditorScenarioTest, AColleaguesChangeIsKeptBesideOurs) {
    FaultyPlatform platform;
    EditorScenario s(platform);
    s.WriteFile("Tarn.ini", kDefaultRebut);
    platform.beforeOpen = [](const std::string& path) {
        SystemPlatform system;
        ASSERT_TRUE(WriteIniKey(system, path, "Rebut", "Fila.Num", "2 ").ok);
    };
    // Ours: the date row from 3 to 4.
    s.console().Press({"Down", "Down"});
    s.console().Type("4");
    s.console().Press({"Enter", "F10"});
    EXPECT_EQ(s.Run().outcome, EditResult::Outcome::Saved);
    std::string expected = kDefaultRebut;
    expected.replace(expected.find("Fila.Num=1 "), 11, "Fila.Num=2 ");
    expected.replace(expected.find("Fila.Dat=3 "), 11, "Fila.Dat=4 ");
    EXPECT_EQ(s.TarnIni(), expected);
}

TEST(EditorScenarioTest, AMergedPlanThatFailsIsShownAndKeepsTheOperatorOnTheScreen) {
    FaultyPlatform platform;
    EditorScenario s(platform);
    s.WriteFile("Tarn.ini", kDefaultRebut);
    std::string theirs;
    platform.beforeOpen = [&theirs](const std::string& path) {
        SystemPlatform system;
        ASSERT_TRUE(WriteIniKey(system, path, "Rebut", "Fila.Nom", "12").ok);
        theirs = ReadWholeFile(system, path, kLargeFileLimit).value_or("");
    };
    // Ours alone holds (the address on 12, the name on 13), and so does
    // theirs (the address on 11, the name on 12); together they do not.
    s.console().Press({"Down", "Down", "Down", "Down"});
    s.console().Type("12");
    s.console().Press({"Enter", "F10"});
    s.console().Snapshot();
    s.console().Press("Enter");
    s.console().Snapshot();
    // The operator stays on the screen and mends the plan: the name on 13.
    s.console().Press({"Down", "Down", "Down", "Down", "Down"});
    s.console().Type("13");
    s.console().Press({"Enter", "F10"});
    EXPECT_EQ(s.Run().outcome, EditResult::Outcome::Saved);
    std::string expected = kDefaultRebut;
    expected.replace(expected.find("Fila.Dom=11"), 11, "Fila.Dom=12");
    EXPECT_EQ(s.TarnIni(), expected);
    EXPECT_EQ(platform.replaces, 1) << "the refused merge wrote nothing";
    ASSERT_EQ(s.console().snapshots().size(), 2u);
    EXPECT_TRUE(s.console().snapshots()[0].Contains("L'ORDRE DE LES FILES NO \x90S CORRECTE"))
        << s.console().snapshots()[0].Text();
    EXPECT_EQ(Shown(s, s.console().snapshots()[1], 5), "12") << "ours";
    EXPECT_EQ(Shown(s, s.console().snapshots()[1], 6), "12") << "theirs, merged in";
}

// ---------------------------------------------------------------------------

TEST(EditorScenarioTest, AScriptThatRunsOutFailsInsteadOfHanging) {
    EditorScenario s;
    s.console().Press("Down");
    EXPECT_NONFATAL_FAILURE(s.Run(), "the script ran out");
    EXPECT_TRUE(s.ScriptRanOut());
}

}  // namespace
}  // namespace qp
