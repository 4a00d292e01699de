#include "input/choices.h"

#include <gtest/gtest.h>

namespace qp {
namespace {

TEST(Choices, ParseTakesCodeAndDescription) {
    std::vector<Choice> choices = ParseChoices("|S,S\xA1|N,No|X");
    ASSERT_EQ(choices.size(), 3u);
    EXPECT_EQ(choices[0].code, "S");
    EXPECT_EQ(choices[0].description, "S\xA1");
    EXPECT_EQ(choices[2].code, "X");
    EXPECT_EQ(choices[2].description, "");
    EXPECT_TRUE(ParseChoices("").empty());
}

TEST(Choices, FindMatchesThePaddedCodeByteForByte) {
    struct Case {
        const char* options;
        const char* value;
        std::size_t width;
        std::optional<std::size_t> found;
    };
    const Case cases[] = {
        {"|S,Si|N,No", "N", 1, 1},
        {"|S,Si|N,No", "n", 1, std::nullopt},  // the other case is no choice: "s" does not print as "S"
        {"|s,small|S,Capital", "S", 1, 1},
        {"|s,small|S,Capital", "s", 1, 0},
        {"|AB,Two|C,One", "C  ", 3, 1},        // a short code is padded to the field
        {"|AB,Two|C,One", "ab ", 3, std::nullopt},
        {"|S,Si|N,No", "X", 1, std::nullopt},
        {"|S,Si|N,No", " ", 1, std::nullopt},
        {"", "S", 1, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.options) + " / '" + c.value + "'");
        EXPECT_EQ(FindChoice(ParseChoices(c.options), c.value, c.width), c.found);
    }
}

}  // namespace
}  // namespace qp
