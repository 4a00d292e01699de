// The adding-machine calculator (Alt+X) with its paper tape, kept between
// openings and runs in MURCALC.TMP.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "format/preferences.h"
#include "input/keyboard.h"
#include "platform/platform.h"
#include "screen/colours.h"
#include "screen/windows.h"

namespace qp {

struct TapeLine {
    double value = 0;
    bool decimal = false;
    std::int16_t decimals = 0;
    std::string op;  // one character, or empty
};

constexpr int kTapeLines = 22;
constexpr int kEmptyTape = 23;     // first tape line when nothing is shown
constexpr int kLastBoxColumn = 55; // the box is 26 columns wide

struct CalculatorState {
    std::int16_t column = 1;
    std::int16_t firstTapeLine = kEmptyTape;
    double entry = 0;
    double accumulator = 0;
    bool cleared = true;
    bool entering = false;
    bool decimal = false;
    std::int16_t decimals = 0;
    std::string op;
    std::string pendingOp;
    std::array<TapeLine, kTapeLines> tape {};  // oldest first
    bool error = false;  // the last operation overflowed or divided by zero (not stored)
};

// What a key asks of the screen besides the entry line.
enum class CalculatorEffect { None, RedrawBox, MoveBox, Finish, Cancel, Refused };

// Applies one key (a key code; characters already upper-cased) to the state.
CalculatorEffect ApplyCalculatorKey(CalculatorState& state, key::Code code);
// The "F" result: the value in hundredths as digits, e.g. 12.5 -> "1250".
std::string CalculatorResult(const CalculatorState& state);
// The number picture of a tape or entry value: always 22 characters wide.
std::string CalculatorMask(bool decimal, int decimals);

std::string SerialiseCalculatorState(const CalculatorState& state);
// Takes what is valid from the file's text; the initial state for the rest.
CalculatorState ParseCalculatorState(const std::string& text);

class Calculator {
public:
    // terminalDir is the session's TerminalDir (ends in "\" or ":", or is empty).
    Calculator(Keyboard& keyboard, Windows& windows, Colours& colours, UserPreferences& prefs, Platform& platform,
               std::string terminalDir);

    // Runs the pop-up; the text to type into the field, or empty (Esc, or no room on the console).
    std::string CalculatorPopup();

    std::string StatePath() const { return terminalDir_ + "MURCALC.TMP"; }

private:
    CalculatorState Load();
    void Save(const CalculatorState& state);
    void DrawBox(const CalculatorState& state);
    void DrawEntry(const CalculatorState& state);
    std::string FormatValue(double value, bool decimal, int decimals);
    void PrintAt(int row, int column, const std::string& text);

    Keyboard& keyboard_;
    Windows& windows_;
    Colours& colours_;
    UserPreferences& prefs_;
    Platform& platform_;
    std::string terminalDir_;
};

}  // namespace qp
