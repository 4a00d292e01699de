#include "format/text_utils.h"

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "text/cp850.h"

namespace qp {

namespace {

using ByteTable = std::array<unsigned char, 256>;

constexpr unsigned char kFirstTranslated = 64;
constexpr unsigned char kLastTranslated = 237;

ByteTable IdentityTable() {
    ByteTable table{};
    for (int b = 0; b < 256; ++b) table[b] = static_cast<unsigned char>(b);
    return table;
}

ByteTable BuildUpperTable() {
    ByteTable table = IdentityTable();
    for (int b = 'a'; b <= 'z'; ++b) table[b] = static_cast<unsigned char>(b - 'a' + 'A');
    static constexpr std::array<std::array<unsigned char, 2>, 28> kPairs{{
        {0x81, 0x9A}, {0x82, 0x90}, {0x83, 0xB6}, {0x84, 0x8E}, {0x85, 0xB7}, {0x86, 0x8F},
        {0x87, 0x80}, {0x88, 0xD2}, {0x89, 0xD3}, {0x8A, 0xD4}, {0x8B, 0xD8}, {0x8C, 0xD7},
        {0x8D, 0xDE}, {0x91, 0x92}, {0x93, 0xE2}, {0x94, 0x99}, {0x95, 0xE3}, {0x96, 0xEA},
        {0x97, 0xEB}, {0xA0, 0xB5}, {0xA1, 0xD6}, {0xA2, 0xE0}, {0xA3, 0xE9}, {0xA4, 0xA5},
        {0xC6, 0xC7}, {0xD0, 0xD1}, {0xE4, 0xE5}, {0xEC, 0xED},
    }};
    for (const auto& [small, capital] : kPairs) table[small] = capital;
    return table;
}

// Accented letters fold to their plain capital; every other byte of the
// translated range that is not a letter becomes a space, so that searches
// ignore it.
ByteTable BuildFoldTable() {
    ByteTable table = IdentityTable();
    for (int b = kFirstTranslated; b <= kLastTranslated; ++b) table[b] = ' ';
    for (int b = 'A'; b <= 'Z'; ++b) {
        table[b] = static_cast<unsigned char>(b);
        table[b - 'A' + 'a'] = static_cast<unsigned char>(b);
    }
    struct Fold {
        unsigned char letter;
        std::vector<unsigned char> bytes;
    };
    const std::array<Fold, 11> accented{{
        {'A', {0x83, 0x84, 0x85, 0x86, 0x8E, 0x8F, 0x91, 0x92, 0xA0, 0xA6, 0xB5, 0xB6, 0xB7, 0xC6, 0xC7}},
        {'C', {0x80, 0x87}},
        {'D', {0xD0, 0xD1}},
        {'E', {0x82, 0x88, 0x89, 0x8A, 0x90, 0xD2, 0xD3, 0xD4, 0xD5}},
        {'I', {0x8B, 0x8C, 0x8D, 0xA1, 0xD6, 0xD7, 0xD8, 0xDE}},
        {'N', {0xA4, 0xA5}},
        {'O', {0x93, 0x94, 0x95, 0x99, 0x9B, 0x9D, 0xA2, 0xA7, 0xE0, 0xE2, 0xE3, 0xE4, 0xE5}},
        {'S', {0xE1}},
        {'T', {0xE7, 0xE8}},
        {'U', {0x81, 0x96, 0x97, 0x9A, 0xA3, 0xE9, 0xEA, 0xEB}},
        {'Y', {0x98, 0xEC, 0xED}},
    }};
    for (const Fold& fold : accented)
        for (unsigned char b : fold.bytes) table[b] = fold.letter;
    return table;
}

const ByteTable& UpperTable() {
    static const ByteTable table = BuildUpperTable();
    return table;
}

const ByteTable& FoldTable() {
    static const ByteTable table = BuildFoldTable();
    return table;
}

constexpr std::size_t kLengthFieldSize = 2;
constexpr std::size_t kMaxItemLength = 32767;

}  // namespace

std::string TextUtils::UpperText(std::string_view text) const {
    const ByteTable& table = FoldAccents ? FoldTable() : UpperTable();
    std::string out(text);
    for (char& c : out) c = static_cast<char>(table[static_cast<unsigned char>(c)]);
    return out;
}

// The length field is a signed 16-bit number, so a longer item keeps only
// its first 32,767 bytes; the stack stays readable either way.
void TextUtils::PushItem(std::string_view text) {
    const std::string_view item = text.substr(0, kMaxItemLength);
    const auto length = static_cast<std::uint16_t>(item.size());
    stack_.append(item);
    stack_.push_back(static_cast<char>(length & 0xFF));
    stack_.push_back(static_cast<char>(length >> 8));
}

// An empty stack, or one whose length field claims more bytes than it holds,
// gives the empty text and is left as it is.
std::string TextUtils::PopItem() {
    if (stack_.size() < kLengthFieldSize) return {};
    const std::size_t fieldAt = stack_.size() - kLengthFieldSize;
    const auto low = static_cast<unsigned char>(stack_[fieldAt]);
    const auto high = static_cast<unsigned char>(stack_[fieldAt + 1]);
    const auto length = static_cast<std::int16_t>(static_cast<std::uint16_t>(low | (high << 8)));
    if (length < 0 || static_cast<std::size_t>(length) > fieldAt) return {};
    const std::size_t itemAt = fieldAt - static_cast<std::size_t>(length);
    std::string item = stack_.substr(itemAt, static_cast<std::size_t>(length));
    stack_.resize(itemAt);
    return item;
}

namespace {

bool IsControl(char c) { return static_cast<unsigned char>(c) < 32; }
bool IsVisible(char c) { return static_cast<unsigned char>(c) > 32; }

enum class Alignment { Left, LeftDashes, Right, Centre, Justify, AsTaken };

Alignment ParseAlignment(std::string_view alignment) {
    const std::string code = UpperForCompare(alignment);
    if (code == "E" || code == "L" || code == "I") return Alignment::Left;
    if (code == "N") return Alignment::LeftDashes;
    if (code == "D" || code == "R") return Alignment::Right;
    if (code == "C") return Alignment::Centre;
    if (code == "A" || code == "B") return Alignment::Justify;
    return Alignment::AsTaken;
}

std::size_t CountControls(std::string_view text) {
    std::size_t count = 0;
    for (char c : text)
        if (IsControl(c)) ++count;
    return count;
}

// Widens the line to `fill` more characters by adding single spaces after
// each run of spaces in turn, left to right, starting over at the first.
std::string Justify(std::string_view line, std::size_t fill) {
    std::vector<std::size_t> runEnds;
    for (std::size_t i = 0; i < line.size(); ++i)
        if (line[i] == ' ' && (i + 1 == line.size() || line[i + 1] != ' ')) runEnds.push_back(i);
    if (runEnds.empty() || fill == 0) return std::string(line);
    std::vector<std::size_t> extra(runEnds.size(), fill / runEnds.size());
    for (std::size_t r = 0; r < fill % runEnds.size(); ++r) ++extra[r];
    std::string out;
    out.reserve(line.size() + fill);
    std::size_t run = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        out.push_back(line[i]);
        if (run < runEnds.size() && runEnds[run] == i) out.append(extra[run++], ' ');
    }
    return out;
}

std::string AlignLine(std::string_view content, std::size_t indent, std::size_t room, Alignment alignment,
                      bool moreFollows) {
    const std::size_t fill = room > content.size() ? room - content.size() : 0;
    std::string line(indent, ' ');
    switch (alignment) {
        case Alignment::Left:
            line.append(content).append(fill, ' ');
            break;
        case Alignment::LeftDashes:
            line.append(content).append(fill, '-');
            break;
        case Alignment::Right:
            line.append(fill, ' ').append(content);
            break;
        case Alignment::Centre:
            line.append(fill / 2, ' ').append(content).append(fill - fill / 2, ' ');
            break;
        case Alignment::Justify:
            line.append(moreFollows ? Justify(content, fill) : std::string(content));
            break;
        case Alignment::AsTaken:
            line.append(content);
            break;
    }
    return line;
}

}  // namespace

