#include "screen/terminal_decoder.h"

#include <cstdint>
#include <optional>
#include <vector>

#include "screen/key_names.h"
#include "text/cp850.h"

namespace qp {

namespace {

constexpr unsigned char kEsc = 0x1B;
// Longer than any key or mouse report; a longer run is garbage to be dropped.
constexpr std::size_t kMaxSequence = 32;
// Pasted text beyond this is dropped (never typed as keys).
constexpr std::size_t kMaxPaste = 1u << 20;
constexpr std::string_view kPasteEnd = "\x1b[201~";

enum class Status { Incomplete, Done };

// The outcome of decoding the front of the buffer: how many bytes it used and
// the event they make, if any (unknown sequences are used up with no event).
struct Step {
    Status status = Status::Done;
    std::size_t used = 0;
    std::optional<DecodedEvent> decoded;
    bool startsPaste = false;
};

Step Incomplete() { return Step {Status::Incomplete, 0, std::nullopt, false}; }
Step Dropped(std::size_t used) { return Step {Status::Done, used, std::nullopt, false}; }

Step Made(std::size_t used, const InputEvent& event) {
    DecodedEvent d;
    d.event = event;
    return Step {Status::Done, used, d, false};
}

InputEvent KeyEvent(unsigned char character, std::uint8_t scanCode, std::uint16_t control) {
    InputEvent e;
    e.kind = InputEvent::Kind::Key;
    e.character = character;
    e.scan = scanCode;
    e.control = control;
    return e;
}

// A terminal sends the keypad's keys as it sends the cursor block's (with Num
// Lock off they are the same sequences), so none of them can start Alt+keypad
// composition: Alt+Down is Down, and the key after it is never swallowed.
bool IsCursorBlockKey(std::uint8_t scanCode) { return scanCode >= scan::Home && scanCode <= scan::Del; }

InputEvent ExtendedKey(std::uint8_t scanCode, std::uint16_t control) {
    if (IsCursorBlockKey(scanCode)) control |= kEnhanced;
    return KeyEvent(0, scanCode, control);
}

bool IsShiftedCharacter(unsigned char ch) {
    constexpr std::string_view shifted = "~!@#$%^&*()_+{}|:\"<>?";
    return (ch >= 'A' && ch <= 'Z') || shifted.find(static_cast<char>(ch)) != std::string_view::npos;
}

// One ASCII byte as the key that types it on a PC keyboard.
InputEvent KeyFromAscii(unsigned char b) {
    switch (b) {
    case 0: return KeyEvent(' ', scan::Space, kLeftCtrl);  // Ctrl+Space
    case 8:
    case 127: return KeyEvent(8, scan::Backspace, 0);
    case 9: return KeyEvent(9, scan::Tab, 0);
    case 13: return KeyEvent(13, scan::Enter, 0);
    case kEsc: return KeyEvent(kEsc, scan::Esc, 0);
    case 28: return KeyEvent(b, ScanCodeForCharacter('\\'), kLeftCtrl);
    case 29: return KeyEvent(b, ScanCodeForCharacter(']'), kLeftCtrl);
    case 30: return KeyEvent(b, ScanCodeForCharacter('6'), kLeftCtrl | kShift);
    case 31: return KeyEvent(b, ScanCodeForCharacter('-'), kLeftCtrl | kShift);
    default: break;
    }
    if (b < 32) return KeyEvent(b, ScanCodeForCharacter(b), kLeftCtrl);  // Ctrl+letter
    return KeyEvent(b, ScanCodeForCharacter(b), IsShiftedCharacter(b) ? kShift : 0);
}

InputEvent KeyFromUnicode(char32_t cp) {
    unsigned char byte = UnicodeToCp850(cp, 0);
    return KeyEvent(byte, 0, 0);
}

std::size_t Utf8Length(unsigned char lead) {
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    if ((lead & 0xF8) == 0xF0) return 4;
    return 0;
}

// A character of two or more bytes. A byte that starts no valid UTF-8 character
// is read as Latin-1, which is what a terminal not set to UTF-8 sends.
Step DecodeUtf8(std::string_view buf, std::size_t at, bool timedOut) {
    auto lead = static_cast<unsigned char>(buf[at]);
    std::size_t length = Utf8Length(lead);
    char32_t cp = lead & (0x7F >> length);
    std::size_t k = 1;
    for (; length && k < length && at + k < buf.size(); ++k) {
        auto c = static_cast<unsigned char>(buf[at + k]);
        if ((c & 0xC0) != 0x80) break;
        cp = (cp << 6) | (c & 0x3F);
    }
    // An overlong form (C1 A9 for "i") is no character: it would type a key never sent.
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (length && k == length && cp >= kSmallest[length]) {
        InputEvent e = KeyFromUnicode(cp);
        return e.character ? Made(at + length, e) : Dropped(at + length);
    }
    if (length && k < length && at + k == buf.size() && !timedOut) return Incomplete();
    InputEvent e = KeyFromUnicode(lead);
    return e.character ? Made(at + 1, e) : Dropped(at + 1);
}

// The key at `at` (a byte or a UTF-8 character), not an escape sequence.
Step DecodePlain(std::string_view buf, std::size_t at, bool timedOut) {
    auto b = static_cast<unsigned char>(buf[at]);
    if (b < 0x80) return Made(at + 1, KeyFromAscii(b));
    return DecodeUtf8(buf, at, timedOut);
}

// The xterm modifier parameter: 1 + (1 shift, 2 alt, 4 ctrl, 8 meta).
std::uint16_t ModifierState(int parameter) {
    if (parameter < 2) return 0;
    int bits = parameter - 1;
    std::uint16_t control = 0;
    if (bits & 1) control |= kShift;
    if (bits & (2 | 8)) control |= kLeftAlt;
    if (bits & 4) control |= kLeftCtrl;
    return control;
}

std::vector<int> Parameters(std::string_view text) {
    std::vector<int> out(1, 0);
    for (char c : text) {
        if (c == ';') {
            out.push_back(0);
        } else if (c >= '0' && c <= '9') {
            int& v = out.back();
            if (v < 100000) v = v * 10 + (c - '0');
        }
    }
    return out;
}

std::optional<std::uint8_t> FunctionKeyScan(int n) {
    if (n >= 1 && n <= 10) return static_cast<std::uint8_t>(scan::F1 + n - 1);
    if (n == 11) return scan::F11;
    if (n == 12) return scan::F12;
    return std::nullopt;
}

// Keys that end in a letter: CSI A, CSI 1;5D, SS3 P ...
std::optional<InputEvent> LetterKey(char final, std::uint16_t control) {
    switch (final) {
    case 'A': return ExtendedKey(scan::Up, control);
    case 'B': return ExtendedKey(scan::Down, control);
    case 'C': return ExtendedKey(scan::Right, control);
    case 'D': return ExtendedKey(scan::Left, control);
    case 'H': return ExtendedKey(scan::Home, control);
    case 'F': return ExtendedKey(scan::End, control);
    case 'E':
    case 'G': return ExtendedKey(scan::Keypad5, control);
    case 'P':
    case 'Q':
    case 'R':
    case 'S': return ExtendedKey(static_cast<std::uint8_t>(scan::F1 + (final - 'P')), control);
    case 'Z': return ExtendedKey(scan::Tab, static_cast<std::uint16_t>(control | kShift));  // back-tab
    // rxvt: Shift+arrows as CSI a..d, Ctrl+arrows as SS3 a..d.
    case 'a': return ExtendedKey(scan::Up, control);
    case 'b': return ExtendedKey(scan::Down, control);
    case 'c': return ExtendedKey(scan::Right, control);
    case 'd': return ExtendedKey(scan::Left, control);
    default: return std::nullopt;
    }
}

// CSI <n> ~ keys of xterm, rxvt and the Linux console.
std::optional<InputEvent> TildeKey(int n, std::uint16_t control) {
    auto shiftedF = [&](int f) {
        return ExtendedKey(*FunctionKeyScan(f), static_cast<std::uint16_t>(control | kShift));
    };
    switch (n) {
    case 1:
    case 7: return ExtendedKey(scan::Home, control);
    case 2: return ExtendedKey(scan::Ins, control);
    case 3: return ExtendedKey(scan::Del, control);
    case 4:
    case 8: return ExtendedKey(scan::End, control);
    case 5: return ExtendedKey(scan::PgUp, control);
    case 6: return ExtendedKey(scan::PgDn, control);
    case 23: return ExtendedKey(scan::F11, control);
    case 24: return ExtendedKey(scan::F12, control);
    // rxvt and the Linux console send Shift+F3..F10 as the codes after F12.
    case 25: return shiftedF(3);
    case 26: return shiftedF(4);
    case 28: return shiftedF(5);
    case 29: return shiftedF(6);
    case 31: return shiftedF(7);
    case 32: return shiftedF(8);
    case 33: return shiftedF(9);
    case 34: return shiftedF(10);
    default: break;
    }
    if (n >= 11 && n <= 15) return ExtendedKey(*FunctionKeyScan(n - 10), control);
    if (n >= 17 && n <= 21) return ExtendedKey(*FunctionKeyScan(n - 11), control);
    return std::nullopt;
}

// Pasted UTF-8 as clipboard text: code page 850, every line break CR LF, and no
// control characters, so a paste can never smuggle a key sequence in.
std::string PastedText(std::string_view utf8) {
    std::string clean;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        auto c = static_cast<unsigned char>(utf8[i]);
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') ++i;
            clean += "\r\n";
        } else if (c >= 0x20 && c != 0x7F) {
            clean.push_back(static_cast<char>(c));
        } else if (c == '\t') {
            clean.push_back('\t');
        }
    }
    return Utf8ToCp850(clean);
}

