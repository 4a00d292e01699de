#include "config/ini_lines.h"

#include "text/cp850.h"

namespace qp::ini {
namespace {

constexpr char kEndOfFile = 0x1A;

std::string_view TrimSpaces(std::string_view text) {
    std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    std::size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

}  // namespace

std::vector<std::string_view> SplitLines(std::string_view bytes) {
    std::size_t stop = bytes.find(kEndOfFile);
    if (stop != std::string_view::npos) bytes = bytes.substr(0, stop);

    std::vector<std::string_view> lines;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t cr = bytes.find('\r', pos);
        if (cr == std::string_view::npos) {
            lines.push_back(bytes.substr(pos));
            break;
        }
        lines.push_back(bytes.substr(pos, cr - pos));
        pos = cr + 1;
        if (pos < bytes.size() && bytes[pos] == '\n') ++pos;
    }
    return lines;
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
    return UpperForCompare(TrimSpaces(stored)) == UpperForCompare(TrimSpaces(wanted));
}

}  // namespace qp::ini
