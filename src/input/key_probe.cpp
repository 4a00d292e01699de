#include "input/key_probe.h"

#include <algorithm>
#include <charconv>
#include <string_view>
#include <vector>

#include "screen/screen.h"

namespace qp {

namespace {

constexpr std::uint8_t kNormal = 0x07;
constexpr std::uint8_t kTitle = 0x70;
constexpr int kFirstListRow = 4;
// Wide enough for the longest name ("Right click col 200 row 50"); a name
// that does not fit still gets its two blanks before the event column.
constexpr std::size_t kNameWidth = 28;

std::string Hex(unsigned value, int digits) {
    char buf[16];
    auto end = std::to_chars(buf, buf + sizeof buf, value, 16).ptr;
    std::string text(buf, end);
    for (char& c : text)
        if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
    if (static_cast<int>(text.size()) < digits) text.insert(0, static_cast<std::size_t>(digits) - text.size(), '0');
    return text;
}

std::string Decimal(int value) {
    char buf[16];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, value).ptr);
}

std::string PadRight(std::string text, std::size_t width) {
    if (text.size() < width) text.append(width - text.size(), ' ');
    return text;
}

std::string PadLeft(std::string text, std::size_t width) {
    if (text.size() < width) text.insert(0, width - text.size(), ' ');
    return text;
}

// The letter on each key of the three letter rows, by scan code.
char AltLetter(unsigned scan) {
    static constexpr std::string_view kTop = "QWERTYUIOP", kMiddle = "ASDFGHJKL", kBottom = "ZXCVBNM";
    if (scan >= 0x10 && scan < 0x10 + kTop.size()) return kTop[scan - 0x10];
    if (scan >= 0x1E && scan < 0x1E + kMiddle.size()) return kMiddle[scan - 0x1E];
    if (scan >= 0x2C && scan < 0x2C + kBottom.size()) return kBottom[scan - 0x2C];
    return 0;
}

std::string FunctionKeyName(unsigned scan) {
    struct Range {
        unsigned first;
        const char* prefix;
    };
    static constexpr Range kRanges[] = {{0x3B, ""}, {0x54, "Shift+"}, {0x5E, "Ctrl+"}, {0x68, "Alt+"}};
    for (const Range& r : kRanges)
        if (scan >= r.first && scan < r.first + 10) return std::string(r.prefix) + "F" + Decimal(static_cast<int>(scan - r.first + 1));
    return {};
}

std::string ExtendedKeyName(unsigned scan) {
    switch (scan) {
    case 0x0F: return "Shift+Tab";
    case 0x47: return "Home";
    case 0x48: return "Up";
    case 0x49: return "PgUp";
    case 0x4B: return "Left";
    case 0x4C: return "Keypad 5";
    case 0x4D: return "Right";
    case 0x4F: return "End";
    case 0x50: return "Down";
    case 0x51: return "PgDn";
    case 0x52: return "Ins";
    case 0x53: return "Del";
    // Shift+F4 and Shift+F5 share their codes with F11 and F12.
    case 0x57: return "F11 or Shift+F4";
    case 0x58: return "F12 or Shift+F5";
    case 0x73: return "Ctrl+Left";
    case 0x74: return "Ctrl+Right";
    case 0x77: return "Ctrl+Home";
    case 0x2D: return "Alt+X (calculator)";
    case 0x2E: return "Alt+C (calendar)";
    default: break;
    }
    if (std::string name = FunctionKeyName(scan); !name.empty()) return name;
    if (char letter = AltLetter(scan)) return std::string("Alt+") + letter;
    return "scan " + Hex(scan, 2);
}

std::string CharacterName(unsigned ch) {
    switch (ch) {
    case 8: return "Backspace";
    case 9: return "Tab";
    case 13: return "Enter";
    case 27: return "Esc";
    case 32: return "Space";
    case 213: return "euro sign (Alt+E)";
    default: break;
    }
    if (ch >= 1 && ch <= 26) return std::string("Ctrl+") + static_cast<char>('A' + ch - 1);
    if ((ch > 32 && ch < 127) || (ch >= 128 && ch < 255)) return std::string("'") + static_cast<char>(ch) + "'";
    return "character " + Decimal(static_cast<int>(ch));
}

