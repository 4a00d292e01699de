#include "config/ini_file.h"

#include <optional>
#include <string_view>
#include <vector>

#include "config/ini_lines.h"

namespace qp {
namespace {

std::string_view Unquoted(std::string_view value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') return value.substr(1, value.size() - 2);
    return value;
}

struct Request {
    const std::string& section;
    const std::string& key;
    const std::string& value;
};

// Produces the rewritten file. Blank and comment-only lines are held back and
// written only once the next non-blank line is known, so that a new entry
// lands after the last non-blank line of its section.
class Rewriter {
public:
    explicit Rewriter(const Request& request) : request_(request) {}

    std::string Run(std::string_view original) {
        ini::Lines lines = ini::SplitLines(original);
        lineEnd_ = lines.lineEnd;
        out_.assign(lines.byteOrderMark);
        for (std::string_view line : lines.lines) Take(line);
        WriteMissingEntry();
        FlushHeldLines();
        return out_;
    }

private:
    void Take(std::string_view line) {
        ini::LineInfo info = ini::ClassifyLine(line);
        if (info.kind == ini::LineKind::Blank) {
            held_.push_back(line);
            return;
        }
        bool deleteLine = request_.section.empty();
        std::string rewritten;
        bool isRewritten = false;
        if (!inSection_) {
            if (info.kind == ini::LineKind::Header && ini::SameName(info.name, request_.section)) {
                inSection_ = true;
                if (request_.key.empty() || request_.section.empty()) deleteLine = true;
            }
        } else if (info.kind == ini::LineKind::Header) {
            WriteMissingEntry();
            inSection_ = false;
        } else if (info.kind == ini::LineKind::Entry &&
                   (request_.key.empty() || ini::SameName(info.name, request_.key))) {
            rewritten.assign(line.substr(0, info.equals + 1));
            rewritten += request_.value;
            isRewritten = true;
            if (request_.key.empty() || request_.section.empty() || request_.value.empty()) deleteLine = true;
            written_ = true;
        }
        FlushHeldLines();
        if (!deleteLine) WriteLine(isRewritten ? std::string_view(rewritten) : line);
    }

    void WriteMissingEntry() {
        if (written_) return;
        written_ = true;
        if (request_.section.empty() || request_.key.empty() || request_.value.empty()) return;
        if (!inSection_) WriteLine("[" + request_.section + "]");
        WriteLine(request_.key + "=" + request_.value);
    }

    void FlushHeldLines() {
        for (std::string_view line : held_) WriteLine(line);
        held_.clear();
    }

    void WriteLine(std::string_view line) {
        out_.append(line);
        out_.append(lineEnd_);
    }

    const Request& request_;
    bool inSection_ = false;
    bool written_ = false;
    std::string_view lineEnd_;
    std::vector<std::string_view> held_;
    std::string out_;
};

}  // namespace

std::string ReadIniValue(std::string_view bytes, const std::string& section, const std::string& key) {
    bool inSection = false;
    for (std::string_view line : ini::SplitLines(bytes).lines) {
        ini::LineInfo info = ini::ClassifyLine(line);
        if (info.kind == ini::LineKind::Blank) continue;
        if (!inSection) {
            inSection = info.kind == ini::LineKind::Header && ini::SameName(info.name, section);
            continue;
        }
        if (info.kind == ini::LineKind::Header) break;
        if (info.kind == ini::LineKind::Entry && ini::SameName(info.name, key)) return std::string(Unquoted(info.value));
    }
    return {};
}

std::string RewriteIniValue(std::string_view bytes, const std::string& section, const std::string& key,
                            const std::string& value) {
    Request request {section, key, value};
    return Rewriter(request).Run(bytes);
}

std::string ReadIniKey(Platform& platform, const std::string& path, const std::string& section,
                       const std::string& key) {
    std::optional<std::string> bytes = ReadWholeFile(platform, path, kLargeFileLimit);
    return bytes ? ReadIniValue(*bytes, section, key) : std::string();
}

Status WriteIniKey(Platform& platform, const std::string& path, const std::string& section, const std::string& key,
                   const std::string& value) {
    return RewriteFile(platform, path, [&](const RewriteTarget& current, std::string& replacement) {
        replacement = RewriteIniValue(current.bytes, section, key, value);
        return Status::Ok();
    });
}

}  // namespace qp
