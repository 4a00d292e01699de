#include "format/dates.h"

#include <array>
#include <utility>

#include "text/cp850.h"

namespace qp {

namespace {

constexpr unsigned char kPackedBase = 128;
constexpr std::size_t kPackedDateSize = 4;
constexpr long kCalendarChange = 15821005;  // first Gregorian day

int DigitValue(char c) { return c >= '0' && c <= '9' ? c - '0' : 0; }

// The digit text right-aligned to its own length: blanks around it removed,
// zeros in front, blanks inside read as zeros.
std::string RightAlignDigits(std::string_view digits) {
    const std::string trimmed = TrimBlanks(digits);
    std::string aligned(digits.size() - trimmed.size(), '0');
    aligned += trimmed;
    for (char& c : aligned)
        if (c == ' ') c = '0';
    return aligned;
}

struct DateParts {
    long year = 0;
    long month = 0;
    long day = 0;
    long number = 0;  // YYYYMMDD
};

// The eight digits of a packed date; missing bytes count as "00" so that a
// short text still gives a defined date.
std::string DateDigits(std::string_view packed) {
    std::string digits = UnpackDigits(packed.substr(0, kPackedDateSize));
    digits.resize(2 * kPackedDateSize, '0');
    return digits;
}

long DigitsNumber(std::string_view digits) {
    long n = 0;
    for (char c : digits) n = n * 10 + DigitValue(c);
    return n;
}

DateParts SplitDate(std::string_view packed) {
    const std::string digits = DateDigits(packed);
    DateParts parts;
    parts.number = DigitsNumber(digits);
    parts.year = DigitsNumber(std::string_view(digits).substr(0, 4));
    parts.month = DigitsNumber(std::string_view(digits).substr(4, 2));
    parts.day = DigitsNumber(std::string_view(digits).substr(6, 2));
    return parts;
}

bool IsLeapYear(long year) {
    if (year < 1582) return year % 4 == 0;
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

long DaysInYear(long year) { return IsLeapYear(year) ? 366 : 365; }

long MonthLength(long year, long month) {
    if (month == 2) return IsLeapYear(year) ? 29 : 28;
    return 30 + ((1 + (month + 1) % 9) % 2);
}

long MonthsLength(long year, long fromMonth, long toMonth) {
    long days = 0;
    for (long m = fromMonth; m <= toMonth; ++m) days += MonthLength(year, m);
    return days;
}

long DaysBetween(const DateParts& a, const DateParts& b) {
    long days = 0;
    for (long y = a.year + 1; y < b.year; ++y) days += DaysInYear(y);
    if (a.year < b.year)
        days += MonthsLength(a.year, a.month, 12) + MonthsLength(b.year, 1, b.month - 1);
    else
        days += MonthsLength(a.year, a.month, b.month - 1);
    return days - a.day + b.day;
}

long YearsBetween(const DateParts& a, const DateParts& b) {
    long years = b.year - a.year;
    if (a.month > b.month || (a.month == b.month && a.day > b.day)) --years;
    return years;
}

long PositiveModulo(long value, long divisor) {
    const long r = value % divisor;
    return r < 0 ? r + divisor : r;
}

struct Language {
    const char* vowelMonthWord;
    const char* monthWord;
    const char* followingWord;
    std::array<const char*, 12> months;
};

const Language kSpanish{" de ", " de ", " de ",
                        {"enero", "febrero", "marzo", "abril", "mayo", "junio", "julio", "agosto", "septiembre",
                         "octubre", "noviembre", "diciembre"}};
const Language kGalician{" de ", " de ", " do ",
                         {"janeiro", "fevereiro", "mar\x87o", "abril", "maio", "junho", "julho", "agosto",
                          "setembro", "outubro", "novembro", "dezembro"}};
const Language kOccitan{" d'", " de ", " deth ",
                        {"g\x8Ar", "hereu\x8Ar", "mar\x87", "abriu", "mai", "junh", "junhsega", "agost", "seteme",
                         "octobre", "noveme", "deseme"}};
const Language kCatalan{" d'", " de ", " del ",
                        {"gener", "febrer", "mar\x87", "abril", "maig", "juny", "juliol", "agost", "setembre",
                         "octubre", "novembre", "desembre"}};

const Language& LanguageFor(const std::string& code) {
    if (code == "SPA") return kSpanish;
    if (code == "GLG") return kGalician;
    if (code == "OCI") return kOccitan;
    return kCatalan;
}

std::string MonthName(const Language& language, long month) {
    if (month < 1 || month > 12) return {};
    return language.months[static_cast<std::size_t>(month - 1)];
}

bool BeginsWithVowel(std::string_view word) {
    if (word.empty()) return false;
    const unsigned char first = UpperForCompare(static_cast<unsigned char>(word.front()));
    return std::string_view("AEIOU").find(static_cast<char>(first)) != std::string_view::npos;
}

std::string WithoutLeadingZeros(std::string_view digits) {
    return std::to_string(DigitsNumber(digits));
}

std::size_t FixedDateWidth(std::string_view upperParts, int mode) {
    const auto has = [upperParts](char c) { return upperParts.find(c) != std::string_view::npos; };
    long width = static_cast<long>(upperParts.size()) - 1;
    if (has('M')) width += mode == 0 ? 2 : 3;
    if (has('A')) width += 4;
    if (has('D')) width += 2;
    return width > 0 ? static_cast<std::size_t>(width) : 0;
}

}  // namespace

std::string PackDigits(std::string_view digits) {
    const std::string aligned = RightAlignDigits(digits);
    std::string packed;
    packed.reserve((aligned.size() + 1) / 2);
    for (std::size_t i = 0; i < aligned.size(); i += 2) {
        const int high = DigitValue(aligned[i]);
        const int low = i + 1 < aligned.size() ? DigitValue(aligned[i + 1]) : 0;
        packed.push_back(static_cast<char>(kPackedBase + 10 * high + low));
    }
    return packed;
}

std::string UnpackDigits(std::string_view packed) {
    std::string digits;
    digits.reserve(2 * packed.size());
    for (char c : packed) {
        const int value = (static_cast<unsigned char>(c) & 0x7F) % 100;
        digits.push_back(static_cast<char>('0' + value / 10));
        digits.push_back(static_cast<char>('0' + value % 10));
    }
    return digits;
}

std::int16_t DayOfWeek(std::string_view packedDate) {
    const std::string digits = DateDigits(packedDate);
    const long y = DigitsNumber(std::string_view(digits).substr(0, 4)) - 1;
    const std::string firstOfYear = PackDigits(digits.substr(0, 4) + "0101");
    const std::string date = PackDigits(digits);
    const long n = DateDiff("d", firstOfYear, date) - 1;
    long result = 0;
    if (DigitsNumber(digits) < kCalendarChange)
        result = PositiveModulo(PositiveModulo(y + y / 4, 7) + 6 + n, 7) + 1;
    else
        result = PositiveModulo(PositiveModulo(y + y / 4 - y / 100 + y / 400, 7) + 1 + n, 7) + 1;
    return static_cast<std::int16_t>(result);
}

// Months and days out of range can make a difference come out below zero;
// it is held at 0, since a difference is never negative.
std::int32_t DateDiff(std::string_view interval, std::string_view first, std::string_view second) {
    DateParts earlier = SplitDate(first);
    DateParts later = SplitDate(second);
    if (later.number < earlier.number) std::swap(earlier, later);
    const std::string code = UpperForCompare(interval);
    long result = 0;
    if (code == "D")
        result = DaysBetween(earlier, later);
    else if (code == "M")
        result = 12 * (later.year - earlier.year) + later.month - earlier.month;
    else if (code == "A")
        result = YearsBetween(earlier, later);
    return static_cast<std::int32_t>(result > 0 ? result : 0);
}

std::string FormatDate(UserPreferences& prefs, const std::string& languageCode, std::string_view packedDate, int mode,
                       std::string_view parts) {
    const char separator = prefs.DatCaracter();
    const std::string order = prefs.DatOrdre();
    const Language& language = LanguageFor(languageCode);

    const std::string digits = DateDigits(packedDate);
    const std::string_view all = digits;
    // Any negative mode is taken as the ISO form.
    if (mode < 0) return std::string(all.substr(0, 4)) + "-" + std::string(all.substr(4, 2)) + "-" +
                           std::string(all.substr(6, 2));

    const std::string year(all.substr(0, 4));
    const std::string month = WithoutLeadingZeros(all.substr(4, 2));
    const std::string day = WithoutLeadingZeros(all.substr(6, 2));
    const long monthNumber = DigitsNumber(all.substr(4, 2));
    const std::string upperParts = UpperForCompare(parts);

    std::string text;
    if (month + day != "00") {
        bool first = true;
        for (char part : order) {
            if (part != 'D' && part != 'M' && part != 'A') continue;
            if (upperParts.find(part) == std::string::npos) continue;
            std::string piece;
            if (part == 'D') piece = day;
            if (part == 'A') piece = year;
            if (part == 'M') {
                if (mode >= 2) piece = MonthName(language, monthNumber);
                else if (mode == 1) piece = MonthName(language, monthNumber).substr(0, 3);
                else piece = month;
            }
            if (!first) {
                if (mode < 2) text += separator;
                else if (part == 'M') text += BeginsWithVowel(piece) ? language.vowelMonthWord : language.monthWord;
                else text += language.followingWord;
            }
            text += piece;
            first = false;
        }
    }
    if (mode == 0 || mode == 1) return FitWidth(text, FixedDateWidth(upperParts, mode));
    return text;
}

}  // namespace qp
