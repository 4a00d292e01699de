#include "text/cp850.h"

#include <array>
#include <climits>
#include <unordered_map>

namespace qp {
namespace {

// 0x14 and 0x15 would be the PC glyphs ¶ and §, but code page 850 has those
// at 0xF4 and 0xF5; look-alikes keep the table one-to-one.
constexpr std::array<char32_t, 256> kToUnicode = {
    0x0000, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022,
    0x25D8, 0x25CB, 0x25D9, 0x2642, 0x2640, 0x266A, 0x266B, 0x263C,
    0x25BA, 0x25C4, 0x2195, 0x203C, 0x2761, 0x2E39, 0x25AC, 0x21A8,
    0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC,
    0x0020, 0x0021, 0x0022, 0x0023, 0x0024, 0x0025, 0x0026, 0x0027,
    0x0028, 0x0029, 0x002A, 0x002B, 0x002C, 0x002D, 0x002E, 0x002F,
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F,
    0x0040, 0x0041, 0x0042, 0x0043, 0x0044, 0x0045, 0x0046, 0x0047,
    0x0048, 0x0049, 0x004A, 0x004B, 0x004C, 0x004D, 0x004E, 0x004F,
    0x0050, 0x0051, 0x0052, 0x0053, 0x0054, 0x0055, 0x0056, 0x0057,
    0x0058, 0x0059, 0x005A, 0x005B, 0x005C, 0x005D, 0x005E, 0x005F,
    0x0060, 0x0061, 0x0062, 0x0063, 0x0064, 0x0065, 0x0066, 0x0067,
    0x0068, 0x0069, 0x006A, 0x006B, 0x006C, 0x006D, 0x006E, 0x006F,
    0x0070, 0x0071, 0x0072, 0x0073, 0x0074, 0x0075, 0x0076, 0x0077,
    0x0078, 0x0079, 0x007A, 0x007B, 0x007C, 0x007D, 0x007E, 0x2302,
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x00C0,
    0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4,
    0x00F0, 0x00D0, 0x00CA, 0x00CB, 0x00C8, 0x0131, 0x00CD, 0x00CE,
    0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580,
    0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE,
    0x00DE, 0x00DA, 0x00DB, 0x00D9, 0x00FD, 0x00DD, 0x00AF, 0x00B4,
    0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8,
    0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0,
};

const std::unordered_map<char32_t, unsigned char>& FromUnicode() {
    static const auto map = [] {
        std::unordered_map<char32_t, unsigned char> m;
        for (int b = 0; b < 256; ++b) m.emplace(kToUnicode[static_cast<std::size_t>(b)], static_cast<unsigned char>(b));
        // Control characters as they arrive from a keyboard or clipboard.
        for (char32_t c = 1; c < 0x20; ++c) m.emplace(c, static_cast<unsigned char>(c));
        m.emplace(char32_t{0x7F}, static_cast<unsigned char>(0x7F));
        // The euro sign: code page 858 puts it where 850 has the dotless i.
        m.emplace(char32_t{0x20AC}, static_cast<unsigned char>(0xD5));
        return m;
    }();
    return map;
}

void AppendUtf8(std::string& out, char32_t u) {
    if (u < 0x80) {
        out.push_back(static_cast<char>(u));
    } else if (u < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (u >> 6)));
        out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    } else if (u < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (u >> 12)));
        out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (u >> 18)));
        out.push_back(static_cast<char>(0x80 | ((u >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    }
}

}  // namespace

char32_t Cp850ToUnicode(unsigned char byte) { return kToUnicode[byte]; }

unsigned char UnicodeToCp850(char32_t ch, unsigned char fallback) {
    const auto& m = FromUnicode();
    auto it = m.find(ch);
    return it == m.end() ? fallback : it->second;
}

std::u32string Cp850ToU32(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    for (char c : text) out.push_back(Cp850ToUnicode(static_cast<unsigned char>(c)));
    return out;
}

std::string U32ToCp850(std::u32string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t c : text) out.push_back(static_cast<char>(UnicodeToCp850(c)));
    return out;
}

std::string Cp850ToUtf8(std::string_view text) {
    std::string out;
    for (char c : text) AppendUtf8(out, Cp850ToUnicode(static_cast<unsigned char>(c)));
    return out;
}

namespace {

// One character of UTF-8 at `i`, which moves past it; nothing for a byte
// that starts no character (i then moves past that byte alone).
std::optional<char32_t> NextCharacter(std::string_view utf8, std::size_t& i) {
    auto b = static_cast<unsigned char>(utf8[i]);
    std::size_t extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : 4;
    bool ok = extra < 4 && i + extra < utf8.size();
    char32_t cp = extra == 0 ? b : static_cast<char32_t>(b & (0x3F >> extra));
    for (std::size_t k = 1; ok && k <= extra; ++k) {
        auto c = static_cast<unsigned char>(utf8[i + k]);
        ok = (c & 0xC0) == 0x80;
        cp = (cp << 6) | (c & 0x3F);
    }
    // A character written longer than it needs (a NUL as C0 80) is none.
    constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (!ok || cp < kSmallest[extra]) {
        ++i;
        return std::nullopt;
    }
    i += extra + 1;
    return cp;
}

}  // namespace

std::string Utf8ToCp850(std::string_view utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const std::optional<char32_t> cp = NextCharacter(utf8, i);
        out.push_back(static_cast<char>(cp ? UnicodeToCp850(*cp) : '?'));
    }
    return out;
}

std::optional<std::string> Utf8ToCp850Exactly(std::string_view utf8) {
    std::string out;
    const auto& known = FromUnicode();
    for (std::size_t i = 0; i < utf8.size();) {
        const std::optional<char32_t> cp = NextCharacter(utf8, i);
        const auto found = cp ? known.find(*cp) : known.end();
        if (found == known.end()) return std::nullopt;
        out.push_back(static_cast<char>(found->second));
    }
    return out;
}

std::string ControlBytesAsBlanks(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    return out;
}

unsigned char UpperForCompare(unsigned char byte) {
    if (byte >= 'a' && byte <= 'z') return static_cast<unsigned char>(byte - 'a' + 'A');
    switch (byte) {
        case 0x84: return 0x8E;  // ä
        case 0x94: return 0x99;  // ö
        case 0x81: return 0x9A;  // ü
        case 0x82: return 0x90;  // é
        case 0xA4: return 0xA5;  // ñ
        case 0x86: return 0x8F;  // å
        case 0x87: return 0x80;  // ç
        default: return byte;
    }
}

std::string UpperForCompare(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(UpperForCompare(static_cast<unsigned char>(c)));
    return out;
}

std::string TrimBlanks(std::string_view text) {
    std::size_t b = text.find_first_not_of(' ');
    if (b == std::string_view::npos) return {};
    std::size_t e = text.find_last_not_of(' ');
    return std::string(text.substr(b, e - b + 1));
}

std::string TrimTrailingBlanks(std::string_view text) {
    std::size_t e = text.find_last_not_of(' ');
    if (e == std::string_view::npos) return {};
    return std::string(text.substr(0, e + 1));
}

bool IsBlank(std::string_view text) { return text.find_first_not_of(' ') == std::string_view::npos; }

std::string FitWidth(std::string_view text, std::size_t width) {
    std::string out(text.substr(0, width));
    out.resize(width, ' ');
    return out;
}

long NumericValue(std::string_view text) {
    std::size_t i = text.find_first_not_of(' ');
    if (i == std::string_view::npos) return 0;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX) value = INT_MAX;
    }
    return static_cast<long>(negative ? -value : value);
}

}  // namespace qp
