// Translation of the program's Catalan texts through its language file
// RootDir + "LOCALE\" + ProgramName + ".LNG", read once per run: the first
// text that needs it reads the whole file into an index, later texts are
// looked up there.
#pragma once

#include <optional>
#include <string>

#include "platform/platform.h"
#include "text/translation_index.h"

namespace qp {

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
