#include "text/language.h"

#include <utility>

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
