// Configuration files rewritten: setting a value and reading it back gives
// the value written, every other entry of the file reads as before, and
// writing the same value again changes nothing.
#include <set>
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
    for (std::string_view line : ini::SplitLines(bytes).lines) {
        ini::LineInfo info = ini::ClassifyLine(line);
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string section = in.ConsumeRandomLengthString(32);
    const std::string key = in.ConsumeRandomLengthString(32);
    const std::string value = in.ConsumeRandomLengthString(32);
    const std::string bytes = in.ConsumeRemainingBytesAsString();

    const std::string written = RewriteIniValue(bytes, section, key, value);
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
    return 0;
}
