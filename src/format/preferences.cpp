#include "format/preferences.h"

#include <utility>

#include "config/ini_file.h"

namespace qp {

namespace {

const char* const kSection = "Usuari";

// The first character of the value, or the default when the value is empty
// or begins with a blank.
char FirstCharacterOr(const std::string& value, char fallback) {
    return value.empty() || value.front() == ' ' ? fallback : value.front();
}

}  // namespace

UserPreferences::UserPreferences(Platform& platform, std::string tarnIni)
    : platform_(platform), tarnIni_(std::move(tarnIni)) {}

// Tarn.ini is read once, at the first preference needed, for all of them.
const IniDocument& UserPreferences::File() {
    if (!file_) file_ = IniDocument::Read(platform_, tarnIni_, kLargeFileLimit);
    return *file_;
}

char UserPreferences::DatCaracter() {
    if (!datCaracter_) datCaracter_ = FirstCharacterOr(File().Value(kSection, "DatCaracter"), '/');
    return *datCaracter_;
}

std::string UserPreferences::DatOrdre() {
    if (!datOrdre_) {
        std::string order = File().Value(kSection, "DatOrdre");
        order.resize(3, ' ');
        datOrdre_ = order == "   " ? "DMA" : order;
    }
    return *datOrdre_;
}

char UserPreferences::DecCaracter() {
    if (!decCaracter_) decCaracter_ = FirstCharacterOr(File().Value(kSection, "DecCaracter"), '\'');
    return *decCaracter_;
}

char UserPreferences::MilCaracter() {
    if (!milCaracter_) milCaracter_ = FirstCharacterOr(File().Value(kSection, "MilCaracter"), '.');
    return *milCaracter_;
}

}  // namespace qp
