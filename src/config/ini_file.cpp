#include "config/ini_file.h"

#include <optional>
#include <utility>

namespace qp {
namespace {

// Makes the rewritten file in one pass over the lines, writing each line as
// it comes. The keys a section lacks go after its last non-blank line, so
// their place is known only at the section's end: the place is followed as
// the section is read, and the new lines are put in there once, at its end.
// Run once without a text to learn the size, then again to make it.
class Rewriter {
public:
    Rewriter(const ini::Lines& lines, const std::string& section, const std::vector<IniChange>& changes,
             std::string* out)
        : lines_(lines),
          section_(section),
          changes_(changes),
          out_(out),
          found_(changes.size(), false),
          placeAt_(changes.size(), lines.byteOrderMark.size()),
          placeEnd_(changes.size(), lines.firstEnd) {
        for (const IniChange& change : changes_)
            if (change.key.empty()) deletesSection_ = true;
    }

    // The size of the new file.
    std::size_t Run() {
        Emit(lines_.byteOrderMark);
        ini::LineReader reader(lines_);
        for (ini::Line line; reader.Next(line);) Take(line);
        EndOfFirstSection();
        return size_;
    }

private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    // A deletion of the whole section, or of every line: no change of its own.
    static constexpr std::size_t kEveryChange = kNone - 1;

    void Take(const ini::Line& line) {
        const ini::LineInfo info = ini::ClassifyLine(line.text);
        // Added keys go in before a blank line or the header that ends the section.
        const bool afterPlace = info.kind == ini::LineKind::Blank || (info.kind == ini::LineKind::Header && inSection_);
        const std::string_view end = line.end.empty() ? EndOfUnendedLine(afterPlace) : line.end;
        if (info.kind == ini::LineKind::Blank) {
            Emit(line.text, end);
            endKeptByFirst_ = end;
            return;
        }
        std::size_t deletedBy = section_.empty() ? kEveryChange : kNone;
        std::string rewritten;
        bool isRewritten = false;
        if (!inSection_) {
            if (info.kind == ini::LineKind::Header && ini::SameName(info.name, section_)) {
                inSection_ = true;
                if (deletesSection_ || section_.empty()) deletedBy = kEveryChange;
            }
        } else if (info.kind == ini::LineKind::Header) {
            EndOfFirstSection();
            inSection_ = false;
        } else if (info.kind == ini::LineKind::Entry) {
            if (deletesSection_) {
                deletedBy = kEveryChange;
            } else if (std::size_t i = ChangeFor(info.name); i != kNone) {
                rewritten.assign(line.text.substr(0, info.equals + 1));
                rewritten += changes_[i].value;
                isRewritten = true;
                if (changes_[i].value.empty() && deletedBy == kNone) deletedBy = i;
            }
        }
        if (deletedBy == kNone) {
            Emit(isRewritten ? std::string_view(rewritten) : line.text, end);
            FollowPlace(changes_.size(), end);
        } else if (deletedBy != kEveryChange) {
            // A key deleted after one is added was still there when that one
            // went in after it.
            FollowPlace(deletedBy, end);
        }
        if (deletedBy != 0 && deletedBy != kEveryChange) endKeptByFirst_ = end;
    }

    // Where each change, were it the first to add a key, would put it: after
    // the last non-blank line of the first section of the name (or of the
    // file) that the changes before it left.
    void FollowPlace(std::size_t changesBefore, std::string_view end) {
        if (missingWritten_) return;
        for (std::size_t f = 0; f < changesBefore; ++f) {
            placeAt_[f] = size_;
            placeEnd_[f] = end;
        }
    }

    std::size_t ChangeFor(std::string_view key) {
        for (std::size_t i = 0; i < changes_.size(); ++i) {
            if (!ini::SameName(key, changes_[i].key)) continue;
            found_[i] = true;
            return i;
        }
        return kNone;
    }

    // The first change that adds a key: the first section of the name lacks it.
    std::size_t FirstAddition() const {
        if (section_.empty() || deletesSection_) return kNone;
        for (std::size_t i = 0; i < changes_.size(); ++i)
            if (!found_[i] && !changes_[i].value.empty()) return i;
        return kNone;
    }

    // The file's unended last line takes the end of the line before it as
    // the first change alone leaves the file: an added line, when the first
    // change adds a key right in front of it.
    std::string_view EndOfUnendedLine(bool afterPlace) const {
        if (afterPlace && !missingWritten_ && FirstAddition() == 0 && placeAt_[0] == size_) return placeEnd_[0];
        return endKeptByFirst_.empty() ? lines_.firstEnd : endKeptByFirst_;
    }

