#include "text/translation_index.h"

#include <algorithm>
#include <utility>

#include "text/field_reader.h"

namespace qp {

TranslationIndex::TranslationIndex(std::string bytes, int column) {
    // A key and one translation per record never take more than the file:
    // texts_ is filled without being moved, and only its used part is touched.
    texts_.reserve(bytes.size());
    FieldReader reader(std::move(bytes));
    while (!reader.AtEnd()) {
        std::string key = reader.ReadField();
        if (reader.AtEnd()) break;
        std::optional<std::string> texts[3];
        for (auto& text : texts) text = reader.NextField();
        // A record cut short by the end of the file leaves its text in
        // Catalan, as having no record does; it can only be the last one.
        if (!texts[2]) break;
        Add(key, *texts[column - 1]);
    }
    KeepFirstRecordOfEachKey();
}

void TranslationIndex::Add(const std::string& key, const std::string& text) {
    entries_.push_back({texts_.size(), key.size(), text.size()});
    texts_ += key;
    texts_ += text;
}

void TranslationIndex::KeepFirstRecordOfEachKey() {
    auto byKey = [this](const Entry& a, const Entry& b) { return KeyOf(a) < KeyOf(b); };
    auto sameKey = [this](const Entry& a, const Entry& b) { return KeyOf(a) == KeyOf(b); };
    // Stable: the records of one key stay in file order, the first in front
    // (their places in texts_ need not differ: empty records take none).
    std::stable_sort(entries_.begin(), entries_.end(), byKey);
    entries_.erase(std::unique(entries_.begin(), entries_.end(), sameKey), entries_.end());
}

std::string_view TranslationIndex::KeyOf(const Entry& entry) const {
    return std::string_view(texts_).substr(entry.keyAt, entry.keyLength);
}

std::string_view TranslationIndex::TextOf(const Entry& entry) const {
    return std::string_view(texts_).substr(entry.keyAt + entry.keyLength, entry.textLength);
}

std::optional<std::string_view> TranslationIndex::Find(std::string_view catalan) const {
    auto found = std::lower_bound(entries_.begin(), entries_.end(), catalan,
                                  [this](const Entry& entry, std::string_view key) { return KeyOf(entry) < key; });
    if (found == entries_.end() || KeyOf(*found) != catalan) return std::nullopt;
    return TextOf(*found);
}

}  // namespace qp
