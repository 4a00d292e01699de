// Line splitting and classification of sectioned key=value files, shared by
// the reader and the rewriter so that both see the same file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qp::ini {

enum class LineKind { Blank, Header, Entry, Other };

struct LineInfo {
    LineKind kind = LineKind::Blank;
    std::string_view name;   // Header: the section name; Entry: the key (both trimmed)
    std::string_view value;  // Entry: the text after the first "=", up to the comment
    std::size_t equals = 0;  // Entry: position of the first "=" in the line
};

LineInfo ClassifyLine(std::string_view line);

// Only the first byte that is not a space tells a blank line (nothing, or a
// comment) from a header and from the rest.
enum class Opening { Blank, Header, Other };
Opening OpeningOf(std::string_view line);

// One line: its text and its own end (empty only for a last line that has none).
struct Line {
    std::string_view text;
    std::string_view end;
};

// A file's bytes as the suite's other programs split them: 0x1A ends the
// file; where the file holds a CR, a line ends at CR or CR LF and a lone LF is
// a byte of its line. A file with no CR (made on Linux) is split at LF, and a
// UTF-8 byte order mark in front of its first line is set aside; in any other
// file the mark is bytes of the first line, as the suite reads it. New lines
// take the first line end found (CR LF when there is none). The views point
// into the bytes; nothing is kept per line, so a reader walks the lines again
// for each look-up.
struct Lines {
    std::string_view byteOrderMark;
    std::string_view firstEnd;
    std::string_view text;  // the bytes after the mark, up to 0x1A
    bool endsAtLf = false;   // the file holds LF and no CR
    std::size_t lineCount = 0;
};

// Far more lines than any configuration file of the suite holds (its own
// programs stop at 32,767 bytes). As each look-up walks the lines, a file of
// tens of millions of tiny lines would take seconds for every key read.
constexpr std::size_t kMostLines = std::size_t {1} << 20;

Lines SplitLines(std::string_view bytes);

// The lines of a text one after another, from a position.
class LineReader {
public:
    explicit LineReader(const Lines& lines, std::size_t from = 0);
    bool Next(Line& line);  // false after the last line
    std::size_t Position() const { return pos_; }

private:
    std::string_view text_;
    char ending_;  // the byte that ends a line
    std::size_t pos_;
};

// Names of sections and keys compare trimmed and upper-cased.
bool SameName(std::string_view stored, std::string_view wanted);

}  // namespace qp::ini
