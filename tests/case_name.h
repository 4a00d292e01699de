// Names of parameterised test cases as CTest lists them: made from the case's
// own words ("digit and its shifted sign" becomes DigitAndItsShiftedSign), so
// that they read well and stay the same from run to run, never the raw bytes
// of the parameter.
#pragma once

#include <string>
#include <string_view>

namespace qp {

inline std::string CaseName(std::string_view words) {
    std::string name;
    bool wordStart = true;
    for (char c : words) {
        const bool lower = c >= 'a' && c <= 'z';
        const bool alnum = lower || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!alnum) {
            wordStart = true;
            continue;
        }
        name += (wordStart && lower) ? static_cast<char>(c - 'a' + 'A') : c;
        wordStart = false;
    }
    return name.empty() ? std::string("Empty") : name;
}

}  // namespace qp
