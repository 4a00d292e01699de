// Configuration files rewritten: setting a value and reading it back gives
// the value written, every other entry of the file reads as before, writing
// the same value again changes nothing, and a line not changed keeps its
// bytes and its own end. Several keys changed in one pass give the bytes of
// one change after another.
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
    for (const ini::Line& line : lines.lines) {
        const ini::LineInfo info = ini::ClassifyLine(lines.Text(line));
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

    batch = DistinctKeys(std::move(batch));
    if (!section.empty() && std::none_of(batch.begin(), batch.end(), [](const IniChange& c) { return c.key.empty(); })) {
        std::string oneByOne = bytes;
        for (const IniChange& change : batch) oneByOne = RewriteIniValue(oneByOne, section, change.key, change.value);
        fuzz::Check(IniView(bytes).Rewritten(section, batch) == oneByOne, "a batch differs from one change after another");
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
    for (const ini::Line& line : lines.lines) {
        if (line.endLength == 0 || line.kind == ini::LineKind::Entry) continue;
        std::string whole = std::string(lines.Text(line)) + std::string(lines.End(line));
        std::size_t at = written.find(whole, from);
        fuzz::Check(at != std::string::npos, "a line not changed lost its bytes or its end");
        from = at + whole.size();
    }
    return 0;
}
