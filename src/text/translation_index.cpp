#include "text/translation_index.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

#include "text/field_reader.h"

namespace qp {
namespace {

constexpr char kEnd = 0x1A;
// Records of a key already kept are most often met again soon (a file of
// one record repeated): a small table of recent keys drops them as they are
// read, so that they cost neither memory nor sorting.
constexpr std::size_t kRecentKeys = 4096;
constexpr std::uint32_t kNoKey = std::numeric_limits<std::uint32_t>::max();

std::size_t RecentSlot(std::string_view key) {
    std::uint32_t hash = 2166136261u;
    for (char c : key) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    return hash % kRecentKeys;
}

}  // namespace

TranslationIndex::TranslationIndex(std::string bytes, int column) {
    const std::size_t records = ReadRecords(std::move(bytes), column);
    KeepFirstRecordOfEachKey(records);
}

std::size_t TranslationIndex::ReadRecords(std::string bytes, int column) {
    // A key, one translation and their two ends never take more than the
    // record's four fields and three separators, and a last key cut short
    // one byte more than its field: texts_ stays within the file, and the
    // fields are read straight into it.
    texts_.reserve(bytes.size() + 1);
    FieldReader reader(std::move(bytes));
    std::vector<std::uint32_t> recent(kRecentKeys, kNoKey);
    std::size_t records = 0;
    while (!reader.AtEnd() && texts_.size() < kNoKey) {
        const std::size_t at = texts_.size();
        reader.AppendField(texts_);
        texts_ += kEnd;
        bool complete = !reader.AtEnd();
        for (int field = 1; field <= 3 && complete; ++field)
            complete = field == column ? reader.AppendField(texts_) : reader.SkipField();
        // A record cut short by the end of the file leaves its text in
        // Catalan, as having no record does; it can only be the last one.
        if (!complete) {
            texts_.resize(at);
            break;
        }
        texts_ += kEnd;
        const auto record = static_cast<std::uint32_t>(at);
        if (IsKeptBefore(record, recent)) {
            texts_.resize(at);
            continue;
        }
        recent[RecentSlot(KeyAt(record))] = record;
        ++records;
    }
    return records;
}

bool TranslationIndex::IsKeptBefore(std::uint32_t record, const std::vector<std::uint32_t>& recent) const {
    const std::string_view key = KeyAt(record);
    const std::uint32_t kept = recent[RecentSlot(key)];
    return kept != kNoKey && KeyAt(kept) == key;
}

void TranslationIndex::KeepFirstRecordOfEachKey(std::size_t records) {
    // The file's bytes are gone by now: the keys take their place.
    texts_.shrink_to_fit();
    keys_.reserve(records);
    for (std::size_t at = 0; at < texts_.size(); at = texts_.find(kEnd, texts_.find(kEnd, at) + 1) + 1)
        keys_.push_back(static_cast<std::uint32_t>(at));
    // By key, and the records of one key in file order: the first in front.
    std::sort(keys_.begin(), keys_.end(), [this](std::uint32_t a, std::uint32_t b) { return RecordBefore(a, b); });
    keys_.erase(std::unique(keys_.begin(), keys_.end(),
                            [this](std::uint32_t a, std::uint32_t b) { return KeyAt(a) == KeyAt(b); }),
                keys_.end());
    keys_.shrink_to_fit();
}

bool TranslationIndex::RecordBefore(std::uint32_t a, std::uint32_t b) const {
    // Byte by byte to the first difference, a key's end counting as less
    // than any byte: the order of the keys as texts, which Find uses.
    const auto* p = reinterpret_cast<const unsigned char*>(texts_.data()) + a;
    const auto* q = reinterpret_cast<const unsigned char*>(texts_.data()) + b;
    while (*p == *q && *p != kEnd) ++p, ++q;
    if (*p == *q) return a < b;
    if (*p == kEnd || *q == kEnd) return *p == kEnd;
    return *p < *q;
}

std::string_view TranslationIndex::KeyAt(std::uint32_t at) const {
    const char* start = texts_.data() + at;
    const auto* end = static_cast<const char*>(std::memchr(start, kEnd, texts_.size() - at));
    return std::string_view(start, static_cast<std::size_t>(end - start));
}

std::string_view TranslationIndex::TextAt(std::uint32_t at) const {
    return KeyAt(static_cast<std::uint32_t>(at + KeyAt(at).size() + 1));
}

std::optional<std::string_view> TranslationIndex::Find(std::string_view catalan) const {
    auto found = std::lower_bound(keys_.begin(), keys_.end(), catalan,
                                  [this](std::uint32_t at, std::string_view key) { return KeyAt(at) < key; });
    if (found == keys_.end() || KeyAt(*found) != catalan) return std::nullopt;
    return TextAt(*found);
}

}  // namespace qp
