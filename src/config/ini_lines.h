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

// One line: its text and its own end ("\r\n", "\n" or "\r"; empty only for
// a last line that has none). A line ends at CR, CR LF or a lone LF.
struct Line {
    std::string_view text;
    std::string_view end;
};

// The lines of a text one after another, from a position.
class LineReader {
public:
    explicit LineReader(std::string_view text, std::size_t from = 0, std::size_t to = std::string_view::npos);
    bool Next(Line& line);  // false after the last line
    std::size_t Position() const { return pos_; }

private:
    std::string_view text_;
    std::size_t pos_;
    std::size_t to_;
};

// A stretch of the file that belongs to one section: the lines before the
// first header, or a header line and the lines up to the next header.
struct Part {
    std::size_t start = 0;
    std::size_t end = 0;
    bool hasHeader = false;
    // Where the part's closing run of blank and comment-only lines starts
    // (`start` when the part has nothing else). The line before that run
    // ends in `keptLastEnd`: its own end, or for the file's unended last line
    // (`keptLastUnended`) the end of the line before it, if any.
    std::size_t keptEnd = 0;
    std::string_view keptLastEnd;
    bool keptLastUnended = false;
};

// A file's bytes taken apart in one pass: a UTF-8 byte order mark at the very
// start (kept aside so that it is not part of the first line's name), the
// first line end found (CR LF when there is none), which a line that has no
// neighbour to take its end from gets, and the file's parts, so that a reader
// or a rewriter goes straight to the sections it wants. 0x1A ends the file.
// The views point into the bytes taken apart.
struct Lines {
    std::string_view byteOrderMark;
    std::string_view firstEnd;
    std::string_view text;  // the bytes after the mark, up to 0x1A
    std::vector<Part> parts;
};

Lines SplitLines(std::string_view bytes);

// Names of sections and keys compare trimmed and upper-cased.
bool SameName(std::string_view stored, std::string_view wanted);

}  // namespace qp::ini
