// Packed dates (YYYYMMDD, two digits a byte, each byte 128 + value) and date texts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "format/preferences.h"

namespace qp {

std::string PackDigits(std::string_view digits);
std::string UnpackDigits(std::string_view packed);
std::int16_t DayOfWeek(std::string_view packedDate);  // 1 Monday .. 7 Sunday
std::int32_t DateDiff(std::string_view interval, std::string_view first, std::string_view second);
// mode -1 ISO, 0 numeric, 1 short month name, 2+ long text; parts "D", "M", "A" in any case.
std::string FormatDate(UserPreferences& prefs, const std::string& languageCode, std::string_view packedDate, int mode,
                       std::string_view parts);

}  // namespace qp
