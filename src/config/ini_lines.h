// Line splitting and classification of sectioned key=value files, shared by
// the reader and the rewriter so that both see the same file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qp::ini {

enum class LineKind : std::uint8_t { Blank, Header, Entry, Other };

struct LineInfo {
    LineKind kind = LineKind::Blank;
    std::string_view name;   // Header: the section name; Entry: the key (both trimmed)
    std::string_view value;  // Entry: the text after the first "=", up to the comment
    std::size_t equals = 0;  // Entry: position of the first "=" in the line
};

LineInfo ClassifyLine(std::string_view line);

// One line of a file, by its place in the file's text: its own end follows
// it ("\r\n", "\n" or "\r"; none only for a last line that has none). Kept
// small, as a shared Tarn.ini may hold a hundred thousand lines.
struct Line {
    std::uint32_t start = 0;
    std::uint32_t length = 0;
    std::uint8_t endLength = 0;
    LineKind kind = LineKind::Blank;
};

// A file's bytes taken apart: a UTF-8 byte order mark at the very start (kept
// aside so that it is not part of the first line's name), the lines, and the
// first line end found (CR LF when there is none), which a line that has no
// neighbour to take its end from gets. A line ends at CR, CR LF or a lone LF;
// 0x1A ends the file. The views point into the bytes taken apart.
struct Lines {
    std::string_view byteOrderMark;
    std::string_view firstEnd;
    std::string_view text;  // the bytes after the mark, up to 0x1A
    std::vector<Line> lines;

    std::string_view Text(const Line& line) const { return text.substr(line.start, line.length); }
    std::string_view End(const Line& line) const { return text.substr(line.start + line.length, line.endLength); }
};

Lines SplitLines(std::string_view bytes);

// Names of sections and keys compare trimmed and upper-cased.
bool SameName(std::string_view stored, std::string_view wanted);

}  // namespace qp::ini
