// Configuration files rewritten: setting a value and reading it back gives
// the value written, every other entry of the file reads as before, writing
// the same value again changes nothing, and a line not changed keeps its
// bytes and its own end. One change gives the bytes of the rewrite as the
// format describes it, line by line; several keys changed in one pass give
// the bytes of one change after another. The size counted before a rewrite
// is the size made.
#include <algorithm>
#include <set>
#include <vector>
#include <utility>

#include "config/ini_file.h"
#include "config/ini_lines.h"
#include "fuzz_support.h"
#include "text/cp850.h"

using namespace qp;

namespace {

std::string Trimmed(std::string_view text) {
    std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

std::string Name(std::string_view text) { return UpperForCompare(Trimmed(text)); }

// Every (section, key) that has an entry, by the names the reader compares.
std::set<std::pair<std::string, std::string>> Entries(std::string_view bytes) {
    std::set<std::pair<std::string, std::string>> entries;
    std::string section;
    bool inSection = false;
    const ini::Lines lines = ini::SplitLines(bytes);
    ini::LineReader reader(lines);
    for (ini::Line line; reader.Next(line);) {
        const ini::LineInfo info = ini::ClassifyLine(line.text);
        if (info.kind == ini::LineKind::Header) {
            section = std::string(info.name);
            inSection = true;
        } else if (info.kind == ini::LineKind::Entry && inSection) {
            entries.emplace(section, std::string(info.name));
        }
    }
    return entries;
}

std::string Unquoted(const std::string& value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') return value.substr(1, value.size() - 2);
    return value;
}

// Names and values that the format can write as given: a section without
// "]", a key without "=" that does not look like a header, nothing that
// starts a comment or ends a line or the file.
bool Writable(const std::string& section, const std::string& key, const std::string& value) {
    constexpr std::string_view kNever = ";\r\n\x1A";
    if (section.find_first_of(kNever) != std::string::npos || section.find(']') != std::string::npos) return false;
    if (key.find_first_of(kNever) != std::string::npos || key.find('=') != std::string::npos) return false;
    if (value.find_first_of(kNever) != std::string::npos) return false;
    std::size_t first = key.find_first_not_of(' ');
    return first == std::string::npos || key[first] != '[';
}

// One change as the format describes it, line by line: blank lines held back
// until the next line that stays, the new entry written before them.
std::string ModelRewrite(std::string_view bytes, const std::string& section, const IniChange& change) {
    const std::vector<IniChange> changes {change};
    const ini::Lines lines = ini::SplitLines(bytes);
    std::string out(lines.byteOrderMark);
    std::string_view lastEnd;
    auto write = [&](std::string_view text, std::string_view end) {
        if (end.empty()) end = lastEnd.empty() ? lines.firstEnd : lastEnd;
        out.append(text).append(end);
        lastEnd = end;
    };
    const bool deletesSection = std::any_of(changes.begin(), changes.end(), [](const IniChange& c) { return c.key.empty(); });
    std::vector<bool> found(changes.size(), false);
    bool inSection = false, missingWritten = false;
    std::vector<ini::Line> held;
    auto writeMissing = [&] {
        if (missingWritten) return;
        missingWritten = true;
        if (section.empty() || deletesSection) return;
        bool header = inSection;
        for (std::size_t i = 0; i < changes.size(); ++i) {
            if (found[i] || changes[i].value.empty()) continue;
            if (!header) write("[" + section + "]", {});
            header = true;
            write(changes[i].key + "=" + changes[i].value, {});
        }
    };
    ini::LineReader reader(lines);
    for (ini::Line line; reader.Next(line);) {
        const ini::LineInfo info = ini::ClassifyLine(line.text);
        if (info.kind == ini::LineKind::Blank) {
            held.push_back(line);
            continue;
        }
        bool remove = section.empty();
        std::string text(line.text);
        if (!inSection) {
            if (info.kind == ini::LineKind::Header && ini::SameName(info.name, section)) {
                inSection = true;
                remove = remove || deletesSection;
            }
        } else if (info.kind == ini::LineKind::Header) {
            writeMissing();
            inSection = false;
        } else if (info.kind == ini::LineKind::Entry) {
            for (std::size_t i = 0; i < changes.size() && !deletesSection; ++i) {
                if (!ini::SameName(info.name, changes[i].key)) continue;
                found[i] = true;
                text = std::string(line.text.substr(0, info.equals + 1)) + changes[i].value;
                remove = remove || changes[i].value.empty();
                break;
            }
            remove = remove || deletesSection;
        }
        if (remove) continue;
        for (const ini::Line& blank : held) write(blank.text, blank.end);
        held.clear();
        write(text, line.end);
    }
    writeMissing();
    for (const ini::Line& blank : held) write(blank.text, blank.end);
    return out;
}

// Keys that differ by the names the reader compares, for a batch.
std::vector<IniChange> DistinctKeys(std::vector<IniChange> changes) {
    std::vector<IniChange> distinct;
    std::set<std::string> names;
    for (IniChange& change : changes)
        if (names.insert(Name(change.key)).second) distinct.push_back(std::move(change));
    return distinct;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string section = in.ConsumeRandomLengthString(32);
    const std::string key = in.ConsumeRandomLengthString(32);
    const std::string value = in.ConsumeRandomLengthString(32);
    std::vector<IniChange> batch;
    for (int n = in.ConsumeIntegralInRange(0, 4); n > 0; --n)
        batch.push_back({in.ConsumeRandomLengthString(16), in.ConsumeRandomLengthString(16)});
    const std::string bytes = in.ConsumeRemainingBytesAsString();

    const std::string written = RewriteIniValue(bytes, section, key, value);
    fuzz::Check(written == ModelRewrite(bytes, section, IniChange {key, value}), "the rewrite differs from its model");
    std::string bounded;
    const Status fits = IniView(bytes).Rewrite(section, {IniChange {key, value}}, bounded, written.size());
    fuzz::Check(fits.ok && bounded == written, "the rewrite does not fit the size it counted");
    if (!written.empty())
        fuzz::Check(!IniView(bytes).Rewrite(section, {IniChange {key, value}}, bounded, written.size() - 1).ok,
                    "a rewrite larger than its bound was made");

    // A batch of keys the format can write, each once: one change after
    // another then never meets a line that an earlier change made.
    batch.erase(std::remove_if(batch.begin(), batch.end(),
                               [&](const IniChange& c) { return c.key.empty() || !Writable(section, c.key, c.value); }),
                batch.end());
    batch = DistinctKeys(std::move(batch));
    if (!batch.empty() && !section.empty() && Writable(section, "k", "")) {
        std::string oneByOne = bytes;
        for (const IniChange& change : batch) oneByOne = RewriteIniValue(oneByOne, section, change.key, change.value);
        const std::string together = IniView(bytes).Rewritten(section, batch);
        fuzz::Check(together == oneByOne, "a batch differs from one change after another");
    }

    if (section.empty() || key.empty() || !Writable(section, key, value)) return 0;

    fuzz::Check(ReadIniValue(written, section, key) == Unquoted(value), "the value written is not read back");
    const std::string sectionName = Name(section);
    const std::string keyName = Name(key);
    for (const auto& [s, k] : Entries(bytes)) {
        if (Name(s) == sectionName && Name(k) == keyName) continue;
        fuzz::Check(ReadIniValue(written, s, k) == ReadIniValue(bytes, s, k),
                    "entry [" + s + "] " + k + " changed by writing another");
    }
    fuzz::Check(RewriteIniValue(written, section, key, value) == written, "writing the same value again changed the file");
    // Every line that ends stays in the new file with its own end, in order.
    std::size_t from = 0;
    const ini::Lines lines = ini::SplitLines(bytes);
    ini::LineReader lineReader(lines);
    for (ini::Line line; lineReader.Next(line);) {
        if (line.end.empty() || ini::ClassifyLine(line.text).kind == ini::LineKind::Entry) continue;
        std::string whole = std::string(line.text) + std::string(line.end);
        std::size_t at = written.find(whole, from);
        fuzz::Check(at != std::string::npos, "a line not changed lost its bytes or its end");
        from = at + whole.size();
    }
    return 0;
}
