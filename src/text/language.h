// Translation of the program's Catalan texts through its language file
// RootDir + "LOCALE\" + ProgramName + ".LNG". The file is read into an index
// once, and read again only when it is no longer the file indexed: each text
// looks at the file's stamp (which file, its size, when it was written), one
// look at its entry and no read, so that a translation added on the server
// while the program runs is used from the next text on. A file that took a
// tenth of a second or more to read is looked at again only after ten times
// that long: one that another user keeps changing costs at most a tenth of
// the program's time, not a whole read for every text.
#pragma once

#include <optional>
#include <string>

#include "platform/platform.h"
#include "text/translation_index.h"

namespace qp {

// No text of the program is longer than the screen holds (80 x 25): a longer
// translation is cut there, so that a text said once for every argument, row
// or key costs what a screen does, not what the language file does.
constexpr std::size_t kLongestTranslation = 80 * 25;

class Translator {
public:
    Translator(Platform& platform, std::string rootDir, std::string languageCode, std::string programName);
    std::string Translate(const std::string& catalan);

private:
    void LoadLanguageFile();
    void ReadLanguageFile();
    bool QuietTimeOver();

    Platform& platform_;
    std::string path_;
    std::string languageCode_;
    bool loaded_ = false;
    // The file as it was read; nothing when there was none (it is made again
    // at the next text, for every language but Catalan).
    std::optional<FileStamp> stamp_;
    // When the last read ended, and how long after it the file is not
    // looked at again (hundredths of a second; 0 after a quick read).
    std::int64_t readEnded_ = 0;
    std::int64_t quietTime_ = 0;
    // Nothing for a language without a column, or a file that could not be read.
    std::optional<TranslationIndex> index_;
};

}  // namespace qp
