// The user's formatting preferences from Tarn.ini section Usuari, taken the
// first time each is needed and kept for the rest of the run: the number
// preferences from the run's latest reading (the one start-up made), the date
// preferences together from a reading of their own at the first date.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "config/ini_file.h"
#include "platform/platform.h"

namespace qp {

class UserPreferences {
public:
    // tarnIni is MURROOT + "Tarn.ini".
    UserPreferences(Platform& platform, std::string tarnIni);
    // From the run's reading of Tarn.ini, shared with its other readers.
    explicit UserPreferences(IniReading& tarnIni);

    char DatCaracter();     // date separator, default '/'
    std::string DatOrdre(); // 3 letters, default "DMA"
    char DecCaracter();     // decimal point, default '\''
    char MilCaracter();     // thousands separator, default '.'

private:
    void LoadDatePreferences();

    std::unique_ptr<IniReading> own_;
    IniReading& tarnIni_;
    std::optional<char> datCaracter_;
    std::optional<std::string> datOrdre_;
    std::optional<char> decCaracter_;
    std::optional<char> milCaracter_;
};

}  // namespace qp