// SGR mouse report: CSI < button ; column ; row M (press) or m (release).
Step MouseReport(std::size_t used, std::string_view params, char final) {
    std::vector<int> p = Parameters(params);
    if (p.size() < 3) return Dropped(used);
    int code = p[0];
    if (code & 64) return Dropped(used);  // wheel
    std::uint16_t control = 0;
    if (code & 4) control |= kShift;
    if (code & 8) control |= kLeftAlt;
    if (code & 16) control |= kLeftCtrl;
    int pressed = code & 3;
    int button = pressed == 0 ? 1 : pressed == 2 ? 2 : 0;
    bool motion = (code & 32) != 0;
    InputEvent e;
    e.kind = InputEvent::Kind::Mouse;
    e.column = p[1];
    e.row = p[2];
    e.control = control;
    if (motion) {
        e.action = 1;
        e.button = button;
        return Made(used, e);
    }
    // A press alone delivers nothing: the console reports a click on release.
    if (final == 'M' || button == 0) return Dropped(used);
    e.action = 8;
    e.button = button;
    return Made(used, e);
}

// After "ESC [": parameters, then one final byte. `at` indexes the byte after '['.
Step DecodeCsi(std::string_view buf, std::size_t at, bool timedOut) {
    if (at < buf.size() && buf[at] == '[') {  // Linux console F1-F5: ESC [ [ A..E
        if (at + 1 >= buf.size()) return Incomplete();
        char f = buf[at + 1];
        if (f >= 'A' && f <= 'E') return Made(at + 2, ExtendedKey(static_cast<std::uint8_t>(scan::F1 + (f - 'A')), 0));
        return Dropped(at + 2);
    }
    std::size_t i = at;
    while (i < buf.size()) {
        auto c = static_cast<unsigned char>(buf[i]);
        if (c < 0x20 || c > 0x7E) return Dropped(i);  // broken off by another key
        // '$' ends a key in rxvt (Shift); otherwise 0x20-0x3F continue the sequence.
        if (c >= 0x40 || c == '$') break;
        if (i - at > kMaxSequence) return Dropped(i);
        ++i;
    }
    if (i >= buf.size()) return timedOut ? Dropped(buf.size()) : Incomplete();
    char final = buf[i];
    std::size_t used = i + 1;
    std::string_view params = buf.substr(at, i - at);
    if (!params.empty() && params[0] == '<') return MouseReport(used, params.substr(1), final);
    if (!params.empty() && (params[0] < '0' || params[0] > ';')) return Dropped(used);  // private replies
    std::vector<int> p = Parameters(params);
    if (final == '~' && p[0] == 200) return Step {Status::Done, used, std::nullopt, true};
    std::uint16_t control = ModifierState(p.size() > 1 ? p[1] : 0);
    std::optional<InputEvent> key;
    switch (final) {
    case '~': key = TildeKey(p[0], control); break;
    case '$': key = TildeKey(p[0], static_cast<std::uint16_t>(control | kShift)); break;
    case '^': key = TildeKey(p[0], static_cast<std::uint16_t>(control | kLeftCtrl)); break;
    case '@': key = TildeKey(p[0], static_cast<std::uint16_t>(control | kLeftCtrl | kShift)); break;
    case 'a':
    case 'b':
    case 'c':
    case 'd': key = LetterKey(final, static_cast<std::uint16_t>(control | kShift)); break;
    default: key = LetterKey(final, control); break;
    }
    return key ? Made(used, *key) : Dropped(used);
}

