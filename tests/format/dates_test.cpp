#include "format/dates.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "format/format_fixture.h"

namespace qp {
namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s.push_back(static_cast<char>(v));
    return s;
}

std::string Date(int year, int month, int day) {
    const std::string digits = std::to_string(year * 10000 + month * 100 + day);
    return PackDigits(std::string(8 - digits.size(), '0') + digits);
}

std::chrono::sys_days ChronoDays(int year, int month, int day) {
    return std::chrono::sys_days(std::chrono::year(year) / std::chrono::month(static_cast<unsigned>(month)) /
                                 std::chrono::day(static_cast<unsigned>(day)));
}

// ---- Packing ---------------------------------------------------------------

TEST(PackDigits, PacksTwoDigitsPerByte) {
    struct Case {
        std::string digits;
        std::string packed;
    };
    const std::vector<Case> cases = {
        {"20240305", Bytes({148, 152, 131, 133})},
        {" 123", PackDigits("0123")},
        {"123 ", PackDigits("0123")},
        {"1 2", Bytes({138, 148})},  // the inner blank counts as 0
        {"123", Bytes({140, 158})},  // a missing last digit counts as 0
        {"a9", Bytes({137})},
        {"   ", Bytes({128, 128})},
        {"99", Bytes({227})},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(PackDigits(c.digits), c.packed) << '"' << c.digits << '"';
}

TEST(UnpackDigits, GivesTwoDigitsPerByteWhateverTheByte) {
    struct Case {
        std::string packed;
        std::string digits;
    };
    const std::vector<Case> cases = {
        {Bytes({148, 152, 131, 133}), "20240305"},
        {Bytes({0x05}), "05"},      // below 128: the byte itself
        {Bytes({228}), "00"},       // 100: the last two digits
        {Bytes({255, 0}), "2700"},  // 127
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(UnpackDigits(c.packed), c.digits);
}

TEST(PackDigits, RoundTripsRandomDigitTextsAndKeepsTheirOrder) {
    std::mt19937 rng(2024);
    std::uniform_int_distribution<int> digit(0, 9);
    std::string previous;
    std::string previousPacked;
    for (int i = 0; i < 20000; ++i) {
        std::string digits;
        for (int d = 0; d < 8; ++d) digits.push_back(static_cast<char>('0' + digit(rng)));
        const std::string packed = PackDigits(digits);
        ASSERT_EQ(packed.size(), 4u);
        ASSERT_EQ(UnpackDigits(packed), digits);
        if (!previous.empty()) {
            ASSERT_EQ(digits < previous, packed < previousPacked) << digits << " " << previous;
        }
        previous = digits;
        previousPacked = packed;
    }
}

// ---- DayOfWeek and DateDiff ------------------------------------------------

TEST(DayOfWeek, KnownDays) {
    EXPECT_EQ(DayOfWeek(Date(2024, 1, 1)), 1);
    EXPECT_EQ(DayOfWeek(Date(2023, 12, 31)), 7);
    EXPECT_EQ(DayOfWeek(Date(1582, 10, 4)), 4);
    EXPECT_EQ(DayOfWeek(Date(1582, 10, 15)), 5);
}

TEST(DayOfWeek, MatchesTheCalendarFrom1583To2400) {
    for (int year = 1583; year <= 2400; ++year) {
        for (int month = 1; month <= 12; ++month) {
            const auto last = static_cast<int>(static_cast<unsigned>(
                (std::chrono::year(year) / std::chrono::month(static_cast<unsigned>(month)) / std::chrono::last).day()));
            for (int day = 1; day <= last; ++day) {
                const std::chrono::weekday expected(ChronoDays(year, month, day));
                ASSERT_EQ(DayOfWeek(Date(year, month, day)), static_cast<int>(expected.iso_encoding()))
                    << year << "-" << month << "-" << day;
            }
        }
    }
}

TEST(DateDiff, Intervals) {
    struct Case {
        std::string interval;
        std::string first;
        std::string second;
        int expected;
    };
    const std::vector<Case> cases = {
        {"D", Date(2024, 3, 15), Date(2024, 1, 1), 74},
        {"d", Date(2024, 1, 1), Date(2024, 3, 15), 74},
        {"A", Date(2020, 3, 15), Date(2024, 3, 14), 3},
        {"a", Date(2020, 3, 15), Date(2024, 3, 15), 4},
        {"M", Date(2023, 12, 31), Date(2024, 1, 1), 1},
        {"M", Date(2024, 1, 31), Date(2023, 12, 1), 1},
        {"D", Date(1582, 10, 4), Date(1582, 10, 15), 11},  // no days removed for the change
        {"D", Date(1500, 2, 28), Date(1500, 3, 1), 2},     // Julian leap year
        {"D", Date(1900, 2, 28), Date(1900, 3, 1), 1},
        {"D", Date(2000, 2, 28), Date(2000, 3, 1), 2},
        {"X", Date(2020, 1, 1), Date(2024, 1, 1), 0},
        {"", Date(2020, 1, 1), Date(2024, 1, 1), 0},
        {"DD", Date(2020, 1, 1), Date(2024, 1, 1), 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DateDiff(c.interval, c.first, c.second), c.expected)
            << c.interval << " " << UnpackDigits(c.first) << " " << UnpackDigits(c.second);
}

#ifndef _WIN32  // long is 32 bits there
TEST(DateDiff, DaysMatchTheCalendarOnRandomPairs) {
    std::mt19937 rng(7);
    const auto from = ChronoDays(1583, 1, 1).time_since_epoch().count();
    const auto to = ChronoDays(2400, 12, 31).time_since_epoch().count();
    std::uniform_int_distribution<long> pick(from, to);
    for (int i = 0; i < 5000; ++i) {
        const std::chrono::sys_days a{std::chrono::days(pick(rng))};
        const std::chrono::sys_days b{std::chrono::days(pick(rng))};
        const std::chrono::year_month_day ya(a);
        const std::chrono::year_month_day yb(b);
        const std::string pa = Date(static_cast<int>(ya.year()), static_cast<int>(static_cast<unsigned>(ya.month())),
                                    static_cast<int>(static_cast<unsigned>(ya.day())));
        const std::string pb = Date(static_cast<int>(yb.year()), static_cast<int>(static_cast<unsigned>(yb.month())),
                                    static_cast<int>(static_cast<unsigned>(yb.day())));
        const long expected = std::abs((b - a).count());
        ASSERT_EQ(DateDiff("D", pa, pb), expected) << UnpackDigits(pa) << " " << UnpackDigits(pb);
    }
}
#endif  // _WIN32

// Out-of-range bytes, months and days, short and long texts: always a day
// 1..7 and a difference that is not negative.
TEST(Dates, AnyBytesGiveDefinedResults) {
    std::mt19937 rng(31);
    std::vector<std::string> dates = {"",
                                      Bytes({148}),
                                      Bytes({0, 0, 0, 0}),
                                      Bytes({255, 255, 255, 255}),
                                      Bytes({127, 228, 200, 1}),
                                      Date(2024, 0, 5),
                                      Date(2024, 13, 5),
                                      Date(2024, 3, 0),
                                      Date(2024, 3, 99),
                                      Date(2023, 99, 99),
                                      Date(0, 0, 0),
                                      Date(9999, 12, 31)};
    for (int i = 0; i < 3000; ++i) {
        std::string bytes(rng() % 7, '\0');
        for (char& c : bytes) c = static_cast<char>(rng() % 256);
        dates.push_back(bytes);
    }
    for (const std::string& a : dates) {
        const int day = DayOfWeek(a);
        ASSERT_GE(day, 1);
        ASSERT_LE(day, 7);
        for (const char* interval : {"D", "M", "A"}) {
            ASSERT_GE(DateDiff(interval, a, dates[rng() % dates.size()]), 0);
            ASSERT_GE(DateDiff(interval, Date(2023, 99, 99), Date(2024, 0, 0)), 0);
        }
    }
}

// ---- FormatDate ------------------------------------------------------------

class FormatDateTest : public test::TarnIniFixture {};

struct DateTextCase {
    std::string language;
    std::string date;
    int mode;
    std::string parts;
    std::string expected;
};

void ExpectDateTexts(UserPreferences& prefs, const std::vector<DateTextCase>& cases) {
    for (const DateTextCase& c : cases)
        EXPECT_EQ(FormatDate(prefs, c.language, c.date, c.mode, c.parts), c.expected)
            << c.language << " " << UnpackDigits(c.date) << " mode " << c.mode << " parts " << c.parts;
}

TEST_F(FormatDateTest, DefaultPreferences) {
    const std::string march5 = Date(2024, 3, 5);
    const std::string empty = Date(2024, 0, 0);
    ExpectDateTexts(Prefs(), {
                                 {"CAT", march5, 0, "dma", "5/3/2024  "},
                                 {"CAT", march5, 1, "dma", "5/mar/2024 "},
                                 {"CAT", march5, -1, "dma", "2024-03-05"},
                                 {"CAT", march5, -1, "", "2024-03-05"},
                                 {"CAT", march5, 0, "md", "5/3  "},
                                 {"CAT", march5, 0, "a", "2024"},
                                 {"CAT", march5, 0, "", ""},
                                 {"CAT", Date(2024, 12, 25), 0, "DMA", "25/12/2024"},
                                 {"CAT", empty, 2, "dma", ""},
                                 {"CAT", empty, 0, "dma", "          "},
                                 {"CAT", Date(0, 0, 0), -1, "dma", "0000-00-00"},
                                 {"CAT", Date(24, 3, 5), 2, "a", "0024"},
                             });
}

TEST_F(FormatDateTest, LongTextInEveryLanguage) {
    const std::string april5 = Date(2024, 4, 5);
    ExpectDateTexts(Prefs(), {
                                 {"CAT", april5, 2, "DMA", "5 d'abril del 2024"},
                                 {"SPA", april5, 2, "DMA", "5 de abril de 2024"},
                                 {"GLG", april5, 2, "DMA", "5 de abril do 2024"},
                                 {"OCI", april5, 2, "DMA", "5 d'abriu deth 2024"},
                                 {"CAT", Date(2024, 3, 5), 2, "DMA", "5 de mar\x87 del 2024"},
                                 {"CAT", Date(2024, 10, 1), 3, "dma", "1 d'octubre del 2024"},
                                 {"cat", april5, 2, "DMA", "5 d'abril del 2024"},
                                 {"spa", april5, 2, "DMA", "5 d'abril del 2024"},  // compared exactly
                                 {"CAT", april5, 2, "m", "abril"},
                                 {"CAT", april5, 2, "ma", "abril del 2024"},
                                 {"CAT", april5, 2, "da", "5 del 2024"},
                                 {"OCI", Date(2024, 1, 9), 1, "dma", "9/g\x8Ar/2024 "},
                                 {"OCI", Date(2024, 2, 9), 2, "m", "hereu\x8Ar"},
                                 {"GLG", Date(2024, 3, 9), 2, "m", "mar\x87o"},
                                 {"SPA", Date(2024, 9, 9), 1, "m", "sep"},
                                 {"SPA", Date(2024, 9, 9), 2, "m", "septiembre"},
                             });
}

TEST_F(FormatDateTest, EveryMonthName) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> names = {
        {"SPA", {"enero", "febrero", "marzo", "abril", "mayo", "junio", "julio", "agosto", "septiembre", "octubre",
                 "noviembre", "diciembre"}},
        {"GLG", {"janeiro", "fevereiro", "mar\x87o", "abril", "maio", "junho", "julho", "agosto", "setembro",
                 "outubro", "novembro", "dezembro"}},
        {"OCI", {"g\x8Ar", "hereu\x8Ar", "mar\x87", "abriu", "mai", "junh", "junhsega", "agost", "seteme", "octobre",
                 "noveme", "deseme"}},
        {"CAT", {"gener", "febrer", "mar\x87", "abril", "maig", "juny", "juliol", "agost", "setembre", "octubre",
                 "novembre", "desembre"}},
    };
    for (const auto& [language, months] : names)
        for (int m = 1; m <= 12; ++m)
            EXPECT_EQ(FormatDate(Prefs(), language, Date(2024, m, 1), 2, "M"), months[static_cast<std::size_t>(m - 1)])
                << language << " " << m;
}

TEST_F(FormatDateTest, OutOfRangeMonthsAndDays) {
    ExpectDateTexts(Prefs(), {
                                 {"CAT", Date(2024, 13, 5), 2, "dma", "5 de  del 2024"},
                                 {"CAT", Date(2024, 13, 5), 1, "dma", "5//2024    "},
                                 {"CAT", Date(2024, 13, 5), 0, "dma", "5/13/2024 "},
                                 {"CAT", Date(2024, 0, 5), 0, "dma", "5/0/2024  "},
                                 {"CAT", Date(2024, 3, 99), 0, "dma", "99/3/2024 "},
                                 {"CAT", Bytes({255, 255, 255, 255}), -1, "dma", "2727-27-27"},
                             });
    std::mt19937 rng(5);
    for (int i = 0; i < 3000; ++i) {
        std::string bytes(rng() % 6, '\0');
        for (char& c : bytes) c = static_cast<char>(rng() % 256);
        std::string parts(rng() % 5, '\0');
        for (char& c : parts) c = static_cast<char>(rng() % 256);
        const int mode = static_cast<int>(rng() % 6) - 2;
        const std::string text = FormatDate(Prefs(), "OCI", bytes, mode, parts);
        if (mode == -1) {
            ASSERT_EQ(text.size(), 10u);
        }
    }
}

TEST_F(FormatDateTest, PreferencesFromTarnIni) {
    UsePreferences("DatCaracter=-\r\nDatOrdre=AMD\r\n");
    ExpectDateTexts(Prefs(), {
                                 {"CAT", Date(2024, 3, 5), 0, "dma", "2024-3-5  "},
                                 {"CAT", Date(2024, 3, 5), 2, "dma", "2024 de mar\x87 del 5"},
                                 {"CAT", Date(2024, 4, 5), 2, "dma", "2024 d'abril del 5"},
                             });
    UsePreferences("DatOrdre=AMD\r\n");
    ExpectDateTexts(Prefs(), {{"CAT", Date(2024, 3, 5), 0, "dma", "2024/3/5  "}});
    UsePreferences("DatOrdre=dma\r\n");  // small letters select no part
    ExpectDateTexts(Prefs(), {{"CAT", Date(2024, 3, 5), 0, "dma", "          "},
                              {"CAT", Date(2024, 3, 5), 2, "dma", ""}});
    UsePreferences("DatOrdre=D\r\n");
    ExpectDateTexts(Prefs(), {{"CAT", Date(2024, 3, 5), 0, "dma", "5         "}});
}

}  // namespace
}  // namespace qp
