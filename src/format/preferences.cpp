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
    : own_(std::make_unique<IniReading>(platform, std::move(tarnIni), kLargeFileLimit)), tarnIni_(*own_) {}

UserPreferences::UserPreferences(IniReading& tarnIni) : tarnIni_(tarnIni) {}

char UserPreferences::DatCaracter() {
    if (!datCaracter_) datCaracter_ = FirstCharacterOr(tarnIni_.Latest().Value(kSection, "DatCaracter"), '/');
    return *datCaracter_;
}

std::string UserPreferences::DatOrdre() {
    if (!datOrdre_) {
        std::string order = tarnIni_.Latest().Value(kSection, "DatOrdre");
        order.resize(3, ' ');
        datOrdre_ = order == "   " ? "DMA" : order;
    }
    return *datOrdre_;
}

char UserPreferences::DecCaracter() {
    if (!decCaracter_) decCaracter_ = FirstCharacterOr(tarnIni_.Latest().Value(kSection, "DecCaracter"), '\'');
    return *decCaracter_;
}

char UserPreferences::MilCaracter() {
    if (!milCaracter_) milCaracter_ = FirstCharacterOr(tarnIni_.Latest().Value(kSection, "MilCaracter"), '.');
    return *milCaracter_;
}

}  // namespace qp
