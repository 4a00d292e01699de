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

constexpr std::int64_t kHundredthsPerDay = 24 * 60 * 60 * 100;
// A read this long (hundredths) or longer is a slow one: the file is looked
// at again only after ten times as long. A quicker read is not timed: a tick
// of the clock may fall within a read of a few bytes.
constexpr std::int64_t kSlowRead = 10;
constexpr std::int64_t kQuietTimesReadTime = 10;

// Hundredths from `from` to `to` on the clock that starts again at midnight.
std::int64_t HundredthsBetween(std::int64_t from, std::int64_t to) {
    return to >= from ? to - from : to + kHundredthsPerDay - from;
}

}  // namespace

Translator::Translator(Platform& platform, std::string rootDir, std::string languageCode, std::string programName)
    : platform_(platform),
      path_(std::move(rootDir) + "LOCALE\\" + programName + ".LNG"),
      languageCode_(std::move(languageCode)) {}

std::string Translator::Translate(const std::string& catalan) {
    if (languageCode_ == "CAT") return catalan;
    if (!loaded_ || (QuietTimeOver() && (!stamp_ || platform_.Stamp(path_) != stamp_))) LoadLanguageFile();
    if (!index_) return catalan;
    std::optional<std::string_view> translation = index_->Find(catalan);
    return translation ? std::string(translation->substr(0, kLongestTranslation)) : catalan;
}

bool Translator::QuietTimeOver() {
    return quietTime_ == 0 || HundredthsBetween(readEnded_, platform_.HundredthsSinceMidnight()) >= quietTime_;
}

void Translator::LoadLanguageFile() {
    const std::int64_t started = platform_.HundredthsSinceMidnight();
    ReadLanguageFile();
    readEnded_ = platform_.HundredthsSinceMidnight();
    const std::int64_t took = HundredthsBetween(started, readEnded_);
    quietTime_ = took >= kSlowRead ? kQuietTimesReadTime * took : 0;
}

void Translator::ReadLanguageFile() {
    loaded_ = true;
    index_.reset();
    // An existing file is only read; a missing one is made empty, for every
    // language but Catalan, even one without a column, and never through a
    // link: the LOCALE folder is shared.
    std::unique_ptr<File> file = platform_.Open(path_, OpenMode::ReadCreating);
    // A file that cannot be used (a folder, a FIFO, too large) is not tried
    // again until it changes.
    stamp_ = file ? file->Stamp() : platform_.Stamp(path_);
    const int column = ColumnOf(languageCode_);
    if (!file || column == 0) return;
    // Read after the stamp was taken: a change made meanwhile is read again.
    std::optional<std::string> bytes = ReadWholeFile(*file, kLargeFileLimit);
    if (bytes) index_.emplace(std::move(*bytes), column);
}

}  // namespace qp
