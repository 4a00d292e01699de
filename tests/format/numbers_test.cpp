#include "format/numbers.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "format/format_fixture.h"

namespace qp {
namespace {

class FormatNumberTest : public test::TarnIniFixture {};

struct NumberCase {
    std::string mask;
    double value;
    std::string expected;
};

void ExpectNumbers(UserPreferences& prefs, const std::vector<NumberCase>& cases) {
    for (const NumberCase& c : cases)
        EXPECT_EQ(FormatNumber(prefs, c.mask, c.value), c.expected) << "mask \"" << c.mask << "\" value " << c.value;
}

TEST_F(FormatNumberTest, MasksWithDefaultSeparators) {
    ExpectNumbers(Prefs(), {
                               {"Z9", 5, " 5"},
                               {"Z9", 0, " 0"},
                               {"Z9", 12, "12"},
                               {"Z9", 123, "!!"},
                               {"Z9", -5, "-5"},
                               {"Z9", -12, "!!"},
                               {"Z9", 2.5, " 2"},  // halves go to the even neighbour
                               {"Z9", 3.5, " 4"},
                               {"Z9", 9.5, "10"},
                               {"ZZ9.ZZ", 5, "  5   "},
                               {"ZZ9.ZZ", 5.5, "  5'5 "},
                               {"ZZ9.ZZ", 5.05, "  5'05"},
                               {"ZZ9.ZZ", 0.05, "  0'05"},
                               {"ZZ9.ZZ", 0.125, "  0'12"},
                               {"ZZ9.ZZ", 0, "  0   "},
                               {"Z9.99", -5.5, "-5'50"},
                               {"999", -5, "0-5"},
                               {"999", 5, "005"},
                               {"Z,ZZ9", 1234, "1.234"},
                               {"Z,ZZ9", 12, "   12"},
                               {"Z,ZZ9", -234, " -234"},
                               {"Z,ZZ9", 12345, "12345"},  // plain number in the mask's width
                               {"Z,ZZ9", 123456, "!!!!!"},
                               {"**,**9", 12, "****12"},
                               {"**,**9", 1234, "*1.234"},
                               {"99-", -7, "07-"},
                               {"99-", 7, "07 "},
                               {"+999.9", 12.34, "+012'3"},
                               {"+999.9", -12.36, "-012'4"},
                               {"-Z,ZZZ,ZZ9.99", -1234567.891, "-1.234.567'89"},
                               {"-Z,ZZZ,ZZ9.99", 5, "         5'00"},
                               {"-Z,ZZZ,ZZ9.99", -123456789.5, "-123456789'50"},
                               {"Z.ZZ", 0, "    "},
                               {"9", -5, "!"},
                               {"ZZ9", -5.25, " -5"},
                               {"Total: ZZ9 EUR", 42, "Total:  42 EUR"},
                               {"", 5, ""},
                           });
}

TEST_F(FormatNumberTest, SeparatorsFromTarnIni) {
    UsePreferences("DecCaracter=,\r\nMilCaracter= \r\n");  // a leading blank keeps the default
    ExpectNumbers(Prefs(), {{"Z,ZZ9.99", 1234.5, "1.234,50"}});
    UsePreferences("DecCaracter=.x\r\nMilCaracter=,\r\n");
    ExpectNumbers(Prefs(), {{"Z,ZZ9.99", 1234.5, "1,234.50"}, {"ZZ9.ZZ", 5, "  5   "}});
}

// Values that no mask can show, and masks of any bytes: a text of the mask's
// width, never a crash or an out-of-range conversion.
TEST_F(FormatNumberTest, UnrepresentableValuesAndAnyMask) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    ExpectNumbers(Prefs(), {
                               {"ZZ9.99", nan, "!!!!!!"},
                               {"ZZ9.99", inf, "!!!!!!"},
                               {"ZZ9.99", -inf, "!!!!!!"},
                               {"ZZ9.99", 1e300, "!!!!!!"},
                               {"ZZ9.99", -1e300, "!!!!!!"},
                               {"ZZ9.99", -0.0, "  0'00"},
                               {"Z9", std::numeric_limits<double>::max(), "!!"},
                               {"Z9", std::numeric_limits<double>::denorm_min(), " 0"},
                               {std::string(22, 'Z'), 1e20, " 100000000000000000000"},
                               {"Z." + std::string(400, '9'), 1.0, std::string(402, '!')},
                               {"Z." + std::string(400, '9'), 0.0, " '" + std::string(400, '0')},
                           });
    const std::string wide(400, 'Z');
    const std::string big = FormatNumber(Prefs(), wide, 1e300);
    EXPECT_EQ(big.size(), 400u);
    EXPECT_EQ(big.substr(400 - 301, 4), "1000");

