#include "session/language.h"

#include <algorithm>
#include <utility>

#include "text/field_reader.h"

namespace qp {
namespace {

// Position of the language's text in a record (the Catalan key is field 0);
// 0 for a code that has no column.
int ColumnOf(const std::string& languageCode) {
    if (languageCode == "GLG") return 1;
    if (languageCode == "OCI") return 2;
    if (languageCode == "SPA") return 3;
    return 0;
}

}  // namespace

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

Translator::Translator(Platform& platform, std::string rootDir, std::string languageCode, std::string programName)
    : platform_(platform),
      rootDir_(std::move(rootDir)),
      languageCode_(std::move(languageCode)),
      programName_(std::move(programName)) {}

std::string Translator::Translate(const std::string& catalan) {
    if (languageCode_ == "CAT") return catalan;
    if (!loaded_) LoadLanguageFile();
    if (!index_) return catalan;
    std::optional<std::string_view> translation = index_->Find(catalan);
    return translation ? std::string(*translation) : catalan;
}

void Translator::LoadLanguageFile() {
    loaded_ = true;
    std::string path = rootDir_ + "LOCALE\\" + programName_ + ".LNG";
    // Opening for writing makes an empty file when there is none yet, for
    // every language but Catalan, even one without a column.
    platform_.Open(path, OpenMode::ReadWriteShared);
    int column = ColumnOf(languageCode_);
    if (column == 0) return;
    // A file that cannot be read leaves every text in Catalan for the run.
    std::optional<std::string> bytes = ReadWholeFile(platform_, path, kLargeFileLimit);
    if (bytes) index_.emplace(std::move(*bytes), column);
}

}  // namespace qp
