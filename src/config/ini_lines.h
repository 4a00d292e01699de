// Line splitting and classification of sectioned key=value files, shared by
// the reader and the rewriter so that both see the same file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qp::ini {

// The lines of a file: a line ends at CR, a LF directly after that CR belongs
// to the line end, a lone LF is an ordinary byte, and 0x1A ends the file.
std::vector<std::string_view> SplitLines(std::string_view bytes);

enum class LineKind { Blank, Header, Entry, Other };

struct LineInfo {
    LineKind kind = LineKind::Blank;
    std::string_view name;   // Header: the section name; Entry: the key (both trimmed)
    std::string_view value;  // Entry: the text after the first "=", up to the comment
    std::size_t equals = 0;  // Entry: position of the first "=" in the line
};

LineInfo ClassifyLine(std::string_view line);

// Names of sections and keys compare trimmed and upper-cased.
bool SameName(std::string_view stored, std::string_view wanted);

}  // namespace qp::ini
