#include "config/ini_file.h"

#include <optional>
#include <utility>

namespace qp {
namespace {

std::string_view Unquoted(std::string_view value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') return value.substr(1, value.size() - 2);
    return value;
}

// Produces the rewritten file in one pass. Blank and comment-only lines are
// held back and written only once the next line that stays is known, so that
// new entries land after the last non-blank line of their section.
class Rewriter {
public:
    Rewriter(const ini::Lines& lines, const std::string& section, const std::vector<IniChange>& changes)
        : lines_(lines), section_(section), changes_(changes), found_(changes.size(), false) {
        for (const IniChange& change : changes_)
            if (change.key.empty()) deletesSection_ = true;
    }

    std::string Run(std::size_t sizeHint) {
        out_.reserve(sizeHint + 64 * changes_.size() + 16);
        out_.assign(lines_.byteOrderMark);
        for (const ini::Line& line : lines_.lines) Take(line);
        WriteMissingEntries();
        FlushHeldLines();
        return std::move(out_);
    }

private:
    void Take(const ini::Line& line) {
        if (line.kind == ini::LineKind::Blank) {
            held_.push_back(&line);
            return;
        }
        const std::string_view text = lines_.Text(line);
        const ini::LineInfo info = ini::ClassifyLine(text);
        bool deleteLine = section_.empty();
        std::string rewritten;
        bool isRewritten = false;
        if (!inSection_) {
            if (info.kind == ini::LineKind::Header && ini::SameName(info.name, section_)) {
                inSection_ = true;
                if (deletesSection_ || section_.empty()) deleteLine = true;
            }
        } else if (info.kind == ini::LineKind::Header) {
            WriteMissingEntries();
            inSection_ = false;
        } else if (info.kind == ini::LineKind::Entry) {
            if (deletesSection_) {
                deleteLine = true;
            } else if (const IniChange* change = ChangeFor(info.name)) {
                rewritten.assign(text.substr(0, info.equals + 1));
                rewritten += change->value;
                isRewritten = true;
                if (change->value.empty()) deleteLine = true;
            }
        }
        // A deleted line leaves the blank lines around it as one run, as if
        // it had never been there.
        if (deleteLine) return;
        FlushHeldLines();
        WriteLine(isRewritten ? std::string_view(rewritten) : text, lines_.End(line));
    }

    const IniChange* ChangeFor(std::string_view key) {
        for (std::size_t i = 0; i < changes_.size(); ++i) {
            if (!ini::SameName(key, changes_[i].key)) continue;
            found_[i] = true;
            return &changes_[i];
        }
        return nullptr;
    }

    // At the end of the first section of the name (or of the file), the keys
    // it did not hold, in the order given; never again after that.
    void WriteMissingEntries() {
        if (missingWritten_) return;
        missingWritten_ = true;
        if (section_.empty() || deletesSection_) return;
        bool headerThere = inSection_;
        for (std::size_t i = 0; i < changes_.size(); ++i) {
            if (found_[i] || changes_[i].value.empty()) continue;
            if (!headerThere) {
                WriteLine("[" + section_ + "]", {});
                headerThere = true;
            }
            WriteLine(changes_[i].key + "=" + changes_[i].value, {});
        }
    }

    void FlushHeldLines() {
        for (const ini::Line* line : held_) WriteLine(lines_.Text(*line), lines_.End(*line));
        held_.clear();
    }

    // A line without an end of its own (new, or the file's unended last line)
    // takes the end of the line before it.
    void WriteLine(std::string_view text, std::string_view end) {
        if (end.empty()) end = lastEnd_.empty() ? lines_.firstEnd : lastEnd_;
        out_.append(text);
        out_.append(end);
        lastEnd_ = end;
    }

    const ini::Lines& lines_;
    const std::string& section_;
    const std::vector<IniChange>& changes_;
    std::vector<bool> found_;
    bool deletesSection_ = false;
    bool inSection_ = false;
    bool missingWritten_ = false;
    std::string_view lastEnd_;
    std::vector<const ini::Line*> held_;
    std::string out_;
};

}  // namespace

IniView::IniView(std::string_view bytes) : lines_(ini::SplitLines(bytes)) {}

std::string IniView::Value(const std::string& section, const std::string& key) const {
    bool inSection = false;
    for (const ini::Line& line : lines_.lines) {
        if (line.kind == ini::LineKind::Blank || (!inSection && line.kind != ini::LineKind::Header)) continue;
        if (inSection && line.kind == ini::LineKind::Header) break;
        const ini::LineInfo info = ini::ClassifyLine(lines_.Text(line));
        if (!inSection)
            inSection = ini::SameName(info.name, section);
        else if (info.kind == ini::LineKind::Entry && ini::SameName(info.name, key))
            return std::string(Unquoted(info.value));
    }
    return {};
}

std::string IniView::Rewritten(const std::string& section, const std::vector<IniChange>& changes) const {
    return Rewriter(lines_, section, changes).Run(lines_.byteOrderMark.size() + lines_.text.size());
}

IniDocument::IniDocument() : IniDocument(std::string()) {}

IniDocument::IniDocument(std::string bytes)
    : bytes_(std::make_unique<const std::string>(std::move(bytes))), view_(*bytes_) {}

IniDocument IniDocument::Read(Platform& platform, const std::string& path, std::int64_t limit, std::string* problem) {
    std::string reason;
    std::optional<std::string> bytes = ReadWholeFile(platform, path, limit, &reason);
    if (!bytes && problem && platform.Exists(path)) *problem = path + ": " + reason;
    return IniDocument(std::move(bytes).value_or(std::string()));
}

IniReading::IniReading(Platform& platform, std::string path, std::int64_t limit)
    : platform_(platform), path_(std::move(path)), limit_(limit) {}

const IniDocument& IniReading::Fresh() {
    // No lock for reading: a save puts the new file in place in one step, so
    // this reads the old file or the new one, whole.
    latest_ = IniDocument::Read(platform_, path_, limit_);
    return *latest_;
}

const IniDocument& IniReading::Latest() { return latest_ ? *latest_ : Fresh(); }

std::string ReadIniValue(std::string_view bytes, const std::string& section, const std::string& key) {
    return IniView(bytes).Value(section, key);
}

std::string RewriteIniValue(std::string_view bytes, const std::string& section, const std::string& key,
                            const std::string& value) {
    return IniView(bytes).Rewritten(section, {IniChange {key, value}});
}

std::string ReadIniKey(Platform& platform, const std::string& path, const std::string& section,
                       const std::string& key) {
    return IniDocument::Read(platform, path, kLargeFileLimit).Value(section, key);
}

Status WriteIniKey(Platform& platform, const std::string& path, const std::string& section, const std::string& key,
                   const std::string& value) {
    return RewriteFile(platform, path, [&](const RewriteTarget& current, std::string& replacement) {
        replacement = RewriteIniValue(current.bytes, section, key, value);
        return Status::Ok();
    });
}

}  // namespace qp
