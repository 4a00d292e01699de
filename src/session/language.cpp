#include "session/language.h"

#include <optional>
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

Translator::Translator(Platform& platform, std::string rootDir, std::string languageCode, std::string programName)
    : platform_(platform),
      rootDir_(std::move(rootDir)),
      languageCode_(std::move(languageCode)),
      programName_(std::move(programName)) {}

std::string Translator::Translate(const std::string& catalan) {
    if (languageCode_ == "CAT") return catalan;
    std::string path = rootDir_ + "LOCALE\\" + programName_ + ".LNG";
    // Opening for writing makes an empty file when there is none yet.
    platform_.Open(path, OpenMode::ReadWriteShared);
    std::optional<std::string> bytes = ReadWholeFile(platform_, path, kLargeFileLimit);
    if (!bytes) return catalan;

    int column = ColumnOf(languageCode_);
    FieldReader reader(std::move(*bytes));
    while (!reader.AtEnd()) {
        std::string key = reader.ReadField();
        if (reader.AtEnd()) break;
        std::optional<std::string> texts[3];
        for (auto& text : texts) text = reader.NextField();
        if (key != catalan) continue;
        // A record cut short by the end of the file does not count.
        if (!texts[2]) break;
        return column == 0 ? catalan : *texts[column - 1];
    }
    return catalan;
}

}  // namespace qp
