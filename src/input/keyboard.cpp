#include "input/keyboard.h"

#include <algorithm>

#include "text/cp850.h"

namespace qp {

namespace {

constexpr std::uint16_t kAnyAlt = kLeftAlt | kRightAlt;
constexpr std::uint16_t kAnyCtrl = kLeftCtrl | kRightCtrl;
// Enough for any real history of a read; guards against a flood of events.
constexpr std::size_t kMaxRecordedEvents = 64;

key::Code Extended(std::uint8_t scan) { return static_cast<key::Code>(scan * 256); }

// The letter rows of a PC keyboard: with Alt these keys are commands, not characters.
bool IsLetterRowScan(std::uint8_t scan) {
    return (scan >= 0x10 && scan <= 0x19) || (scan >= 0x1E && scan <= 0x26) || (scan >= 0x2C && scan <= 0x32);
}

// Ctrl, both Shifts, Alt, Caps Lock, Num Lock, Scroll Lock pressed on their own.
bool IsModifierOnlyScan(std::uint8_t scan) {
    switch (scan) {
    case 0x1D: case 0x2A: case 0x36: case 0x38: case 0x3A: case 0x45: case 0x46: return true;
    default: return false;
    }
}

// The digit a keypad key types while Alt is held, or -1 for any other code.
int KeypadDigit(key::Code code) {
    static constexpr key::Code kDigitKeys[] = {key::Ins,  key::End,   key::Down, key::PgDn, key::Left,
                                               key::Keypad5, key::Right, key::Home, key::Up,   key::PgUp};
    for (int d = 0; d < 10; ++d)
        if (kDigitKeys[d] == code) return d;
    return -1;
}

bool IsF1ToF10(key::Code code) { return code >= key::F1 && code <= key::F10 && (code & 0xFF) == 0; }

key::Code Plus(key::Code code, int offset) { return static_cast<key::Code>(code + offset); }

bool IsHexDigit(unsigned char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

// A hexadecimal code of an exit-key list: blanks around it are allowed, an
// empty text is 0, reading stops at the first character that is no hex digit.
key::Code ParseHexCode(std::string_view text) {
    unsigned value = 0;
    for (char raw : TrimBlanks(text)) {
        unsigned char c = UpperForCompare(static_cast<unsigned char>(raw));
        if (!IsHexDigit(c)) break;
        unsigned digit = c <= '9' ? static_cast<unsigned>(c - '0') : static_cast<unsigned>(c - 'A' + 10);
        value = ((value << 4) | digit) & 0xFFFFu;
    }
    return static_cast<key::Code>(static_cast<std::uint16_t>(value));
}

struct ExitKeyItem {
    key::Code code;
    key::Code result;
};

// Items end at "," or at the end of the list; a trailing "," opens no item.
std::vector<ExitKeyItem> ParseExitKeyList(std::string_view list) {
    std::vector<ExitKeyItem> items;
    std::size_t pos = 0;
    while (pos < list.size()) {
        std::size_t comma = list.find(',', pos);
        std::size_t end = comma == std::string_view::npos ? list.size() : comma;
        std::string_view item = list.substr(pos, end - pos);
        std::size_t eq = item.find('=');
        key::Code code = ParseHexCode(item.substr(0, eq));
        key::Code result = eq == std::string_view::npos ? code : ParseHexCode(item.substr(eq + 1));
        items.push_back({code, result});
        pos = end + 1;
    }
    return items;
}

// Clears a hot-key flag even when the pop-up leaves by an exception.
class OpenFlag {
public:
    explicit OpenFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~OpenFlag() { flag_ = false; }
    OpenFlag(const OpenFlag&) = delete;
    OpenFlag& operator=(const OpenFlag&) = delete;

private:
    bool& flag_;
};

}  // namespace

key::Code Keyboard::ClickCode(int column, int button, int row) {
    return static_cast<key::Code>(static_cast<std::uint16_t>(column * 256 + button * 64 + row));
}

void Keyboard::ProbeMouse() { mouseState_ = console_.MouseButtons() == 0 ? 3 : 2; }

Keyboard::Taken Keyboard::TakeEvent() {
    InputEvent e;
    while (console_.PollEvent(e)) {
        if (lastEvents_.size() < kMaxRecordedEvents) lastEvents_.push_back(e);
        Taken t;
        t.control = e.control;
        t.event = e;
        if (e.kind == InputEvent::Kind::Mouse) {
            if (mouseState_ != 1) continue;
            bool release = e.action == 8 && (e.button == 1 || e.button == 2);
            if (!release && e.action != 1) continue;
            mouseColumn_ = e.column;
            mouseRow_ = e.row;
            t.kind = Taken::Kind::Mouse;
            return t;
        }
        if (e.character != 0) {
            bool altLetter = (e.control & kAnyAlt) && IsLetterRowScan(e.scan);
            t.code = altLetter ? Extended(e.scan) : static_cast<key::Code>(e.character);
        } else {
            if (e.scan == 0 || IsModifierOnlyScan(e.scan)) continue;
            t.code = Extended(e.scan);
        }
        t.kind = Taken::Kind::Key;
        return t;
    }
    return {};
}

// Left Alt held over keypad digits types the character of that decimal
// number. The modifier state is the last event's, so releasing Alt alone
// keeps the loop polling; the next key pressed without Alt ends it and is
// swallowed when digits were typed.
Keyboard::Taken Keyboard::ComposeAltKeypad(Taken first) {
    if (first.kind == Taken::Kind::Nothing || !(first.control & kLeftAlt)) return first;
    Taken latest = first;
    bool anyDigit = false;
    unsigned value = 0;  // kept MOD 256 as it grows, so long digit strings cannot overflow
    while (latest.control & kLeftAlt) {
        // The cursor block's keys share their codes with the keypad's but type no digits.
        int digit = (latest.control & kEnhanced) ? -1 : KeypadDigit(latest.code);
        if (digit >= 0) {
            anyDigit = true;
            value = (value * 10 + static_cast<unsigned>(digit)) % 256;
        } else if (latest.code != 0) {
            break;
        }
        Taken next = TakeEvent();
        if (next.kind == Taken::Kind::Nothing) {
            next.control = latest.control;
            console_.WaitForInput();
        }
        latest = next;
    }
    if (!anyDigit) return latest;
    Taken composed;
    composed.kind = value == 0 ? Taken::Kind::Nothing : Taken::Kind::Key;
    composed.code = static_cast<key::Code>(value);
    return composed;
}

key::Code Keyboard::ApplyModifiers(key::Code code, std::uint16_t control) {
    if (code == key::AltE) return key::Euro;
    if (control & kAnyAlt) return IsF1ToF10(code) ? Plus(code, 0x2D00) : code;
    if (control & kAnyCtrl) {
        if (IsF1ToF10(code)) return Plus(code, 0x2300);
        if (code == key::Home) return key::CtrlHome;
        if (code == key::Right) return key::CtrlRight;
        if (code == key::Left) return key::CtrlLeft;
        return code;
    }
    if (control & kShift) return IsF1ToF10(code) ? Plus(code, 0x1900) : code;
    return code;
}

void Keyboard::RunHotKey(key::Code code) {
    auto hot = hotKeys_.find(code);
    // Not inside itself: Alt+X typed in the calculator is no second calculator.
    if (hot == hotKeys_.end() || !hot->second.handler || hot->second.open) return;
    OpenFlag open(hot->second.open);
    pendingKeys_ = hot->second.handler();
}

void Keyboard::ReportRefusal(const Refusal& refusal) {
    refusalPending_ = true;
    if (refusalListener_ != nullptr) refusalListener_->Refused(refusal);
}

void Keyboard::RefusePopup(const std::string& name, int rows, int columns) {
    console_.Beep();
    Refusal refusal(Refusal::Kind::PopupTooLarge);
    refusal.text = name;
    refusal.rows = rows;
    refusal.columns = columns;
    ReportRefusal(refusal);
}

// Before the key is acted on: a hot key's pop-up may itself be refused.
void Keyboard::NoteKeyRead() {
    if (!refusalPending_) return;
    refusalPending_ = false;
    if (refusalListener_ != nullptr) refusalListener_->KeyAfterRefusal();
}

KeyRead Keyboard::ReadKeyEvent() {
    lastEvents_.clear();
    KeyRead read;
    if (!pendingKeys_.empty()) {
        read.key = static_cast<key::Code>(static_cast<unsigned char>(pendingKeys_.front()));
        pendingKeys_.erase(0, 1);
        NoteKeyRead();
        return read;
    }
    if (mouseState_ == 0) ProbeMouse();
    if (mouseState_ == 2) {
        console_.SetMouseReporting(true);
        mouseState_ = 1;
    }
    Taken taken = ComposeAltKeypad(TakeEvent());
    if (taken.kind == Taken::Kind::Key) read.key = ApplyModifiers(taken.code, taken.control);
    if (mouseState_ == 1) {
        read.column = static_cast<std::int16_t>(mouseColumn_);
        read.row = static_cast<std::int16_t>(mouseRow_);
        if (taken.kind == Taken::Kind::Mouse && taken.event.action == 8)
            read.button = static_cast<std::int16_t>(taken.event.button);
    }
    if (read.key != 0 || read.button != 0) NoteKeyRead();
    RunHotKey(read.key);
    // Reporting stays on only while the program polls; the next read turns it on again.
    if (mouseState_ == 1 && (read.key != 0 || read.button != 0)) {
        console_.SetMouseReporting(false);
        mouseState_ = 2;
    }
    return read;
}

key::Code Keyboard::WaitKey() {
    for (;;) {
        KeyRead read = ReadKeyEvent();
        key::Code code = read.button != 0 ? ClickCode(read.column, read.button, read.row) : read.key;
        if (code != 0) return code;
        WaitForInput();
    }
}

void Keyboard::WaitForInput() {
    if (pendingKeys_.empty()) console_.WaitForInput();
}

void Keyboard::FlushKeyboard() { console_.FlushInput(); }

void Keyboard::SetHotKeyHandlers(std::function<std::string()> calculator, std::function<std::string()> calendar) {
    AddHotKey(key::AltX, std::move(calculator));
    AddHotKey(key::AltC, std::move(calendar));
}

void Keyboard::AddHotKey(key::Code code, std::function<std::string()> handler) {
    hotKeys_[code].handler = std::move(handler);
}

void Keyboard::AppendExitKeys(std::string_view list) {
    for (const ExitKeyItem& item : ParseExitKeyList(list)) {
        exitKeys_.push_back(item.code);
        exitKeyResults_.push_back(item.result);
    }
}

void Keyboard::RemoveExitKeys(std::string_view list) {
    for (const ExitKeyItem& item : ParseExitKeyList(list)) {
        auto at = std::find(exitKeys_.begin(), exitKeys_.end(), item.code);
        if (at == exitKeys_.end()) continue;
        auto index = at - exitKeys_.begin();
        exitKeys_.erase(at);
        exitKeyResults_.erase(exitKeyResults_.begin() + index);
    }
}

void Keyboard::SetExitKeys(std::string_view commands, std::string_view list) {
    for (char raw : commands) {
        switch (UpperForCompare(static_cast<unsigned char>(raw))) {
        case '+':
            if (saved_.size() < kMaxSavedSets) saved_.push_back({exitKeys_, exitKeyResults_});
            break;
        case '-':
            if (!saved_.empty()) {
                exitKeys_ = std::move(saved_.back().keys);
                exitKeyResults_ = std::move(saved_.back().results);
                saved_.pop_back();
            }
            break;
        case 'E':
            exitKeys_.clear();
            exitKeyResults_.clear();
            break;
        case 'A': AppendExitKeys(list); break;
        case 'D': RemoveExitKeys(list); break;
        case 'H': fieldMask_ = 'X'; break;
        case 'V': fieldMask_ = 0; break;
        default: break;
        }
    }
}

std::optional<key::Code> Keyboard::ExitKeyResult(key::Code code) const {
    auto at = std::find(exitKeys_.begin(), exitKeys_.end(), code);
    if (at == exitKeys_.end()) return std::nullopt;
    return exitKeyResults_[static_cast<std::size_t>(at - exitKeys_.begin())];
}

}  // namespace qp
