// The index of one language's column of a language file, built from its
// bytes: the Catalan key of every complete record with its translation.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qp {

// One language's column of a language file: the Catalan key of every complete
// record with its translation in that column. Only the first record of a key
// counts, as in a scan from the top that stops at the first match. It takes
// at most twice the file's size while it is built, and less after, whatever
// the file holds: four bytes per key beside the key and the one translation.
class TranslationIndex {
public:
    // `column` is the translation's position after the key: 1 Galician,
    // 2 Occitan, 3 Spanish.
    TranslationIndex(std::string bytes, int column);
    // The translation of `catalan`; nothing when no complete record has it.
    std::optional<std::string_view> Find(std::string_view catalan) const;

private:
    // Reads the records into texts_; gives their number.
    std::size_t ReadRecords(std::string bytes, int column);
    // A record whose key a record shortly before already has.
    bool IsKeptBefore(std::uint32_t record, const std::vector<std::uint32_t>& recent) const;
    void KeepFirstRecordOfEachKey(std::size_t records);
    // The order of the index: by key, then by place in the file.
    bool RecordBefore(std::uint32_t a, std::uint32_t b) const;
    std::string_view KeyAt(std::uint32_t at) const;
    std::string_view TextAt(std::uint32_t at) const;

    // Each record kept as its key and its translation, each followed by a
    // Ctrl-Z: the one byte no field holds, since it ends the file.
    std::string texts_;
    std::vector<std::uint32_t> keys_;  // where each key starts in texts_, sorted by key, one per key
};

}  // namespace qp
