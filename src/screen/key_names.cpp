#include "screen/key_names.h"

#include <array>
#include <cstring>

namespace qp {

std::uint8_t ScanCodeForCharacter(unsigned char ch) {
    static const std::array<std::uint8_t, 128> table = [] {
        std::array<std::uint8_t, 128> t {};
        const char* rows[] = {"1234567890-=", "qwertyuiop[]", "asdfghjkl;'`", "\\zxcvbnm,./"};
        const char* shifted[] = {"!@#$%^&*()_+", "QWERTYUIOP{}", "ASDFGHJKL:\"~", "|ZXCVBNM<>?"};
        const std::uint8_t first[] = {0x02, 0x10, 0x1E, 0x2B};
        for (int r = 0; r < 4; ++r) {
            for (std::size_t i = 0; rows[r][i]; ++i) {
                t[static_cast<unsigned char>(rows[r][i])] = static_cast<std::uint8_t>(first[r] + i);
                t[static_cast<unsigned char>(shifted[r][i])] = static_cast<std::uint8_t>(first[r] + i);
            }
        }
        t[' '] = scan::Space;
        t['\r'] = scan::Enter;
        t['\t'] = scan::Tab;
        t[8] = scan::Backspace;
        t[27] = scan::Esc;
        // Ctrl+letter gives the letter's key.
        for (int c = 1; c <= 26; ++c)
            if (c != 8 && c != 9 && c != 13) t[static_cast<std::size_t>(c)] = t[static_cast<std::size_t>('a' + c - 1)];
        return t;
    }();
    return ch < 128 ? table[ch] : 0;
}

namespace {

struct Named {
    const char* name;
    unsigned char character;
    std::uint8_t scan;
};

constexpr Named kNamed[] = {
    {"Enter", 13, scan::Enter},     {"Esc", 27, scan::Esc},        {"Tab", 9, scan::Tab},
    {"Backspace", 8, scan::Backspace}, {"Space", ' ', scan::Space}, {"Up", 0, scan::Up},
    {"Down", 0, scan::Down},        {"Left", 0, scan::Left},       {"Right", 0, scan::Right},
    {"Home", 0, scan::Home},        {"End", 0, scan::End},         {"PgUp", 0, scan::PgUp},
    {"PgDn", 0, scan::PgDn},        {"Ins", 0, scan::Ins},         {"Del", 0, scan::Del},
    {"Keypad5", 0, scan::Keypad5},  {"F11", 0, scan::F11},         {"F12", 0, scan::F12},
};

bool StartsWith(std::string_view s, std::string_view p) { return s.substr(0, p.size()) == p; }

}  // namespace

std::optional<InputEvent> KeyEventFromName(std::string_view name) {
    InputEvent e;
    e.kind = InputEvent::Kind::Key;
    for (;;) {
        if (name.size() > 1 && StartsWith(name, "Shift+")) {
            e.control |= kShift;
            name.remove_prefix(6);
        } else if (name.size() > 1 && StartsWith(name, "Ctrl+")) {
            e.control |= kLeftCtrl;
            name.remove_prefix(5);
        } else if (name.size() > 1 && StartsWith(name, "Alt+")) {
            e.control |= kLeftAlt;
            name.remove_prefix(4);
        } else if (name.size() > 1 && StartsWith(name, "AltGr+")) {
            e.control |= kRightAlt | kLeftCtrl;
            name.remove_prefix(6);
        } else {
            break;
        }
    }
    if (name.empty()) return std::nullopt;
    for (const Named& n : kNamed) {
        if (name == n.name) {
            e.character = n.character;
            e.scan = n.scan;
            if (n.scan == scan::Tab && (e.control & kShift)) e.character = 0;  // back-tab
            return e;
        }
    }
    if (name.size() >= 2 && name[0] == 'F' && name[1] >= '1' && name[1] <= '9') {
        int n = 0;
        for (char c : name.substr(1)) {
            if (c < '0' || c > '9') return std::nullopt;
            n = n * 10 + (c - '0');
            if (n > 10) return std::nullopt;  // before a long number overflows
        }
        if (n < 1 || n > 10) return std::nullopt;
        e.scan = static_cast<std::uint8_t>(scan::F1 + n - 1);
        return e;
    }
    if (name.size() == 1) {
        auto ch = static_cast<unsigned char>(name[0]);
        e.scan = ScanCodeForCharacter(ch);
        if ((e.control & (kLeftCtrl | kRightCtrl)) && !(e.control & kRightAlt)) {
            unsigned char lower = (ch >= 'A' && ch <= 'Z') ? static_cast<unsigned char>(ch + 32) : ch;
            e.character = (lower >= 'a' && lower <= 'z') ? static_cast<unsigned char>(lower - 'a' + 1) : 0;
        } else {
            e.character = ch;
        }
        return e;
    }
    return std::nullopt;
}

}  // namespace qp