    std::mt19937 rng(77);
    const std::string maskBytes = "9Zz*.,-+x \xFF";
    const std::vector<double> values = {0, -0.0, 1, -1, 0.5, -0.005, 123456.789, -98765.4321, 1e15, -1e18, 1e300, nan,
                                        inf};
    for (int i = 0; i < 5000; ++i) {
        std::string mask(rng() % 12, ' ');
        for (char& c : mask) c = rng() % 4 == 0 ? static_cast<char>(rng() % 256) : maskBytes[rng() % maskBytes.size()];
        const double value = values[rng() % values.size()];
        ASSERT_EQ(FormatNumber(Prefs(), mask, value).size(), mask.size()) << '"' << mask << "\" " << value;
    }
}

// An independent model of the masks in use: the whole digits right-aligned in
// their slots, groups, the decimal digits, the sign in its place or floating
// just left of the digits.
struct ReferenceMask {
    std::string mask;
    char leadingSign;  // '-', '+' or 0
    std::string whole;
    int decimals;
    char decimalKind;  // '9' or 'Z'
    char trailingSign;
};

std::string ReferenceFormat(const ReferenceMask& m, double value, char point, char thousands) {
    const double scale = m.decimals == 0 ? 1 : m.decimals == 1 ? 10 : 100;
    const auto scaled = static_cast<long long>(std::nearbyint(std::fabs(value) * scale));
    const bool negative = value < 0;
    const auto unit = static_cast<long long>(scale);
    const long long whole = scaled / unit;
    std::string fraction;
    if (m.decimals > 0) {
        fraction = std::to_string(scaled % unit);
        fraction.insert(0, static_cast<std::size_t>(m.decimals) - fraction.size(), '0');
    }
    const std::string wholeDigits = whole == 0 ? "" : std::to_string(whole);
    const std::size_t width = m.mask.size();

    const auto plain = [&] {
        const std::string text = (negative ? "-" : "") + std::to_string(whole) + (m.decimals ? point + fraction : "");
        if (width < std::to_string(whole).size() + (negative ? 1 : 0)) return std::string(width, '!');
        return (text + std::string(width, ' ')).substr(0, width);
    };

    std::string out = m.whole;
    std::size_t placed = 0;
    std::size_t leftmostDigit = out.size();
    for (std::size_t i = out.size(); i-- > 0;) {
        if (out[i] == ',') continue;
        if (placed < wholeDigits.size()) {
            out[i] = wholeDigits[wholeDigits.size() - 1 - placed++];
            leftmostDigit = i;
        } else {
            out[i] = out[i] == 'Z' ? ' ' : out[i] == '9' ? '0' : '*';
        }
    }
    if (placed < wholeDigits.size()) return plain();
    for (std::size_t i = out.size(); i-- > 0;) {
        if (m.whole[i] != ',') continue;
        if (i > leftmostDigit) out[i] = thousands;
        else out[i] = m.whole[i + 1] == '9' ? thousands : m.whole[i + 1] == '*' ? '*' : ' ';
    }
    const bool isSigned = m.leadingSign != 0 || m.trailingSign != 0;
    if (negative && !isSigned) {
        if (leftmostDigit == 0) return plain();
        out[leftmostDigit - 1] = '-';
    }

    std::string decimalText;
    for (int i = 0; i < m.decimals; ++i) {
        const auto at = static_cast<std::size_t>(i);
        const bool restZero = fraction.find_first_not_of('0', at) == std::string::npos;
        decimalText += m.decimalKind == 'Z' && restZero ? ' ' : fraction[at];
    }
    if (m.decimals > 0) out += (decimalText[0] == ' ' ? ' ' : point) + decimalText;

    const auto sign = [negative](char kind) { return negative ? '-' : kind == '+' ? '+' : ' '; };
    if (m.leadingSign) out.insert(out.begin(), sign(m.leadingSign));
    if (m.trailingSign) out += sign(m.trailingSign);
    return out;
}

std::vector<double> SampleValues() {
    std::mt19937_64 rng(4242);
    std::vector<double> values = {0, -0.0, 0.5, 1.5, 2.5, -2.5, 0.125, 0.375, -0.625, 99, 100, 999.995, 9999, 10000};
    for (int i = 0; i < 6000; ++i) {
        const int digits = static_cast<int>(rng() % 10);
        long long magnitude = 1;
        for (int d = 0; d < digits; ++d) magnitude *= 10;
        const auto integer = static_cast<double>(static_cast<long long>(rng() % static_cast<unsigned long long>(magnitude)));
        const double divisor = std::vector<double>{1, 10, 100, 1000, 8, 4}[rng() % 6];
        values.push_back((rng() % 2 ? -1 : 1) * integer / divisor);
    }
    return values;
}

TEST_F(FormatNumberTest, AgreesWithAReferenceOverManyValues) {
    const std::vector<ReferenceMask> masks = {
        {"Z9", 0, "Z9", 0, '9', 0},
        {"ZZ9.ZZ", 0, "ZZ9", 2, 'Z', 0},
        {"Z,ZZ9", 0, "Z,ZZ9", 0, '9', 0},
        {"**,**9", 0, "**,**9", 0, '9', 0},
        {"99-", 0, "99", 0, '9', '-'},
        {"-Z,ZZZ,ZZ9.99", '-', "Z,ZZZ,ZZ9", 2, '9', 0},
        {"+999.9", '+', "999", 1, '9', 0},
    };
    const std::vector<double> values = SampleValues();
    struct Separators {
        std::string lines;
        char point;
        char thousands;
    };
    for (const Separators& s : {Separators{"", '\'', '.'}, Separators{"DecCaracter=,\r\nMilCaracter=.\r\n", ',', '.'}}) {
        UsePreferences(s.lines);
        for (const ReferenceMask& m : masks)
            for (double v : values)
                ASSERT_EQ(FormatNumber(Prefs(), m.mask, v), ReferenceFormat(m, v, s.point, s.thousands))
                    << "mask \"" << m.mask << "\" value " << v;
    }
}

TEST(InvalidNumberText, Rules) {
    struct Case {
        std::string text;
        std::string mask;
        bool invalid;
    };
    const std::vector<Case> cases = {
        {"-12.5", "-Z9.99", false},
        {"-12.5", "Z9.99", true},
        {"1-2", "-Z9.99", true},
        {"1-2", "Z9", true},
        {"1.2.3", "-Z9.99", true},
        {"12,5", "Z,ZZ9.99", true},
        {"x-5", "-99", true},
        {" - 1 2 ", "-99", false},
        {"+5", "+99", false},
        {"--5", "-99", true},
        {".5-", "-9.9", true},
        {"5.", "Z9", true},
        {"12", "", false},
        {"", "Z9", false},
        {"   ", "Z9", false},
        {"1\xFF", "Z9", true},
        {"12", "Z9", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(InvalidNumberText(c.text, c.mask), c.invalid) << '"' << c.text << "\" mask \"" << c.mask << '"';
}

TEST(ZeroPadNumber, Widths) {
    struct Case {
        long long value;
        int width;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {20240305, 8, "20240305"}, {5, 2, "05"},   {123, 2, "23"}, {-7, 3, "007"},
        {0, 1, "0"},               {5, 0, ""},     {5, -3, ""},
        {LLONG_MIN, 20, "09223372036854775808"},
    };
    for (const Case& c : cases) EXPECT_EQ(ZeroPadNumber(c.value, c.width), c.expected) << c.value << " " << c.width;
}

}  // namespace
}  // namespace qp
