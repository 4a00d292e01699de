// Packed dates and date texts: packing any text gives half its length and
// unpacking gives back its digits; weekdays are 1 to 7; differences are
// never negative and do not depend on the order of the dates; numeric texts
// are exactly as wide as their parts ask.
#include "format/dates.h"
#include "fuzz_support.h"

using namespace qp;

namespace {

// Tarn.ini files with other date preferences, written once.
const std::string& Preferences(std::size_t which) {
    static const std::vector<std::string> paths =
        fuzz::TarnInis("dates", {"", "[Usuari]\r\nDatCaracter=-\r\nDatOrdre=AMD\r\n",
                                 "[Usuari]\r\nDatCaracter=.\r\nDatOrdre=mD\r\n",
                                 "[Usuari]\r\nDatCaracter=\xFF\r\nDatOrdre=DDDDMMA\r\n"});
    return paths[which];
}

std::size_t Width(std::string_view parts, int mode) {
    std::string upper;
    for (char c : parts) upper += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    long width = static_cast<long>(upper.size()) - 1;
    if (upper.find('M') != std::string::npos) width += mode == 0 ? 2 : 3;
    if (upper.find('A') != std::string::npos) width += 4;
    if (upper.find('D') != std::string::npos) width += 2;
    return width > 0 ? static_cast<std::size_t>(width) : 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    static constexpr const char* kLanguages[] = {"CAT", "SPA", "GLG", "OCI", "??"};
    const std::string language = kLanguages[in.ConsumeIntegralInRange<std::size_t>(0, 4)];
    const std::size_t which = in.ConsumeIntegralInRange<std::size_t>(0, 3);
    const int mode = in.ConsumeIntegralInRange(-2, 4);
    const std::string parts = in.ConsumeRandomLengthString(8);
    const std::string interval = in.ConsumeRandomLengthString(3);
    const std::string first = in.ConsumeBytesAsString(4);
    const std::string second = in.ConsumeBytesAsString(4);
    const std::string digits = in.ConsumeRemainingBytesAsString();

    const std::string packed = PackDigits(digits);
    fuzz::Check(packed.size() == (digits.size() + 1) / 2, "packed to another length");
    const std::string unpacked = UnpackDigits(packed);
    fuzz::Check(unpacked.size() == 2 * packed.size(), "unpacked to another length");
    if (digits.size() % 2 == 0 && digits.find_first_not_of("0123456789") == std::string::npos)
        fuzz::Check(unpacked == digits, "digits did not survive packing");

    const std::int16_t day = DayOfWeek(first);
    fuzz::Check(day >= 1 && day <= 7, "a weekday of " + std::to_string(day));
    const std::int32_t forth = DateDiff(interval, first, second);
    fuzz::Check(forth >= 0, "a negative difference");
    fuzz::Check(DateDiff(interval, second, first) == forth, "the difference depends on the order of the dates");

    SystemPlatform platform;
    UserPreferences prefs(platform, Preferences(which));
    const std::string text = FormatDate(prefs, language, first, mode, parts);
    if (mode == 0 || mode == 1) fuzz::Check(text.size() == Width(parts, mode), "a numeric date of another width");
    if (mode == -1) fuzz::Check(text.size() == 10 || first.size() < 4, "an ISO date that is not 10 long: " + text);
    return 0;
}
