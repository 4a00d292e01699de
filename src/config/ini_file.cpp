#include "config/ini_file.h"

#include <optional>
#include <string_view>
#include <vector>

#include "config/ini_lines.h"

namespace qp {
namespace {

// Bounds on the two repetitions of a rewrite: drawing a temporary name that
// is not taken, and putting the copy in place while another program holds the file.
constexpr int kTemporaryNameAttempts = 100;
constexpr int kReplaceAttempts = 5;
constexpr int kReplaceRetryMs = 200;

std::string_view Unquoted(std::string_view value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') return value.substr(1, value.size() - 2);
    return value;
}

// The path up to and including its last ":", "\" or "/"; empty for a bare name.
std::string DirectoryPart(const std::string& path) {
    std::size_t cut = path.find_last_of(":\\/");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
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
        for (std::string_view line : ini::SplitLines(original)) Take(line);
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
        out_ += "\r\n";
    }

    const Request& request_;
    bool inSection_ = false;
    bool written_ = false;
    std::vector<std::string_view> held_;
    std::string out_;
};

Status Failure(const std::string& what, const std::string& path, const std::string& reason) {
    return Status::Fail(what + " " + path + ": " + reason);
}

// A name in the file's directory that no file has yet.
std::optional<std::string> PickTemporaryName(Platform& platform, const std::string& path) {
    std::string directory = DirectoryPart(path);
    Random random(static_cast<std::uint64_t>(platform.HundredthsSinceMidnight()));
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        std::string name = directory;
        for (int digit = 0; digit < 8; ++digit) name += static_cast<char>('0' + random.Below(10));
        name += ".tmp";
        if (!platform.Exists(name)) return name;
    }
    return std::nullopt;
}

// One attempt: the rewritten copy of the current file, written to `temporary`
// and flushed to disk. Sets `created` once `temporary` exists.
Status WriteCopy(Platform& platform, const std::string& path, const std::string& temporary, const Request& request,
                 bool& created) {
    std::string reason;
    auto copy = platform.Open(temporary, OpenMode::CreateExclusive, &reason);
    if (!copy) return Failure("cannot create the temporary file", temporary, reason);
    created = true;

    // Opening for writing proves the file may be rewritten, and makes a missing one.
    if (!platform.Open(path, OpenMode::ReadWriteShared, &reason))
        return Failure("cannot open", path, reason);
    std::optional<std::string> original = ReadWholeFile(platform, path);
    if (!original) return Failure("cannot read", path, "read error");

    std::string bytes = Rewriter(request).Run(*original);
    Status status = copy->WriteAt(0, bytes.data(), bytes.size());
    if (status) status = copy->Sync();
    if (!status) return Failure("cannot write the temporary file", temporary, status.reason);
    return Status::Ok();
}

}  // namespace

std::string ReadIniKey(Platform& platform, const std::string& path, const std::string& section,
                       const std::string& key) {
    std::optional<std::string> bytes = ReadWholeFile(platform, path);
    if (!bytes) return {};
    bool inSection = false;
    for (std::string_view line : ini::SplitLines(*bytes)) {
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

Status WriteIniKey(Platform& platform, const std::string& path, const std::string& section, const std::string& key,
                   const std::string& value) {
    std::optional<std::string> temporary = PickTemporaryName(platform, path);
    if (!temporary) return Failure("no free temporary file name beside", path, "all names tried are taken");

    bool existedBefore = platform.Exists(path);
    auto undoCreation = [&] {
        // A file that only this call created goes again, so that nothing is left changed.
        if (!existedBefore && platform.Exists(path)) platform.Remove(path);
    };
    Request request {section, key, value};
    std::string replaceReason;
    for (int attempt = 0; attempt < kReplaceAttempts; ++attempt) {
        if (attempt > 0) platform.SleepMilliseconds(kReplaceRetryMs);
        bool created = false;
        Status copied = WriteCopy(platform, path, *temporary, request, created);
        if (!copied) {
            if (created) platform.Remove(*temporary);
            undoCreation();
            return copied;
        }
        Status replaced = platform.Replace(*temporary, path);
        if (replaced) return Status::Ok();
        replaceReason = replaced.reason;
        platform.Remove(*temporary);
    }
    undoCreation();
    return Failure("cannot put the new copy in place of", path, replaceReason);
}

}  // namespace qp
