// Number masks and number texts: a formatted number is exactly as wide as its
// mask whatever the value and separators, a whole number padded with zeros is
// exactly its width, and a text that formatting produced for a plain mask is
// accepted as a number for it.
#include <algorithm>
#include <cmath>

#include "format/numbers.h"
#include "fuzz_support.h"

using namespace qp;

namespace {

// A sign only in front, digits, at most one point: the masks typed numbers are checked against.
bool PlainMask(std::string_view mask) {
    if (!mask.empty() && (mask.front() == '-' || mask.front() == '+')) mask.remove_prefix(1);
    if (mask.find_first_not_of("9Zz.") != std::string_view::npos) return false;
    return std::count(mask.begin(), mask.end(), '.') <= 1;
}

// Tarn.ini files with other separators, written once.
const std::string& Preferences(std::size_t which) {
    static const std::vector<std::string> paths =
        fuzz::TarnInis("prefs", {"", "[Usuari]\r\nDecCaracter=,\r\nMilCaracter=.\r\n",
                                 "[Usuari]\r\nDecCaracter=.\r\nMilCaracter= \r\n",
                                 "[Usuari]\r\nDecCaracter=\x82\r\nMilCaracter=Z\r\n"});
    return paths[which];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::size_t which = in.ConsumeIntegralInRange<std::size_t>(0, 3);
    const int width = in.ConsumeIntegralInRange(-2, 40);
    const long long whole = in.ConsumeIntegral<long long>();
    double value = in.ConsumeFloatingPoint<double>();
    if (in.ConsumeBool()) value = static_cast<double>(in.ConsumeIntegralInRange(-100000000, 100000000)) / 1000;
    const std::string mask = in.ConsumeRandomLengthString(40);
    const std::string text = in.ConsumeRemainingBytesAsString();

    SystemPlatform platform;
    UserPreferences prefs(platform, Preferences(which));
    const std::string shown = FormatNumber(prefs, mask, value);
    fuzz::Check(shown.size() == mask.size(),
                "\"" + mask + "\" gave \"" + shown + "\" for " + std::to_string(value));
    InvalidNumberText(text, mask);
    InvalidNumberText(shown, mask);

    const std::string padded = ZeroPadNumber(whole, width);
    fuzz::Check(padded.size() == static_cast<std::size_t>(std::max(width, 0)), "a padded number of another width");
    fuzz::Check(padded.find_first_not_of("0123456789") == std::string::npos, "a padded number that is not digits");

    // Without separators, the text formatting gives is a number the mask
    // accepts (a negative number needs a mask that takes a sign).
    const bool signedMask = !mask.empty() && (mask.front() == '-' || mask.front() == '+');
    if (which == 2 && std::isfinite(value) && (value >= 0 || signedMask) && PlainMask(mask) &&
        shown.find('!') == std::string::npos && shown.find_first_not_of(" 0123456789.-+") == std::string::npos)
        fuzz::Check(!InvalidNumberText(shown, mask), "\"" + shown + "\" refused for its own mask \"" + mask + "\"");
    return 0;
}
