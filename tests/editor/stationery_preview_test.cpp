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

// The sample's colours (TarnTerm.ini Col0): highlight 15 on 1, normal 7 on 1.
constexpr std::uint8_t kHighlight = 0x1F;
constexpr std::uint8_t kNormal = 0x17;

// The paper row r as the preview shows it: its number and what is printed there.
std::string PaperRow(const ScreenShot& shot, int r) {
    const int screenRow = 1 + (r <= 13 ? r : r - 13);
    const int column = r <= 13 ? 3 : 42;
    return TrimTrailingBlanks(shot.Row(screenRow).substr(static_cast<std::size_t>(column - 1), 37));
}

TEST(StationeryPreviewTest, ShowsThePaperAndGivesTheFormBack) {
    const struct {
        const char* name;
        const char* language;
        const char* rebut;
        std::vector<std::pair<int, const char*>> rows;
        std::vector<const char*> lines;      // shown somewhere in the window
        std::vector<int> highlighted;        // paper rows in the highlight colour
    } cases[] = {
        {"the defaults", "CAT", "",
         {{1, " 1 N\xA3m. rebut"}, {2, " 2"}, {6, " 6 Concepte 1/5"}, {10, "10 Concepte 5/5"}, {13, "13 Nom 1/6"},
          {18, "18 Nom 6/6"}, {19, "19"}, {25, "25"}},
         {"PAPER DEL REBUT", "Imprimir la matriu: No   Imprimir el duplicat: No   Imprimir el membret: S\xA1",
          "Esc, Alt+V: tanca"},
         {}},
        {"concept and address clash", "CAT", "Fila.Dom=9\r\n",
         {{9, " 9 Concepte 4/5 / Domicili"}, {10, "10 Concepte 5/5"}},
         {"L'ORDRE DE LES FILES NO \x90S CORRECTE"},
         {9}},
        {"the name off the sheet", "CAT", "Fila.Nom=22\r\n",
         {{22, "22 Nom 1/6"}, {25, "25 Nom 4/6"}},
         {"Fora del paper: Nom, files 26-27", "FILA LLIURAT FORA DE MARGES"},
         {}},
        {"the new format", "CAT", "Antic=N\r\n", {{1, " 1 N\xA3m. rebut"}}, {"El format nou no fa servir aquestes files."}, {}},
        {"a clash in Galician", "GLG", "Fila.Nom=11\r\n",
         {{11, "11 Domicilio / Nome 1/6"}, {16, "16 Nome 6/6"}},
         {"A ORDE DAS FILAS NON \x90 CORRECTA", "Imprimir matriz: Non   Imprimir duplicado: Non   Imprimir cabeceira: Si"},
         {11}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EditorScenario s;
        s.SetLanguage(c.language);
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
    EXPECT_EQ(PaperRow(paper, 2), " 2 Nom 1/6");
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
    EXPECT_TRUE(s.console().snapshots()[0].Contains("Imprimir membrete: S\xA1"));
}

// Occitan's three Sí/No settings are wider than the window together: one
// row each, as a block centred on the widest.
TEST(StationeryPreviewTest, ChoicesTooWideForOneLineTakeARowEach) {
    EditorScenario s;
    s.SetLanguage("OCI");
    s.console().Press("Alt+v");
    s.console().Snapshot();
    s.console().Press({"Esc", "Esc"});
    s.Run();
    ASSERT_EQ(s.console().snapshots().size(), 1u);
    const ScreenShot& paper = s.console().snapshots()[0];
    const std::size_t column = 1 + (78 - std::string("Imprimir eth duplicat: Non").size()) / 2;
    EXPECT_EQ(paper.Row(20).find("Imprimir era matritz: Non"), column) << paper.Text();
    EXPECT_EQ(paper.Row(21).find("Imprimir eth duplicat: Non"), column);
    EXPECT_EQ(paper.Row(22).find("Imprimir era ent\x8Asta: \xE3" "c"), column);
    EXPECT_NE(paper.Row(23).find("Esc, Alt+V: barrar"), std::string::npos);
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