std::string EventText(const InputEvent& e) {
    std::string control = " ctl " + Hex(e.control, 4);
    if (e.kind == InputEvent::Kind::Mouse)
        return "mouse " + Decimal(e.column) + "," + Decimal(e.row) + " btn " + Decimal(e.button) + " act " +
               Decimal(e.action) + control;
    return "ch " + Hex(e.character, 2) + " sc " + Hex(e.scan, 2) + control;
}

std::string ClickName(const KeyRead& read) {
    return std::string(read.button == 2 ? "Right" : "Left") + " click col " + Decimal(read.column) + " row " +
           Decimal(read.row);
}

class KeyProbe {
public:
    KeyProbe(Console& console, Keyboard& keyboard) : console_(console), keyboard_(keyboard), screen_(console) {}

    int Run() {
        int cursor = console_.CursorSize();
        console_.SetCursorSize(0);
        DrawFrame();
        bool lastWasEsc = false;
        for (;;) {
            KeyRead read = keyboard_.ReadKeyEvent();
            if (read.key == 0 && read.button == 0) {
                keyboard_.WaitForInput();
                continue;
            }
            bool isEsc = read.button == 0 && read.key == key::Esc;
            if (isEsc && lastWasEsc) break;
            ShowRead(read);
            lastWasEsc = isEsc;
        }
        console_.SetCursorSize(cursor);
        console_.Flush();
        return 0;
    }

private:
    void PrintRow(int row, std::string_view text, std::uint8_t attr) {
        if (row < 1 || row > console_.Rows()) return;
        screen_.SetAttribute(attr);
        screen_.Locate(row, 1);
        std::string line(text.substr(0, static_cast<std::size_t>(std::max(console_.Columns(), 0))));
        screen_.Print(PadRight(std::move(line), static_cast<std::size_t>(std::max(console_.Columns(), 0))));
    }

    void DrawFrame() {
        for (int row = 1; row <= console_.Rows(); ++row) PrintRow(row, "", kNormal);
        PrintRow(1, " qplayout: key probe", kTitle);
        PrintRow(2, " Press keys to see their codes. Esc twice in a row ends.", kNormal);
        PrintRow(3, " Hex  Decimal  " + PadRight("Key", kNameWidth) + "Console event", kNormal);
        nextRow_ = kFirstListRow;
        console_.Flush();
    }

    void ShowRead(const KeyRead& read) {
        key::Code code = read.button != 0 ? Keyboard::ClickCode(read.column, read.button, read.row) : read.key;
        std::string name = read.button != 0 ? ClickName(read) : KeyCodeName(code);
        std::string head = " " + Hex(static_cast<std::uint16_t>(code), 4) + PadLeft(Decimal(code), 8) + "  " +
                           PadRight(name + "  ", kNameWidth);
        for (const std::string& line : EventLines(head, keyboard_.EventsOfLastRead())) ShowLine(line);
        console_.Flush();
    }

    // Every console event the read took, oldest first, one per line (a
    // composed Alt+keypad character shows each of its key strokes); the
    // lines after the first are indented to the event column.
    static std::vector<std::string> EventLines(const std::string& head, const std::vector<InputEvent>& events) {
        if (events.empty()) return {head + "(typed by a pop-up)"};
        std::vector<std::string> lines;
        for (const InputEvent& e : events)
            lines.push_back((lines.empty() ? head : std::string(head.size(), ' ')) + EventText(e));
        return lines;
    }

    void ShowLine(const std::string& line) {
        int bottom = console_.Rows();
        if (bottom < kFirstListRow) return;
        if (nextRow_ > bottom) {
            console_.Scroll(kFirstListRow, 1, bottom, console_.Columns(), 1, Cell {U' ', kNormal});
            nextRow_ = bottom;
        }
        PrintRow(nextRow_++, line, kNormal);
    }

    Console& console_;
    Keyboard& keyboard_;
    Screen screen_;
    int nextRow_ = kFirstListRow;
};

}  // namespace

std::string KeyCodeName(key::Code code) {
    auto bits = static_cast<std::uint16_t>(code);
    if (bits == 0) return "none";
    if (bits <= 0xFF) return CharacterName(bits);
    if ((bits & 0xFF) == 0) return ExtendedKeyName(bits >> 8);
    return "code " + Decimal(code);
}

int RunKeyProbe(Console& console, Keyboard& keyboard) { return KeyProbe(console, keyboard).Run(); }

}  // namespace qp
