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

// The first date shown is an operation of its own, often long after start-up:
// the file is read again then, once for both date preferences, so that a
// change made meanwhile on another workstation is seen.
void UserPreferences::LoadDatePreferences() {
    const IniDocument& file = tarnIni_.Fresh();
    datCaracter_ = FirstCharacterOr(file.Value(kSection, "DatCaracter"), '/');
    std::string order = file.Value(kSection, "DatOrdre");
    order.resize(3, ' ');
    datOrdre_ = order == "   " ? "DMA" : order;
}

char UserPreferences::DatCaracter() {
    if (!datCaracter_) LoadDatePreferences();
    return *datCaracter_;
}

std::string UserPreferences::DatOrdre() {
    if (!datOrdre_) LoadDatePreferences();
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
