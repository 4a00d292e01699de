// The index of one language's column of a language file, built from its
// bytes: the Catalan key of every complete record with its translation.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qp {

// One language's column of a language file: the Catalan key of every complete
// record with its translation in that column. Only the first record of a key
// counts, as in a scan from the top that stops at the first match.
class TranslationIndex {
public:
    // `column` is the translation's position after the key: 1 Galician,
    // 2 Occitan, 3 Spanish.
    TranslationIndex(std::string bytes, int column);
    // The translation of `catalan`; nothing when no complete record has it.
    std::optional<std::string_view> Find(std::string_view catalan) const;

private:
    struct Entry {
        std::size_t keyAt;
        std::size_t keyLength;
        std::size_t textLength;  // the translation follows its key in texts_
    };

    void Add(const std::string& key, const std::string& text);
    void KeepFirstRecordOfEachKey();
    std::string_view KeyOf(const Entry& entry) const;
    std::string_view TextOf(const Entry& entry) const;

    // Each key followed at once by its translation, one column only, so that
    // the index takes at most the file's size plus a few words per record.
    std::string texts_;
    std::vector<Entry> entries_;  // sorted by key, one per key
};

}  // namespace qp