    // At the end of the first section of the name (or of the file), the keys
    // it did not hold, in the order given; never again after that.
    void EndOfFirstSection() {
        if (missingWritten_) return;
        missingWritten_ = true;
        const std::size_t first = FirstAddition();
        if (first == kNone) return;
        const std::string_view end = placeEnd_[first];
        std::string added;
        if (!inSection_) added.append("[").append(section_).append("]").append(end);
        for (std::size_t i = first; i < changes_.size(); ++i)
            if (!found_[i] && !changes_[i].value.empty()) added.append(changes_[i].key).append("=").append(changes_[i].value).append(end);
        if (out_) out_->insert(placeAt_[first], added);
        size_ += added.size();
    }

    void Emit(std::string_view text, std::string_view end = {}) {
        if (out_) out_->append(text).append(end);
        size_ += text.size() + end.size();
    }

    const ini::Lines& lines_;
    const std::string& section_;
    const std::vector<IniChange>& changes_;
    std::string* out_;  // nothing when only counting
    std::size_t size_ = 0;
    std::vector<bool> found_;
    std::vector<std::size_t> placeAt_;
    std::vector<std::string_view> placeEnd_;
    // The end of the last line that the first change alone keeps.
    std::string_view endKeptByFirst_;
    bool deletesSection_ = false;
    bool inSection_ = false;
    bool missingWritten_ = false;
};

std::string_view Unquoted(std::string_view value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') return value.substr(1, value.size() - 2);
    return value;
}

}  // namespace

IniView::IniView(std::string_view bytes) : lines_(ini::SplitLines(bytes)) {}

std::string IniView::Refusal() const {
    if (lines_.lineCount <= ini::kMostLines) return {};
    return "more than " + std::to_string(ini::kMostLines) + " lines, far more than a configuration file holds";
}

std::string IniView::Value(const std::string& section, const std::string& key) const {
    if (lines_.lineCount > ini::kMostLines) return {};
    ini::LineReader reader(lines_);
    ini::Line line;
    // The first section of the name is the one read.
    for (;;) {
        if (!reader.Next(line)) return {};
        if (ini::OpeningOf(line.text) == ini::Opening::Header &&
            ini::SameName(ini::ClassifyLine(line.text).name, section))
            break;
    }
    while (reader.Next(line)) {
        const ini::Opening opening = ini::OpeningOf(line.text);
        if (opening == ini::Opening::Header) return {};
        if (opening == ini::Opening::Blank) continue;
        const ini::LineInfo info = ini::ClassifyLine(line.text);
        if (info.kind == ini::LineKind::Entry && ini::SameName(info.name, key)) return std::string(Unquoted(info.value));
    }
    return {};
}

Status IniView::Rewrite(const std::string& section, const std::vector<IniChange>& changes, std::string& replacement,
                        std::size_t limit) const {
    if (std::string refusal = Refusal(); !refusal.empty()) return Status::Fail(refusal);
    const std::size_t size = Rewriter(lines_, section, changes, nullptr).Run();
    if (size > limit)
        return Status::Fail("the file would grow to " + std::to_string(size) + " bytes, past the " +
                            std::to_string(limit) + " a configuration file may hold");
    replacement.clear();
    ReserveForFile(replacement, size);
    Rewriter(lines_, section, changes, &replacement).Run();
    return Status::Ok();
}

std::string IniView::Rewritten(const std::string& section, const std::vector<IniChange>& changes) const {
    std::string replacement;
    ReserveForFile(replacement, Rewriter(lines_, section, changes, nullptr).Run());
    Rewriter(lines_, section, changes, &replacement).Run();
    return replacement;
}

IniDocument::IniDocument() : IniDocument(std::string()) {}

IniDocument::IniDocument(std::string bytes)
    : bytes_(std::make_unique<const std::string>(std::move(bytes))), view_(*bytes_) {}

IniDocument IniDocument::Read(Platform& platform, const std::string& path, std::int64_t limit, std::string* problem,
                              bool* tooManyLines) {
    std::string reason;
    std::optional<std::string> bytes = ReadWholeFile(platform, path, limit, &reason);
    if (!bytes && problem && platform.Exists(path)) *problem = path + ": " + reason;
    IniDocument document(std::move(bytes).value_or(std::string()));
    if (std::string refusal = document.View().Refusal(); !refusal.empty()) {
        if (problem) *problem = path + ": " + refusal;
        if (tooManyLines) *tooManyLines = true;
        return IniDocument();
    }
    return document;
}

IniReading::IniReading(Platform& platform, std::string path, std::int64_t limit)
    : platform_(platform), path_(std::move(path)), limit_(limit) {}

const IniDocument& IniReading::Fresh() {
    // No lock for reading: a save puts the new file in place in one step, so
    // this reads the old file or the new one, whole.
    // The reading before goes first: two copies of a large file at once
    // would double what the program holds.
    latest_.reset();
    problem_.clear();
    tooManyLines_ = false;
    latest_ = IniDocument::Read(platform_, path_, limit_, &problem_, &tooManyLines_);
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
        return IniView(current.bytes).Rewrite(section, {IniChange {key, value}}, replacement);
    });
}

}  // namespace qp