// The application-keypad characters of SS3 j..y.
std::optional<InputEvent> KeypadCharacter(char final) {
    constexpr std::string_view finals = "jklmnopqrstuvwxy";
    constexpr std::string_view typed = "*+,-./0123456789";
    std::size_t k = finals.find(final);
    if (k == std::string_view::npos) return std::nullopt;
    return KeyFromAscii(static_cast<unsigned char>(typed[k]));
}

// After "ESC O": an optional modifier digit, then the key's letter.
Step DecodeSs3(std::string_view buf, std::size_t at, bool timedOut) {
    std::size_t i = at;
    while (i < buf.size() && ((buf[i] >= '0' && buf[i] <= '9') || buf[i] == ';') && i - at < kMaxSequence) ++i;
    if (i >= buf.size()) return timedOut ? Dropped(buf.size()) : Incomplete();
    char final = buf[i];
    std::vector<int> p = Parameters(buf.substr(at, i - at));
    std::uint16_t control = ModifierState(p.back());
    std::optional<InputEvent> key;
    if (final == 'M') {
        key = KeyEvent(13, scan::Enter, control);
    } else if (final >= 'a' && final <= 'd') {
        key = LetterKey(final, static_cast<std::uint16_t>(control | kLeftCtrl));
    } else if (auto keypad = KeypadCharacter(final)) {
        key = keypad;
    } else {
        key = LetterKey(final, control);
    }
    return key ? Made(i + 1, *key) : Dropped(i + 1);
}