// A width below 1 leaves nothing to lay out, so the text is kept as it is.
// The indent is held below the width so that every line has room for at
// least one character; otherwise a line could take nothing and the layout
// would never end.
void FormatParagraph(std::string& text, int indent, int width, std::string_view alignment) {
    if (width < 1) return;
    const Alignment align = ParseAlignment(alignment);
    const long long maxIndent = width - 1;
    const auto clampIndent = [maxIndent](long long n) { return static_cast<std::size_t>(n < maxIndent ? n : maxIndent); };
    const std::size_t firstIndent = indent > 0 ? clampIndent(indent) : 0;
    const std::size_t laterIndent = indent < 0 ? clampIndent(-static_cast<long long>(indent)) : 0;

    const std::string_view source = text;
    const std::size_t n = source.size();
    std::string result;
    std::size_t pos = 0;
    bool firstLine = true;
    while (pos < n) {
        const std::size_t lineIndent = firstLine ? firstIndent : laterIndent;
        const std::size_t baseRoom = static_cast<std::size_t>(width) - lineIndent;

        // Take the room's worth; control codes take no width.
        std::size_t room = baseRoom;
        std::size_t roomEnd = pos;
        while (roomEnd < n && roomEnd - pos < room) {
            if (IsControl(source[roomEnd])) ++room;
            ++roomEnd;
        }
        if (roomEnd > pos && IsVisible(source[roomEnd - 1]))
            while (roomEnd < n && IsControl(source[roomEnd])) ++roomEnd;

        // Do not split a word: end the line before the space that precedes it.
        std::size_t end = roomEnd;
        if (end < n && IsVisible(source[end]))
            while (end > pos && IsVisible(source[end])) --end;
        if (end == pos) end = roomEnd;

        std::string_view content = source.substr(pos, end - pos);
        if (end == n || IsControl(source[end]))
            while (!content.empty() && content.back() == ' ') content.remove_suffix(1);

        pos = end;
        while (pos < n && source[pos] == ' ') ++pos;
        result += AlignLine(content, lineIndent, baseRoom + CountControls(content), align, pos < n);
        firstLine = false;
    }
    text = std::move(result);
}

}  // namespace qp
