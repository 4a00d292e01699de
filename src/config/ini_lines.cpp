#include "config/ini_lines.h"

#include <algorithm>

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

LineReader::LineReader(std::string_view text, std::size_t from, std::size_t to)
    : text_(text), pos_(from), to_(std::min(to, text.size())) {}

bool LineReader::Next(Line& line) {
    if (pos_ >= to_) return false;
    std::size_t end = pos_;
    while (end < to_ && text_[end] != '\r' && text_[end] != '\n') ++end;
    std::size_t next = end < to_ ? end + 1 : end;
    if (end < to_ && text_[end] == '\r' && next < to_ && text_[next] == '\n') ++next;
    line.text = text_.substr(pos_, end - pos_);
    line.end = text_.substr(end, next - end);
    pos_ = next;
    return true;
}

Lines SplitLines(std::string_view bytes) {
    std::size_t stop = bytes.find(kEndOfFile);
    if (stop != std::string_view::npos) bytes = bytes.substr(0, stop);

    Lines result;
    result.firstEnd = "\r\n";
    if (bytes.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        result.byteOrderMark = bytes.substr(0, kByteOrderMark.size());
        bytes.remove_prefix(kByteOrderMark.size());
    }
    result.text = bytes;
    result.parts.push_back(Part {});
    bool endFound = false;
    LineReader reader(bytes);
    Line line;
    std::string_view previousEnd;
    for (std::size_t start = 0; reader.Next(line); start = reader.Position(), previousEnd = line.end) {
        if (!endFound && !line.end.empty()) {
            result.firstEnd = line.end;
            endFound = true;
        }
        // Only the first byte that is not a space tells blank, header or other.
        std::size_t first = line.text.find_first_not_of(' ');
        if (first == std::string_view::npos || line.text[first] == ';') continue;
        if (line.text[first] == '[') {
            result.parts.back().end = start;
            result.parts.push_back(Part {});
            result.parts.back().start = start;
            result.parts.back().hasHeader = true;
        }
        Part& part = result.parts.back();
        part.keptEnd = reader.Position();
        part.keptLastUnended = line.end.empty();
        part.keptLastEnd = line.end.empty() ? previousEnd : line.end;
    }
    result.parts.back().end = bytes.size();
    return result;
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
