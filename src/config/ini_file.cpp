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
// new entries land after the last non-blank line of their section. Parts of
// other sections change nothing but the held lines at their ends, so they
// are copied whole.
class Rewriter {
public:
    Rewriter(const ini::Lines& lines, const std::string& section, const std::vector<IniChange>& changes)
        : lines_(lines), section_(section), changes_(changes), found_(changes.size(), false) {
        for (const IniChange& change : changes_)
            if (change.key.empty()) deletesSection_ = true;
    }

    std::string Run() {
        ReserveForFile(out_, lines_.byteOrderMark.size() + lines_.text.size() + 64 * changes_.size() + 16);
        out_.assign(lines_.byteOrderMark);
        for (const ini::Part& part : lines_.parts) {
            if (section_.empty() || IsWantedSection(part))
                TakeLines(part.start, part.end);
            else
                TakeOtherPart(part);
        }
        WriteMissingEntries();
        FlushHeldLines();
        return std::move(out_);
    }

private:
    bool IsWantedSection(const ini::Part& part) const {
        if (!part.hasHeader) return false;
        ini::Line header;
        ini::LineReader(lines_.text, part.start).Next(header);
        return ini::SameName(ini::ClassifyLine(header.text).name, section_);
    }

    void TakeLines(std::size_t from, std::size_t to) {
        ini::LineReader reader(lines_.text, from, to);
        for (ini::Line line; reader.Next(line);) Take(line);
    }

    // A part of another section: its header ends the section before it; its
    // other lines up to its closing blank run stay as they are.
    void TakeOtherPart(const ini::Part& part) {
        std::size_t from = part.start;
        if (part.hasHeader) {
            ini::LineReader reader(lines_.text, part.start);
            ini::Line header;
            reader.Next(header);
            Take(header);
            from = reader.Position();
        }
        if (part.keptEnd > from) {
            FlushHeldLines();
            out_.append(lines_.text.substr(from, part.keptEnd - from));
            // The file's unended last line takes the end of the line before it.
            lastEnd_ = part.keptLastEnd.empty() ? EndOfNewLine() : part.keptLastEnd;
            if (part.keptLastUnended) out_.append(lastEnd_);
            from = part.keptEnd;
        }
        TakeLines(from, part.end);
    }

    void Take(const ini::Line& line) {
        const ini::LineInfo info = ini::ClassifyLine(line.text);
        if (info.kind == ini::LineKind::Blank) {
            held_.push_back(line);
            return;
        }
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
                rewritten.assign(line.text.substr(0, info.equals + 1));
                rewritten += change->value;
                isRewritten = true;
                if (change->value.empty()) deleteLine = true;
            }
        }
        // A deleted line leaves the blank lines around it as one run, as if
        // it had never been there.
        if (deleteLine) return;
        FlushHeldLines();
        WriteLine(isRewritten ? std::string_view(rewritten) : line.text, line.end);
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
        for (const ini::Line& line : held_) WriteLine(line.text, line.end);
        held_.clear();
    }

    // A line without an end of its own (new, or the file's unended last line)
    // takes the end of the line before it.
    std::string_view EndOfNewLine() const { return lastEnd_.empty() ? lines_.firstEnd : lastEnd_; }

    void WriteLine(std::string_view text, std::string_view end) {
        if (end.empty()) end = EndOfNewLine();
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
    std::vector<ini::Line> held_;
    std::string out_;
};

}  // namespace

IniView::IniView(std::string_view bytes) : lines_(ini::SplitLines(bytes)) {}

std::string IniView::Value(const std::string& section, const std::string& key) const {
    for (const ini::Part& part : lines_.parts) {
        if (!part.hasHeader) continue;
        ini::LineReader reader(lines_.text, part.start, part.end);
        ini::Line line;
        reader.Next(line);
        if (!ini::SameName(ini::ClassifyLine(line.text).name, section)) continue;
        // The first section of the name is the one read.
        while (reader.Next(line)) {
            const ini::LineInfo info = ini::ClassifyLine(line.text);
            if (info.kind == ini::LineKind::Entry && ini::SameName(info.name, key)) return std::string(Unquoted(info.value));
        }
        return {};
    }
    return {};
}

std::string IniView::Rewritten(const std::string& section, const std::vector<IniChange>& changes) const {
    return Rewriter(lines_, section, changes).Run();
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
