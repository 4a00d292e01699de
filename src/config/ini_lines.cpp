#include "config/ini_lines.h"

#include <algorithm>
#include <cstring>

#include "text/cp850.h"

namespace qp::ini {
namespace {

constexpr char kEndOfFile = 0x1A;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view TrimSpaces(std::string_view text) {
    std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    std::size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

}  // namespace

Lines SplitLines(std::string_view bytes) {
    std::size_t stop = bytes.find(kEndOfFile);
    if (stop != std::string_view::npos) bytes = bytes.substr(0, stop);

    Lines result;
    const std::size_t cr = bytes.find('\r');
    const std::size_t lf = bytes.find('\n');
    result.endsAtLf = cr == std::string_view::npos && lf != std::string_view::npos;
    if (cr != std::string_view::npos)
        result.firstEnd = bytes.substr(cr, cr + 1 < bytes.size() && bytes[cr + 1] == '\n' ? 2 : 1);
    else if (result.endsAtLf)
        result.firstEnd = "\n";
    else
        result.firstEnd = "\r\n";
    // A file with no line end at all is one line, read the same either way;
    // a rewrite gives it CR LF, and then the mark is part of that line.
    if (result.endsAtLf && bytes.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        result.byteOrderMark = bytes.substr(0, kByteOrderMark.size());
        bytes.remove_prefix(kByteOrderMark.size());
    }
    result.text = bytes;
    const char ending = result.endsAtLf ? '\n' : '\r';
    const bool lastLineEnded = bytes.empty() || bytes.back() == ending || (ending == '\r' && bytes.ends_with("\r\n"));
    result.lineCount = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), ending)) + (lastLineEnded ? 0 : 1);
    return result;
}

LineReader::LineReader(const Lines& lines, std::size_t from)
    : text_(lines.text), ending_(lines.endsAtLf ? '\n' : '\r'), pos_(from) {}

bool LineReader::Next(Line& line) {
    if (pos_ >= text_.size()) return false;
    const char* start = text_.data() + pos_;
    const auto* found = static_cast<const char*>(std::memchr(start, ending_, text_.size() - pos_));
    std::size_t end = found ? static_cast<std::size_t>(found - text_.data()) : text_.size();
    std::size_t next = found ? end + 1 : end;
    if (found && ending_ == '\r' && next < text_.size() && text_[next] == '\n') ++next;
    line.text = text_.substr(pos_, end - pos_);
    line.end = text_.substr(end, next - end);
    pos_ = next;
    return true;
}

Opening OpeningOf(std::string_view line) {
    std::size_t first = line.find_first_not_of(' ');
    if (first == std::string_view::npos || line[first] == ';') return Opening::Blank;
    return line[first] == '[' ? Opening::Header : Opening::Other;
}

LineInfo ClassifyLine(std::string_view line) {
    std::string_view content = line.substr(0, line.find(';'));
    std::size_t first = content.find_first_not_of(' ');
    LineInfo info;
    if (first == std::string_view::npos) return info;  // blank

    if (content[first] == '[') {
        std::string_view rest = content.substr(first + 1);
        info.kind = LineKind::Header;
        info.name = TrimSpaces(rest.substr(0, rest.find(']')));
        return info;
    }
    std::size_t equals = content.find('=');
    if (equals == std::string_view::npos) {
        info.kind = LineKind::Other;
        return info;
    }
    info.kind = LineKind::Entry;
    info.name = TrimSpaces(content.substr(0, equals));
    info.value = content.substr(equals + 1);
    info.equals = equals;
    return info;
}

bool SameName(std::string_view stored, std::string_view wanted) {
    stored = TrimSpaces(stored);
    wanted = TrimSpaces(wanted);
    if (stored.size() != wanted.size()) return false;
    for (std::size_t i = 0; i < stored.size(); ++i) {
        const auto a = static_cast<unsigned char>(stored[i]);
        const auto b = static_cast<unsigned char>(wanted[i]);
        if (a != b && UpperForCompare(a) != UpperForCompare(b)) return false;
    }
    return true;
}

}  // namespace qp::ini
