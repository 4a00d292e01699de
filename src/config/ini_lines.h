// Line splitting and classification of sectioned key=value files, shared by
// the reader and the rewriter so that both see the same file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qp::ini {

enum class LineKind { Blank, Header, Entry, Other };

struct LineInfo {
    LineKind kind = LineKind::Blank;
    std::string_view name;   // Header: the section name; Entry: the key (both trimmed)
    std::string_view value;  // Entry: the text after the first "=", up to the comment
    std::size_t equals = 0;  // Entry: position of the first "=" in the line
};

LineInfo ClassifyLine(std::string_view line);

// One line of a file: its text, its own end ("\r\n", "\n" or "\r"; empty
// only for a last line that has none) and what it is.
struct Line {
    std::string_view text;
    std::string_view end;
    LineInfo info;
};

// A file's bytes taken apart: a UTF-8 byte order mark at the very start (kept
// aside so that it is not part of the first line's name), the lines, and the
// first line end found (CR LF when there is none), which a line that has no
// neighbour to take its end from gets. A line ends at CR, CR LF or a lone LF;
// 0x1A ends the file.
struct Lines {
    std::string_view byteOrderMark;
    std::string_view firstEnd;
    std::vector<Line> lines;
};

Lines SplitLines(std::string_view bytes);

// Names of sections and keys compare trimmed and upper-cased.
bool SameName(std::string_view stored, std::string_view wanted);

}  // namespace qp::ini
