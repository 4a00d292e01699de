// The calculator opened from a row field of the running editor: its result
// is typed into the field and saved with the rest.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "editor/scenario_console.h"
#include "input/calculator.h"

namespace qp {
namespace {

using testing::EditorScenario;
using testing::ReadSourceFile;
using testing::ScenarioRig;

// Wires the calculator into the run's keyboard, as the program does.
void WithCalculator(EditorScenario& s, std::unique_ptr<Calculator>& calculator) {
    s.OnStart([&calculator](ScenarioRig& rig) {
        calculator = std::make_unique<Calculator>(rig.keyboard, rig.windows, rig.colours, rig.preferences, rig.platform,
                                                  rig.session.TerminalDir);
        rig.keyboard.SetHotKeyHandlers([&calculator] { return calculator->CalculatorPopup(); }, nullptr);
    });
}

TEST(CalculatorScenario, ResultTypedIntoABlankedRowIsSaved) {
    EditorScenario s;
    std::unique_ptr<Calculator> calculator;
    WithCalculator(s, calculator);
    s.console().Press({"Down", "Down", "Down", "Down", "Down", "Ctrl+Y", "Alt+X"});
    s.console().Type("0.05+0.07=");
    s.console().Snapshot();
    s.console().Type("F");
    s.console().Snapshot();
    s.console().Press({"Enter", "F10"});

    EditResult result = s.Run();
    ASSERT_FALSE(s.ScriptRanOut());
    EXPECT_EQ(result.outcome, EditResult::Outcome::Saved);

    const auto& shots = s.console().snapshots();
    ASSERT_EQ(shots.size(), 2u);
    EXPECT_TRUE(shots[0].Contains("0,12")) << shots[0].Text();
    EXPECT_FALSE(shots[1].Contains("0,12")) << "the calculator is closed\n" << shots[1].Text();
    EXPECT_NE(shots[1].Row(11).find(": 12"), std::string::npos) << shots[1].Text();

    const std::string expected = ReadSourceFile("sample/Tarn.ini") +
                                 "[Rebut]\r\nAntic=S\r\nFila.Num=1 \r\nFila.Dat=3 \r\nFila.Cnc=6 \r\nFila.Dom=11\r\n"
                                 "Fila.Nom=12\r\nMatriu=N\r\nDuplicat=N\r\nMembret=S\r\n";
    EXPECT_EQ(s.TarnIni(), expected);
    EXPECT_TRUE(s.HasFile("TEMP/MURCALC.TMP"));
}

TEST(CalculatorScenario, EscInTheCalculatorTypesNothingAndTheEditWritesNothing) {
    EditorScenario s;
    std::unique_ptr<Calculator> calculator;
    WithCalculator(s, calculator);
    s.console().Press({"Down", "Alt+X"});
    s.console().Type("5+5=");
    s.console().Press({"Esc", "Enter", "Esc", "Esc"});

    EditResult result = s.Run();
    ASSERT_FALSE(s.ScriptRanOut());
    EXPECT_NE(result.outcome, EditResult::Outcome::Saved);
    EXPECT_EQ(s.TarnIni(), ReadSourceFile("sample/Tarn.ini"));
    EXPECT_NE(s.ReadFile("TEMP/MURCALC.TMP").find("10,"), std::string::npos) << "the tape is kept";
}

// A terminal of 80 x 24 keeps the program's screen but shows one row less:
// the calculator would be out of sight and swallow the keys typed. It beeps,
// the status line says why, and what the operator types goes into the field.
TEST(CalculatorScenario, OnATerminalOfTwentyFourRowsTheCalculatorDoesNotOpen) {
    const struct {
        const char* language;
        const char* reason;  // code page 850
    } cases[] = {
        {"CAT", "La calculadora no hi cap: cal una finestra de 26 x 25"},
        {"SPA", "La calculadora no cabe: hace falta una ventana de 26 x 25"},
        {"OCI", "Era calculadora non i cap: cau ua hi\x8Astra de 26 x 25"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        EditorScenario s;
        s.SetLanguage(c.language);
        std::unique_ptr<Calculator> calculator;
        WithCalculator(s, calculator);
        s.console().ShowOnly(24, 80);
        s.console().Press({"Down", "Down", "Down", "Down", "Down", "Alt+X"});
        s.console().Snapshot();
        s.console().Type("12");
        s.console().Snapshot();
        s.console().Press({"Enter", "F10"});

        EditResult result = s.Run();
        ASSERT_FALSE(s.ScriptRanOut());
        EXPECT_EQ(result.outcome, EditResult::Outcome::Saved);
        EXPECT_EQ(s.console().beeps(), 1);
        const auto& shots = s.console().snapshots();
        ASSERT_EQ(shots.size(), 2u);
        EXPECT_TRUE(shots[0].Row(18).find(c.reason) != std::string::npos) << shots[0].Text();
        EXPECT_TRUE(shots[1].Row(18).find(c.reason) == std::string::npos) << "gone with the next key";
        EXPECT_FALSE(shots[0].Contains("\xC0\xC4\xC4")) << "no box drawn\n" << shots[0].Text();
        EXPECT_NE(s.TarnIni().find("Fila.Nom=12\r\n"), std::string::npos) << "the keys went into the field";
    }
}

}  // namespace
}  // namespace qp
