// MURCALC.TMP and the calculator's keys: any file is read into a state the
// calculator can work with; the state written back reads as the same state;
// every value shown fills its 22 columns; the pop-up over the in-memory
// console gives back the screen it covered.
#include <cmath>

#include "format/numbers.h"
#include "fuzz_support.h"
#include "input/calculator.h"
#include "screen/memory_console.h"

using namespace qp;

namespace {

constexpr const char* kKeys[] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", ".", "Backspace", "+", "-", "*",
                                 "/", "%", "R", "C", "=", "Enter", "T", "r", "c", "Left", "Right", "Ctrl+Left",
                                 "Ctrl+Right", "F", "Alt+F", "Esc", "Alt+X", "x", "Up"};

void CheckState(const CalculatorState& s) {
    fuzz::Check(s.column >= 1 && s.column <= kLastBoxColumn, "the box left the screen");
    fuzz::Check(s.firstTapeLine >= 2 && s.firstTapeLine <= kEmptyTape, "the tape grew past its rows");
    fuzz::Check(s.decimals >= 0 && s.decimals < 15, "more decimals than digits");
    fuzz::Check(std::isfinite(s.entry) && std::fabs(s.entry) < 1e15, "an entry past 15 digits");
    fuzz::Check(std::isfinite(s.accumulator) && std::fabs(s.accumulator) < 1e15, "a result past 15 digits");
    const std::string result = CalculatorResult(s);
    fuzz::Check(!result.empty() && result.find_first_not_of("0123456789.") == std::string::npos,
                "a result that is not digits: " + result);
}

// The state a calculator works through: keys applied directly.
void ApplyKeys(CalculatorState& s, std::string_view keys, UserPreferences& prefs) {
    for (char k : keys) {
        auto code = static_cast<key::Code>(static_cast<unsigned char>(k));
        if (k == 'L') code = key::Left;
        if (k == 'G') code = key::Right;
        ApplyCalculatorKey(s, code);
        CheckState(s);
        const std::string shown = FormatNumber(prefs, CalculatorMask(s.decimal, s.decimals), s.entry);
        fuzz::Check(shown.size() == 22, "the entry line is not 22 columns: \"" + shown + "\"");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string keys = in.ConsumeRandomLengthString(64);
    const std::string file = in.ConsumeRemainingBytesAsString();
    const auto& dir = fuzz::Scratch();
    SystemPlatform platform;
    UserPreferences prefs(platform, dir / "Tarn.ini");

    CalculatorState state = ParseCalculatorState(file);
    CheckState(state);
    const std::string saved = SerialiseCalculatorState(state);
    fuzz::Check(SerialiseCalculatorState(ParseCalculatorState(saved)) == saved, "a saved state reads differently");
    for (const TapeLine& line : state.tape)
        fuzz::Check(FormatNumber(prefs, CalculatorMask(line.decimal, line.decimals), line.value).size() == 22,
                    "a tape line is not 22 columns");
    ApplyKeys(state, keys, prefs);

    // The pop-up itself, from the same file and with the same keys as key presses.
    dir.Write("MURCALC.TMP", file);
    MemoryConsole console;
    fuzz::Scribble(console, 'A', 7);
    const std::vector<Cell> before = fuzz::Snapshot(console);
    Screen screen(console);
    Colours colours(screen, fuzz::DefaultColours());
    Windows windows(screen, colours, platform, dir.Dir());
    Keyboard keyboard(console);
    Calculator calculator(keyboard, windows, colours, prefs, platform, dir.Dir());
    fuzz::PressKeys(console, keys, kKeys);
    console.PressKey("Esc");
    const std::string typed = calculator.CalculatorPopup();
    fuzz::Check(typed.find_first_not_of("0123456789.") == std::string::npos, "the pop-up types more than a number");
    fuzz::Check(fuzz::Snapshot(console) == before, "the pop-up did not give back the screen");
    fuzz::Check(windows.WindowDepth() == 0 && !dir.Has("WinPush.tmp"), "the pop-up left a window open");
    const std::string written = dir.Read("MURCALC.TMP");
    fuzz::Check(SerialiseCalculatorState(ParseCalculatorState(written)) == written, "the file written reads differently");
    return 0;
}
