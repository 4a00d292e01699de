// The user's formatting preferences from Tarn.ini section Usuari, read the
// first time each is needed and kept for the rest of the run.
#pragma once

#include <optional>
#include <string>

#include "config/ini_file.h"
#include "platform/platform.h"

namespace qp {

class UserPreferences {
public:
    // tarnIni is MURROOT + "Tarn.ini".
    UserPreferences(Platform& platform, std::string tarnIni);

    char DatCaracter();     // date separator, default '/'
    std::string DatOrdre(); // 3 letters, default "DMA"
    char DecCaracter();     // decimal point, default '\''
    char MilCaracter();     // thousands separator, default '.'

private:
    const IniDocument& File();

    Platform& platform_;
    std::string tarnIni_;
    std::optional<char> datCaracter_;
    std::optional<std::string> datOrdre_;
    std::optional<char> decCaracter_;
    std::optional<char> milCaracter_;
    std::optional<IniDocument> file_;
};

}  // namespace qp
