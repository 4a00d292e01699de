#include "input/calculator.h"

#include <charconv>
#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "format/numbers.h"
#include "input/popup_scope.h"
#include "text/cp850.h"
#include "text/field_reader.h"

namespace qp {
namespace {

constexpr int kMaxDigits = 15;  // what a double holds exactly, and what the tape shows
// The box: from the top row to row 25, 26 columns wide.
constexpr int kBoxRows = 25;
constexpr int kBoxColumns = 26;

// Decimal text of v with exactly `decimals` decimals, rounded to the nearest.
std::string Fixed(double v, int decimals) {
    char buffer[64];
    auto r = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, decimals);
    return r.ec == std::errc() ? std::string(buffer, r.ptr) : std::string("0");
}

std::string Shortest(double v) {
    char buffer[64];
    auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
    return r.ec == std::errc() ? std::string(buffer, r.ptr) : std::string("0");
}

std::optional<double> ParseNumber(std::string_view text) {
    text = std::string_view(text).substr(0, text.find_last_not_of(' ') + 1);
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double v = 0;
    auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

double Parse(const std::string& text) { return ParseNumber(text).value_or(0); }

int WholeDigits(double v) {
    std::string whole = Fixed(std::trunc(std::fabs(v)), 0);
    return static_cast<int>(whole.size());
}

bool Representable(double v) { return std::isfinite(v) && std::fabs(v) < 1e15; }

void AddTapeLine(CalculatorState& s, double value, bool decimal, int decimals, std::string op) {
    for (int i = 0; i + 1 < kTapeLines; ++i) s.tape[static_cast<std::size_t>(i)] = s.tape[static_cast<std::size_t>(i + 1)];
    s.tape[kTapeLines - 1] = TapeLine {value, decimal, static_cast<std::int16_t>(decimals), std::move(op)};
    if (s.firstTapeLine > 2) --s.firstTapeLine;
}

// The fewest decimals that show the entry to the last of its 15 digits.
void NormaliseEntry(CalculatorState& s) {
    int decimals = std::max(0, kMaxDigits - 1 - WholeDigits(s.entry));
    std::string text = Fixed(s.entry, decimals);
    if (text.find('.') != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.') text.pop_back();
    }
    s.entry = Parse(text);
    if (s.entry == 0) s.entry = 0;  // no negative zero on the tape
    std::size_t point = text.find('.');
    s.decimals = static_cast<std::int16_t>(point == std::string::npos ? 0 : text.size() - point - 1);
    s.decimal = s.decimals > 0;
}

// Division by zero or a result past 15 digits: the tape says so, and the
// machine starts again from a clear state.
CalculatorEffect Fail(CalculatorState& s) {
    AddTapeLine(s, 0, false, 0, "E");
    s.error = true;
    s.entry = 0;
    s.accumulator = 0;
    s.pendingOp.clear();
    s.op.clear();
    s.cleared = true;
    s.entering = false;
    s.decimal = false;
    s.decimals = 0;
    return CalculatorEffect::Refused;
}

CalculatorEffect TypeDigit(CalculatorState& s, int digit) {
    if (!s.entering) {
        s.entry = 0;
        s.decimal = false;
        s.decimals = 0;
    }
    if (WholeDigits(s.entry) + s.decimals >= kMaxDigits) return CalculatorEffect::Refused;
    bool negative = std::signbit(s.entry);
    std::string text = Fixed(std::fabs(s.entry), s.decimals);
    if (s.decimal) {
        if (s.decimals == 0) text += '.';
        ++s.decimals;
    }
    text += static_cast<char>('0' + digit);
    s.entry = negative ? -Parse(text) : Parse(text);
    s.entering = true;
    return CalculatorEffect::None;
}

CalculatorEffect TypePoint(CalculatorState& s) {
    if (!s.entering) {
        s.entry = 0;
        s.decimal = false;
        s.decimals = 0;
    }
    if (!s.decimal) {
        s.decimal = true;
        s.decimals = 0;
    }
    s.entering = true;
    return CalculatorEffect::None;
}

CalculatorEffect Backspace(CalculatorState& s) {
    if (!s.decimal) {
        s.entry = std::trunc(s.entry / 10);
    } else if (--s.decimals < 0) {
        s.decimal = false;
        s.decimals = 0;
    } else {
        bool negative = std::signbit(s.entry);
        std::string text = Fixed(std::fabs(s.entry), s.decimals + 1);
        text.pop_back();
        s.entry = negative ? -Parse(text) : Parse(text);
    }
    // Backspace can end an entry (nothing left of it) but never starts one: on
    // a result it only edits what is shown, and F still gives the result.
    s.entering = s.entering && s.entry != 0;
    return CalculatorEffect::None;
}

CalculatorEffect Operation(CalculatorState& s, char op) {
    double result = s.entry;
    if (s.pendingOp == "+") result = s.accumulator + s.entry;
    else if (s.pendingOp == "-") result = s.accumulator - s.entry;
    else if (s.pendingOp == "*") result = s.accumulator * s.entry;
    else if (s.pendingOp == "/") result = s.entry == 0 ? NAN : s.accumulator / s.entry;
    AddTapeLine(s, s.entry, s.decimal, s.decimals, std::string(1, op));
    if (!Representable(result)) return Fail(s);
    s.accumulator = result;
    s.entry = result;
    NormaliseEntry(s);
    s.op = op == '=' ? std::string() : std::string(1, op);
    if (op == '=') AddTapeLine(s, s.entry, s.decimal, s.decimals, " ");
    s.entering = false;
    s.cleared = false;
    s.pendingOp = s.op;
    return CalculatorEffect::RedrawBox;
}

CalculatorEffect Percent(CalculatorState& s) {
    AddTapeLine(s, s.entry, s.decimal, s.decimals, "%");
    double result = (s.pendingOp == "+" || s.pendingOp == "-") ? s.accumulator / 100 * s.entry : s.entry / 100;
    if (!Representable(result)) return Fail(s);
    s.entry = result;
    NormaliseEntry(s);
    return CalculatorEffect::RedrawBox;
}

// Whole hundredths stay; ties go to the even hundredth; negative entries are only cut.
CalculatorEffect RoundToHundredths(CalculatorState& s) {
    std::string text = Fixed(std::fabs(s.entry), kMaxDigits);
    std::size_t point = text.find('.');
    std::string kept = text.substr(0, point + 3);
    std::string dropped = text.substr(point + 3);
    double hundredths = Parse(kept.substr(0, point) + kept.substr(point + 1));
    if (!std::signbit(s.entry)) {
        std::string rest = dropped.substr(1);
        bool restZero = rest.find_first_not_of('0') == std::string::npos;
        bool above = dropped[0] > '5' || (dropped[0] == '5' && !restZero);
        bool tie = dropped[0] == '5' && restZero;
        if (above || (tie && std::fmod(hundredths, 2) == 1)) hundredths += 1;
    }
    s.entry = (std::signbit(s.entry) ? -hundredths : hundredths) / 100;
    if (s.entry == 0) s.entry = 0;
    s.accumulator = s.entry;
    s.decimal = true;
    s.decimals = 2;
    AddTapeLine(s, s.entry, s.decimal, s.decimals, "R");
    return CalculatorEffect::RedrawBox;
}

CalculatorEffect Clear(CalculatorState& s) {
    if (s.entering) {
        s.entering = false;
        s.entry = s.accumulator;
        NormaliseEntry(s);  // shows the running result as it is, not rounded to a whole number
        s.op = s.pendingOp;
        return CalculatorEffect::None;
    }
    if (!s.cleared) {
        // The decimal point and count stay: the cleared entry keeps its picture.
        s.entry = 0;
        s.accumulator = 0;
        s.pendingOp.clear();
        s.cleared = true;
        return CalculatorEffect::None;
    }
    s.firstTapeLine = kEmptyTape;
    return CalculatorEffect::RedrawBox;
}

std::int16_t Column(std::int16_t column, int step) {
    int c = column + step;
    if (c < 1) c = kLastBoxColumn;
    if (c > kLastBoxColumn) c = 1;
    return static_cast<std::int16_t>(c);
}

const std::string kDigitPicture = "Z,ZZZ,ZZZ,ZZZ,ZZZ,ZZ9";

// On a console narrower than 80 columns the box goes round at the console's
// right edge as it does at column 55, so that it is always wholly saved.
std::int16_t ColumnOnConsole(std::int16_t column, bool movedRight, int columns) {
    const int last = std::min(kLastBoxColumn, columns - 25);  // the box spans column to column + 25
    if (column <= last) return column;
    return static_cast<std::int16_t>(movedRight ? 1 : last);
}

}  // namespace

CalculatorEffect ApplyCalculatorKey(CalculatorState& s, key::Code code) {
    s.error = false;
    if (code >= '0' && code <= '9') return TypeDigit(s, code - '0');
    switch (code) {
        case '.': return TypePoint(s);
        case key::Backspace: return Backspace(s);
        case '+': case '-': case '*': case '/': return Operation(s, static_cast<char>(code));
        case '%': return Percent(s);
        case 'R': return RoundToHundredths(s);
        case 'C': return Clear(s);
        case '=': case key::Enter: return s.entering ? Operation(s, '=') : CalculatorEffect::None;
        case 'T':
            s.entry = -s.entry;
            return CalculatorEffect::None;
        case key::Left: case key::CtrlLeft:
            s.column = Column(s.column, -1);
            return CalculatorEffect::MoveBox;
        case key::Right: case key::CtrlRight:
            s.column = Column(s.column, +1);
            return CalculatorEffect::MoveBox;
        case 'F': case key::AltF: return CalculatorEffect::Finish;
        case key::Esc: return CalculatorEffect::Cancel;
        default: return CalculatorEffect::None;
    }
}

std::string CalculatorResult(const CalculatorState& s) {
    int d = std::max<int>(s.decimals, 2);
    std::string text = Fixed(std::fabs(s.entering ? s.entry : s.accumulator), d);
    text.erase(text.find('.'), 1);
    text.erase(0, std::min(text.find_first_not_of('0'), text.size()));
    if (text.size() < static_cast<std::size_t>(d - 1)) text.insert(0, static_cast<std::size_t>(d - 1) - text.size(), '0');
    if (text.empty()) text = "0";
    std::size_t whole = text.size() - static_cast<std::size_t>(d) + 2;
    return d > 2 ? text.substr(0, whole) + "." + text.substr(whole) : text;
}

// The picture keeps its width of 22 whatever the decimals, so that tape lines
// never run over the box's edge.
std::string CalculatorMask(bool decimal, int decimals) {
    std::string tail = (decimal ? std::string(".") : std::string()) + std::string(static_cast<std::size_t>(std::clamp(decimals, 0, 14)), '9');
    std::size_t keep = std::max<std::size_t>(1, kDigitPicture.size() - std::min(tail.size(), kDigitPicture.size()));
    return "-" + kDigitPicture.substr(kDigitPicture.size() - keep) + tail;
}

std::string SerialiseCalculatorState(const CalculatorState& s) {
    auto flag = [](bool b) { return std::string(b ? "-1" : "0"); };
    auto quoted = [](const std::string& t) { return "\"" + t.substr(0, 1) + "\""; };
    std::string out;
    out += std::to_string(s.column) + "," + std::to_string(s.firstTapeLine) + "," + Shortest(s.entry) + "," +
           Shortest(s.accumulator) + "\r\n";
    out += flag(s.cleared) + "," + flag(s.entering) + "," + flag(s.decimal) + "," + std::to_string(s.decimals) + "\r\n";
    out += quoted(s.op) + "," + quoted(s.pendingOp) + "\r\n";
    for (const TapeLine& line : s.tape)
        out += Shortest(line.value) + "," + flag(line.decimal) + "," + std::to_string(line.decimals) + "," +
               quoted(line.op) + "\r\n";
    return out;
}

namespace {

double ValidValue(const std::string& field) {
    auto v = ParseNumber(field);
    return v && Representable(*v) ? *v : 0;
}

std::int16_t ValidInt(const std::string& field, int low, int high, int fallback) {
    auto v = ParseNumber(field);
    if (!v || *v != std::trunc(*v) || *v < low || *v > high) return static_cast<std::int16_t>(fallback);
    return static_cast<std::int16_t>(*v);
}

bool ValidFlag(const std::string& field) {
    auto v = ParseNumber(field);
    return v && *v != 0;
}

std::string ValidOp(const std::string& field, std::string_view allowed) {
    if (field.size() == 1 && allowed.find(field[0]) != std::string_view::npos) return field;
    return {};
}

}  // namespace

CalculatorState ParseCalculatorState(const std::string& text) {
    CalculatorState s;
    FieldReader reader(text);
    std::vector<std::string> f;
    while (!reader.AtEnd() && f.size() < 10 + 4 * kTapeLines) f.push_back(reader.ReadField());
    auto at = [&](std::size_t i) { return i < f.size() ? f[i] : std::string(); };
    if (f.size() >= 10) {
        s.column = ValidInt(at(0), 1, kLastBoxColumn, 1);
        s.firstTapeLine = ValidInt(at(1), 2, kEmptyTape, kEmptyTape);
        s.entry = ValidValue(at(2));
        s.accumulator = ValidValue(at(3));
        s.cleared = ValidFlag(at(4));
        s.entering = ValidFlag(at(5));
        s.decimal = ValidFlag(at(6));
        s.decimals = ValidInt(at(7), 0, kMaxDigits - 1, 0);
        s.op = ValidOp(at(8), "+-*/=%RC");
        s.pendingOp = ValidOp(at(9), "+-*/");
    }
    for (std::size_t line = 0; line < kTapeLines && 10 + 4 * line + 3 < f.size(); ++line) {
        std::size_t i = 10 + 4 * line;
        TapeLine& t = s.tape[line];
        t.value = ValidValue(at(i));
        t.decimal = ValidFlag(at(i + 1));
        t.decimals = ValidInt(at(i + 2), 0, kMaxDigits - 1, 0);
        t.op = ValidOp(at(i + 3), "+-*/=%R E");
    }
    return s;
}

Calculator::Calculator(Keyboard& keyboard, Windows& windows, Colours& colours, UserPreferences& prefs,
                       Platform& platform, std::string terminalDir)
    : keyboard_(keyboard), windows_(windows), colours_(colours), prefs_(prefs), platform_(platform),
      terminalDir_(std::move(terminalDir)) {}

// The terminal's folder may be shared: the state file is this user's own
// regular file or it is not used at all (no link is followed, nobody else's
// file read or replaced), and the calculator starts from a clear state.
CalculatorState Calculator::Load() {
    // The file is created empty when missing, so the state always has its place.
    auto file = platform_.Open(StatePath(), OpenMode::Private);
    if (!file) return CalculatorState {};
    return ParseCalculatorState(ReadWholeFile(*file, kSmallFileLimit).value_or(std::string()));
}

void Calculator::Save(const CalculatorState& state) {
    // Checked again: the file may have been changed for a link or another
    // user's file since. The write makes a new file, never following a link.
    if (!platform_.Open(StatePath(), OpenMode::Private)) return;
    WriteWholeFile(platform_, StatePath(), SerialiseCalculatorState(state));
}

std::string Calculator::FormatValue(double value, bool decimal, int decimals) {
    return FormatNumber(prefs_, CalculatorMask(decimal, decimals), value);
}

void Calculator::PrintAt(int row, int column, const std::string& text) {
    windows_.screen().Locate(row, column);
    windows_.screen().Print(text);
}

void Calculator::DrawBox(const CalculatorState& s) {
    const std::string line(24, static_cast<char>(0xC4));
    const std::string bar(1, static_cast<char>(0xB3));
    colours_.SetColour("n");
    bool hasTape = s.firstTapeLine <= kTapeLines;
    if (hasTape)
        PrintAt(s.firstTapeLine - 1, s.column, std::string(1, static_cast<char>(0xDA)) + line + static_cast<char>(0xBF));
    for (int k = s.firstTapeLine; k <= kTapeLines; ++k) {
        const TapeLine& t = s.tape[static_cast<std::size_t>(k - 1)];
        std::string value = t.op == "E" ? std::string(17, ' ') + "ERROR" : FormatValue(t.value, t.decimal, t.decimals);
        std::string op = t.op == "E" || t.op.empty() ? std::string(" ") : t.op;
        PrintAt(k, s.column, bar + value + " " + op + bar);
    }
    PrintAt(23, s.column,
            hasTape ? std::string(1, static_cast<char>(0xC3)) + line + static_cast<char>(0xB4)
                    : std::string(1, static_cast<char>(0xDA)) + line + static_cast<char>(0xBF));
    PrintAt(25, s.column, std::string(1, static_cast<char>(0xC0)) + line + static_cast<char>(0xD9));
    DrawEntry(s);
}

void Calculator::DrawEntry(const CalculatorState& s) {
    const std::string bar(1, static_cast<char>(0xB3));
    std::string value = s.error ? std::string(17, ' ') + "ERROR" : FormatValue(s.entry, s.decimal, s.decimals);
    colours_.SetColour("n");
    PrintAt(24, s.column, bar);
    colours_.SetColour("h");
    PrintAt(24, s.column + 1, value + "  ");
    colours_.SetColour("n");
    PrintAt(24, s.column + 25, bar);
}

std::string Calculator::CalculatorPopup() {
    CalculatorState s = Load();
    Console& console = windows_.screen().console();
    // Where the operator sees it: a terminal smaller than the program's
    // screen would hide the box and swallow the keys typed into it.
    int columns = console.VisibleColumns();
    if (s.column + 25 > columns) s.column = static_cast<std::int16_t>(std::max(1, columns - 25));
    if (!windows_.screen().ShowsWhole(kBoxRows, s.column + 25)) {
        keyboard_.RefusePopup("La calculadora", kBoxRows, kBoxColumns);  // draws nothing over a screen not saved
        return {};
    }
    PopupScope scope(keyboard_, colours_, console, "+e", "");
    windows_.PushScreenRegion(1, s.column, 25, s.column + 25);
    DrawBox(s);
    std::string result;
    for (bool open = true; open;) {
        DrawEntry(s);
        key::Code k = keyboard_.WaitKey();
        key::Code code = (k > 255 || k < -255) ? k : static_cast<key::Code>(UpperForCompare(static_cast<unsigned char>(k & 0xFF)));
        auto redrawBox = [&] {
            windows_.PopScreenRegion();
            windows_.PushScreenRegion(1, s.column, 25, s.column + 25);
            DrawBox(s);
        };
        switch (ApplyCalculatorKey(s, code)) {
            case CalculatorEffect::None: break;
            case CalculatorEffect::Refused:
                console.Beep();
                redrawBox();
                break;
            case CalculatorEffect::MoveBox:
                s.column = ColumnOnConsole(s.column, code == key::Right || code == key::CtrlRight, columns);
                redrawBox();
                break;
            case CalculatorEffect::RedrawBox: redrawBox(); break;
            case CalculatorEffect::Finish:
                result = CalculatorResult(s);
                open = false;
                break;
            case CalculatorEffect::Cancel: open = false; break;
        }
    }
    windows_.PopScreenRegion();
    s.error = false;
    Save(s);
    return result;
}

}  // namespace qp
