// The stationery preview: where each field lands on the paper, as a table of
// plans; and the form given back exactly when it closes.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "editor/alignment_sheet.h"
#include "editor/fake_printing.h"
#include "editor/scenario_console.h"
#include "editor/stationery_preview.h"
#include "input/refusal_recorder.h"

namespace qp {
namespace {

using testing::EditorScenario;
using testing::Answer;
using testing::FakePrinting;
using testing::Printers;
using testing::ScenarioRig;
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

// Alt+V opens, in this scenario, a preview that prints through `printing`.
void PreviewPrintingThrough(EditorScenario& s, FakePrinting& printing, std::optional<StationeryPreview>& preview) {
    s.OnStart([&printing, &preview](ScenarioRig& rig) {
        preview.emplace(rig.tables, rig.windows, rig.colours, rig.keyboard, rig.translator, printing);
        FormEngine* engine = &rig.engine;
        rig.keyboard.AddHotKey(key::AltV, [&preview, engine] { return preview->PreviewPopup(engine->FieldBeingEdited()); });
    });
}

// F9 over the paper: the printers offered, the one chosen, the line that says
// what became of the sheet; the paper stays, and the form and Tarn.ini are
// given back as they were whatever the answer.
TEST(StationeryPreviewTest, F9PrintsOnThePrinterChosen) {
    const PrinterList two = Printers({"Rebuts", "Tancada"}, true);
    const PrinterList three = Printers({"A", "B", "C"}, false);
    const PrintResult sent = Answer(PrintFault::None);
    const struct {
        const char* name;
        PrinterList printers;
        PrintResult answer;
        std::vector<std::string_view> keys;  // in the pop-up
        std::vector<const char*> popup;      // what the pop-up shows
        const char* printer;                 // the job's; none when nullptr
        const char* line;                    // centred under the paper's keys
        int beeps;
    } cases[] = {
        {"Enter: the default", two, sent, {"Enter"}, {"IMPRESSORA", "Rebuts (per defecte)", "Tancada", "Intro: imprimeix   Esc: torna"},
         "Rebuts", "Full d'alineaci\xA2 enviat a Rebuts", 0},
        {"Down: the next one, which refuses", two, Answer(PrintFault::Refused), {"Down", "Enter"}, {},
         "Tancada", "No s'ha impr\x8As el full (Tancada): la impressora no accepta treballs", 1},
        {"no default marked; End, Up; Down stops at the last", three, sent, {"End", "Up", "Down", "Down", "Enter"}, {},
         "C", "Full d'alineaci\xA2 enviat a C", 0},
        {"PgDn past the end, Home", three, sent, {"PgDn", "PgDn", "Home", "Enter"}, {}, "A", "Full d'alineaci\xA2 enviat a A", 0},
        {"Esc: back to the paper", two, sent, {"Esc"}, {}, nullptr, "", 0},
        {"no printing service: no pop-up", Printers({}, false, PrintFault::NoService), sent, {}, {}, nullptr,
         "No s'ha impr\x8As el full: no hi ha cap servei d'impressi\xA2 en marxa", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EditorScenario s;
        const std::string tarnIni = s.ReadFile("Tarn.ini");
        FakePrinting printing;
        printing.printers = c.printers;
        printing.answer = c.answer;
        std::optional<StationeryPreview> preview;
        PreviewPrintingThrough(s, printing, preview);
        s.console().Snapshot();
        s.console().Press({"Alt+v", "F9"});
        s.console().Snapshot();
        for (std::string_view k : c.keys) s.console().Press(k);
        s.console().Snapshot();
        s.console().Press("Esc");
        s.console().Snapshot();
        s.console().Press("Esc");
        EXPECT_EQ(s.Run().outcome, EditResult::Outcome::NothingToSave);
        ASSERT_EQ(s.console().snapshots().size(), 4u);
        const ScreenShot& popup = s.console().snapshots()[1];
        for (const char* text : c.popup) EXPECT_TRUE(popup.Contains(text)) << text << "\n" << popup.Text();
        const ScreenShot& paper = s.console().snapshots()[2];
        EXPECT_TRUE(paper.Contains("PAPER DEL REBUT"));
        EXPECT_FALSE(paper.Contains("IMPRESSORA"));
        const std::string shown = TrimTrailingBlanks(paper.Row(24).substr(1, 78));
        EXPECT_EQ(shown.substr(std::min(shown.find_first_not_of(' '), shown.size())), c.line);
        ASSERT_EQ(printing.jobs.size(), c.printer ? 1u : 0u);
        if (c.printer) {
            EXPECT_EQ(printing.jobs[0].printer, c.printer);
        }
        EXPECT_EQ(s.console().beeps(), c.beeps);
        EXPECT_EQ(s.console().snapshots()[3].rows, s.console().snapshots()[0].rows) << "the form is given back";
        EXPECT_EQ(s.ReadFile("Tarn.ini"), tarnIni);
    }
}

// The sheet printed is byte for byte what --sheet writes for the plan on the
// form, the number being typed included.
TEST(StationeryPreviewTest, F9PrintsTheSheetOfThePlanOnTheForm) {
    EditorScenario s;
    s.SetLanguage("SPA");
    FakePrinting printing;
    printing.printers = Printers({"Rebuts"}, true);
    std::optional<StationeryPreview> preview;
    PreviewPrintingThrough(s, printing, preview);
    s.console().Press({"Down", "Down", "Down", "Down", "Down"});
    s.console().Type("2");
    s.console().Press({"Alt+v", "F9", "Enter", "Esc", "Esc", "Esc"});
    s.Run();
    ASSERT_EQ(printing.jobs.size(), 1u);
    s.WriteFile("Tarn.ini", "[Rebut]\r\nFila.Nom=2\r\n");
    const ScriptResult sheet = MakeAlignmentSheet(s.rig().settings, s.rig().tables, s.rig().translator);
    EXPECT_EQ(printing.jobs[0].bytes, sheet.output);
    EXPECT_NE(sheet.output.find("Nombre 1/6"), std::string::npos);
}

// The whole window must be in sight: the part of the console the terminal
// shows counts, not the program's 80 x 25 screen. A refusal beeps and says
// which pop-up and what it needs.
TEST(StationeryPreviewTest, OpensOnlyWhenTheTerminalShowsItAll) {
    const struct {
        int rows, columns;  // the console's grid
        int seenRows, seenColumns;  // what the terminal shows of it; 0: all
        bool opens;
    } cases[] = {
        {25, 80, 0, 0, true},
        {30, 100, 0, 0, true},
        {25, 80, 24, 80, false},
        {25, 80, 25, 79, false},
        {24, 80, 0, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.rows) + "x" + std::to_string(c.columns) + " seen " +
                     std::to_string(c.seenRows) + "x" + std::to_string(c.seenColumns));
        MemoryConsole console(c.rows, c.columns);
        if (c.seenRows > 0) console.ShowOnly(c.seenRows, c.seenColumns);
        Screen screen(console);
        const ColourTable colourTable {};  // the colours keep a reference to it
        Colours colours(screen, colourTable);
        SystemPlatform platform;
        Windows windows(screen, colours, platform, "");
        Keyboard keyboard(console);
        testing::RefusalRecorder refusals;
        keyboard.SetRefusalListener(&refusals);
        Translator translator(platform, std::string(QP_SOURCE_DIR) + "/", "CAT", "QPLAYOUT");
        FormTables tables;
        FakePrinting printing;
        StationeryPreview preview(tables, windows, colours, keyboard, translator, printing);
        console.PressKey("Esc");
        EXPECT_EQ(preview.PreviewPopup(std::nullopt), "");
        EXPECT_EQ(console.QueuedEvents(), c.opens ? 0u : 1u) << "the preview read its Esc";
        EXPECT_EQ(console.beeps(), c.opens ? 0 : 1);
        EXPECT_EQ(refusals.log, c.opens ? std::vector<std::string> {}
                                        : std::vector<std::string> {"PopupTooLarge El paper del rebut 80x25"});
        EXPECT_EQ(windows.WindowDepth(), 0);
    }
}

}  // namespace
}  // namespace qp
