// Numbers under edit masks ("Z9", "-Z,ZZZ,ZZ9.99", ...).
#pragma once

#include <string>
#include <string_view>

#include "format/preferences.h"

namespace qp {

std::string FormatNumber(UserPreferences& prefs, std::string_view mask, double value);
bool InvalidNumberText(std::string_view text, std::string_view mask);
std::string ZeroPadNumber(long long value, int width);

}  // namespace qp
