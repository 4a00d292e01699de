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
    // Room for every line at once: no copying as the list grows.
    result.lines.reserve(static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n') +
                                                  std::count(bytes.begin(), bytes.end(), '\r')) + 1);
    bool endFound = false;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = pos;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') ++end;
        std::size_t next = end < bytes.size() ? end + 1 : end;
        if (end < bytes.size() && bytes[end] == '\r' && next < bytes.size() && bytes[next] == '\n') ++next;
        Line line;
        line.start = static_cast<std::uint32_t>(pos);
        line.length = static_cast<std::uint32_t>(end - pos);
        line.endLength = static_cast<std::uint8_t>(next - end);
        line.kind = ClassifyLine(bytes.substr(pos, end - pos)).kind;
        result.lines.push_back(line);
        if (!endFound && next > end) {
            result.firstEnd = bytes.substr(end, next - end);
            endFound = true;
        }
        pos = next;
    }
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
