// The stationery preview: where each field lands on the paper, as a table of
// plans; and the form given back exactly when it closes.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "editor/scenario_console.h"
#include "editor/stationery_preview.h"

namespace qp {
namespace {

using testing::EditorScenario;
using testing::ScreenShot;

using Values = std::array<std::string, ReceiptSettings::kSettingCount>;

// The sample's colours (TarnTerm.ini Col0): highlight 15 on 1, normal 7 on 1.
constexpr std::uint8_t kHighlight = 0x1F;
constexpr std::uint8_t kNormal = 0x17;

Values Plan(const char* antic, std::vector<const char*> rows) {
    Values v {antic, "", "", "", "", "", "N", "N", "S"};
    for (std::size_t i = 0; i < rows.size(); ++i) v[i + 1] = rows[i];
    return v;
}

TEST(StationeryLayoutTest, PlacesEachBlockOnItsRows) {
    const struct {
        const char* name;
        Values values;
        std::vector<std::pair<int, std::vector<int>>> rows;  // paper row, the items on it
        std::vector<StationeryLayout::OffSheet> off;
        RowPlanFault fault;
    } cases[] = {
        {"the defaults", Plan("S", {"1", "3", "6", "11", "13"}),
         {{1, {2}}, {2, {}}, {3, {3}}, {6, {4}}, {10, {4}}, {11, {5}}, {12, {}}, {13, {6}}, {18, {6}}, {19, {}}},
         {},
         RowPlanFault::None},
        {"concept and address clash", Plan("S", {"1", "3", "6", "9", "13"}),
         {{8, {4}}, {9, {4, 5}}, {10, {4}}},
         {},
         RowPlanFault::Order},
        {"the name runs off the sheet", Plan("S", {"1", "3", "6", "11", "22"}),
         {{22, {6}}, {25, {6}}},
         {{6, 26, 27}},
         RowPlanFault::Margin},
        {"the new format: rows shown, no rule", Plan("N", {"5", "3", "6", "11", "24"}),
         {{5, {2}}, {3, {3}}},
         {{6, 26, 29}},
         RowPlanFault::None},
        {"no number is row 0", Plan("S", {"x", "3", "6", "11", "13"}),
         {{1, {}}},
         {{2, 0, 0}},
         RowPlanFault::None},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StationeryLayout layout = LayOutStationery(c.values);
        for (const auto& [row, items] : c.rows) EXPECT_EQ(layout.onRow[static_cast<std::size_t>(row)], items) << "row " << row;
        ASSERT_EQ(layout.offSheet.size(), c.off.size());
        for (std::size_t i = 0; i < c.off.size(); ++i) {
            EXPECT_EQ(layout.offSheet[i].item, c.off[i].item);
            EXPECT_EQ(layout.offSheet[i].first, c.off[i].first);
            EXPECT_EQ(layout.offSheet[i].last, c.off[i].last);
        }
        EXPECT_EQ(layout.fault, c.fault);
        EXPECT_EQ(layout.oldFormat, c.values[0] == "S");
    }
}

// The paper row r as the preview shows it: its number and what is printed there.
std::string PaperRow(const ScreenShot& shot, int r) {
    const int screenRow = 1 + (r <= 13 ? r : r - 13);
    const int column = r <= 13 ? 3 : 42;
    return TrimTrailingBlanks(shot.Row(screenRow).substr(static_cast<std::size_t>(column - 1), 37));
}

TEST(StationeryPreviewTest, ShowsThePaperAndGivesTheFormBack) {
    const struct {
        const char* name;
        const char* rebut;
        std::vector<std::pair<int, const char*>> rows;
        std::vector<const char*> lines;      // shown somewhere in the window
        std::vector<int> highlighted;        // paper rows in the highlight colour
    } cases[] = {
        {"the defaults", "",
         {{1, " 1 Fila del n\xA3mero de rebut"}, {2, " 2"}, {6, " 6 Fila del concepte (5 files)"}, {13, "13 Fila del nom (6 files)"},
          {19, "19"}, {25, "25"}},
         {"Imprimir la matriu: No   Imprimir el duplicat: No   Imprimir el membret: S\xA1", "Esc, Alt+V: tanca"},
         {}},
        {"concept and address clash", "Fila.Dom=9\r\n",
         {{9, " 9 Fila del concepte (5 files) / Fila"}, {10, "10 Fila del concepte (5 files)"}},
         {"L'ORDRE DE LES FILES NO \x90S CORRECTE"},
         {9}},
        {"the name off the sheet", "Fila.Nom=22\r\n",
         {{22, "22 Fila del nom (6 files)"}, {25, "25 Fila del nom (6 files)"}},
         {"Fora del paper: Fila del nom (6 files), files 26-27", "FILA LLIURAT FORA DE MARGES"},
         {}},
        {"the new format", "Antic=N\r\n", {{1, " 1 Fila del n\xA3mero de rebut"}}, {"El format nou no fa servir aquestes files."}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EditorScenario s;
        s.WriteFile("Tarn.ini", std::string("[Rebut]\r\n") + c.rebut);
        s.console().Snapshot();
        s.console().Press("Alt+v");
        s.console().Snapshot();
        s.console().Press("Esc");
        s.console().Snapshot();
        // Leaving by the new format, which has no row rule to stop a plan that fails.
        s.console().Press({"Space", "Enter", "Esc", "Esc"});
        s.Run();
        ASSERT_EQ(s.console().snapshots().size(), 3u);
        const ScreenShot& form = s.console().snapshots()[0];
        const ScreenShot& paper = s.console().snapshots()[1];
        for (const auto& [row, text] : c.rows) EXPECT_EQ(PaperRow(paper, row), text) << "paper row " << row;
        for (const char* line : c.lines) EXPECT_TRUE(paper.Contains(line)) << line << "\n" << paper.Text();
        EXPECT_TRUE(paper.Row(1).find("PAPER DEL REBUT") != std::string::npos);
        EXPECT_EQ(s.console().snapshots()[2].rows, form.rows) << "the form is given back";
        EXPECT_EQ(s.console().snapshots()[2].attributes, form.attributes);
        EXPECT_FALSE(s.HasFile("TEMP/WinPush.tmp"));
        // Names in the highlight colour where two fields fall on one row.
        for (int r : {9, 10, 13}) {
            const bool clash = std::find(c.highlighted.begin(), c.highlighted.end(), r) != c.highlighted.end();
            const std::uint8_t shown = paper.AttrAt(1 + r, 6);
            EXPECT_EQ(shown, clash ? kHighlight : kNormal) << "paper row " << r;
        }
    }
}

TEST(StationeryPreviewTest, CountsTheNumberBeingTyped) {
    EditorScenario s;
    // On the name row, "2" typed and not yet accepted.
    s.console().Press({"Down", "Down", "Down", "Down", "Down"});
    s.console().Type("2");
    s.console().Press("Alt+v");
    s.console().Snapshot();
    s.console().Press("Esc");
    s.console().Snapshot();
    s.console().Press({"Esc", "Esc"});
    s.Run();
    ASSERT_EQ(s.console().snapshots().size(), 2u);
    const ScreenShot& paper = s.console().snapshots()[0];
    EXPECT_EQ(PaperRow(paper, 2), " 2 Fila del nom (6 files)");
    EXPECT_EQ(PaperRow(paper, 13), "13");
    EXPECT_TRUE(paper.Contains("L'ORDRE DE LES FILES NO \x90S CORRECTE"));
    // Back in the field with the digit still there.
    const ScreenShot& back = s.console().snapshots()[1];
    EXPECT_NE(back.Text().find("Fila del nom (6 files) .........: 2"), std::string::npos) << back.Text();
}

TEST(StationeryPreviewTest, InTheSessionsLanguageAndClosedByAltVAgain) {
    EditorScenario s;
    s.SetLanguage("SPA");
    s.console().Press("Alt+v");
    s.console().Snapshot();
    s.console().Press("Alt+v");
    s.console().Press({"Esc"});
    EXPECT_EQ(s.Run().outcome, EditResult::Outcome::NothingToSave);
    EXPECT_EQ(s.console().ScriptLeft(), 0u);
    ASSERT_EQ(s.console().snapshots().size(), 1u);
    EXPECT_TRUE(s.console().snapshots()[0].Contains("PAPEL DEL RECIBO"));
    EXPECT_TRUE(s.console().snapshots()[0].Contains("Esc, Alt+V: cierra"));
    EXPECT_TRUE(s.console().snapshots()[0].Contains("Imprimir el membrete: S\xA1"));
}

TEST(StationeryPreviewTest, BeepsOnAConsoleTooSmall) {
    MemoryConsole console(24, 80);
    Screen screen(console);
    Colours colours(screen, ColourTable {});
    SystemPlatform platform;
    Windows windows(screen, colours, platform, "");
    Keyboard keyboard(console);
    Translator translator(platform, "", "CAT", "QPLAYOUT");
    FormTables tables;
    StationeryPreview preview(tables, windows, colours, keyboard, translator);
    EXPECT_EQ(preview.PreviewPopup(std::nullopt), "");
    EXPECT_EQ(console.beeps(), 1);
    EXPECT_EQ(windows.WindowDepth(), 0);
}

}  // namespace
}  // namespace qp
