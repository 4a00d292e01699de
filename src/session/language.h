// Translation of the program's Catalan texts through its language file
// RootDir + "LOCALE\" + ProgramName + ".LNG", read once per run: the first
// text that needs it reads the whole file into an index, later texts are
// looked up there.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

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

class Translator {
public:
    Translator(Platform& platform, std::string rootDir, std::string languageCode, std::string programName);
    std::string Translate(const std::string& catalan);

private:
    void LoadLanguageFile();

    Platform& platform_;
    std::string rootDir_;
    std::string languageCode_;
    std::string programName_;
    bool loaded_ = false;
    // Nothing for a language without a column, or a file that could not be read.
    std::optional<TranslationIndex> index_;
};

}  // namespace qp