Step WithAlt(Step step) {
    if (step.decoded) step.decoded->event.control |= kLeftAlt;
    return step;
}

// At an ESC: a terminal sequence, Alt plus a key, or the Esc key itself.
Step DecodeEscape(std::string_view buf, bool timedOut) {
    if (buf.size() < 2) return timedOut ? Made(1, KeyFromAscii(kEsc)) : Incomplete();
    char next = buf[1];
    if (next == '[' || next == 'O') {
        if (buf.size() == 2) {
            return timedOut ? Made(2, KeyEvent(static_cast<unsigned char>(next), ScanCodeForCharacter(static_cast<unsigned char>(next)),
                                               static_cast<std::uint16_t>(kLeftAlt | (next == 'O' ? kShift : 0))))
                            : Incomplete();
        }
        return next == '[' ? DecodeCsi(buf, 2, timedOut) : DecodeSs3(buf, 2, timedOut);
    }
    if (next == static_cast<char>(kEsc)) {
        // rxvt sends Alt+arrow as ESC before the arrow's sequence; otherwise the
        // first ESC is an Esc of its own.
        if (buf.size() == 2) return timedOut ? Made(1, KeyFromAscii(kEsc)) : Incomplete();
        if (buf[2] == '[' || buf[2] == 'O') {
            Step inner = DecodeEscape(buf.substr(1), timedOut);
            if (inner.status == Status::Incomplete) return inner;
            inner.used += 1;
            return WithAlt(inner);
        }
        return Made(1, KeyFromAscii(kEsc));
    }
    return WithAlt(DecodePlain(buf, 1, timedOut));
}

Step DecodeFront(std::string_view buf, bool timedOut) {
    if (static_cast<unsigned char>(buf[0]) == kEsc) return DecodeEscape(buf, timedOut);
    return DecodePlain(buf, 0, timedOut);
}

}  // namespace

void TerminalDecoder::Feed(std::string_view bytes) {
    buffer_.append(bytes);
    Decode(false);
}

void TerminalDecoder::TimePassed(int milliseconds) {
    if (milliseconds >= kLoneEscMilliseconds) Decode(true);
}

bool TerminalDecoder::Next(DecodedEvent& out) {
    if (events_.empty()) return false;
    out = std::move(events_.front());
    events_.pop_front();
    return true;
}

void TerminalDecoder::Decode(bool timedOut) {
    std::size_t pos = 0;
    while (pos < buffer_.size()) {
        if (inPaste_) {
            if (!TakePastedBytes(pos)) break;
            continue;
        }
        Step step = DecodeFront(std::string_view(buffer_).substr(pos), timedOut);
        if (step.status == Status::Incomplete) break;
        if (step.decoded) events_.push_back(std::move(*step.decoded));
        inPaste_ = step.startsPaste;
        pos += step.used;
    }
    buffer_.erase(0, pos);
}

// Moves pasted bytes from the buffer at `pos` into the paste; true when its end
// marker was found and the paste delivered. A paste may take many reads: only
// the new bytes are searched, and a marker split between reads is kept whole.
bool TerminalDecoder::TakePastedBytes(std::size_t& pos) {
    std::string_view rest = std::string_view(buffer_).substr(pos);
    std::size_t end = rest.find(kPasteEnd);
    std::size_t taken = end != std::string_view::npos ? end
                        : rest.size() >= kPasteEnd.size() ? rest.size() - (kPasteEnd.size() - 1)
                                                          : 0;
    std::size_t room = kMaxPaste - std::min(kMaxPaste, paste_.size());
    paste_.append(rest.substr(0, std::min(taken, room)));
    if (end == std::string_view::npos) {
        pos += taken;
        return false;
    }
    DecodedEvent d;
    d.event = KeyEvent(22, ScanCodeForCharacter('v'), kLeftCtrl);
    d.paste = true;
    d.pasted = PastedText(paste_);
    events_.push_back(std::move(d));
    paste_.clear();
    inPaste_ = false;
    pos += end + kPasteEnd.size();
    return true;
}

}  // namespace qp
