#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/field_reader.h"

namespace qp {
namespace {

std::vector<std::string> AllFields(const std::string& bytes) {
    FieldReader reader(bytes);
    std::vector<std::string> fields;
    while (!reader.AtEnd()) fields.push_back(reader.ReadField());
    return fields;
}

struct FieldCase {
    const char* name;
    std::string bytes;
    std::vector<std::string> fields;
};

void PrintTo(const FieldCase& c, std::ostream* os) { *os << c.name; }

class FieldReaderTest : public ::testing::TestWithParam<FieldCase> {};

TEST_P(FieldReaderTest, SplitsFields) { EXPECT_EQ(AllFields(GetParam().bytes), GetParam().fields); }

using F = std::vector<std::string>;
INSTANTIATE_TEST_SUITE_P(
    Cases, FieldReaderTest,
    ::testing::Values(FieldCase {"CommasAndLineEnds", "a,b\r\nc,d\r\n", F {"a", "b", "c", "d"}},
                      FieldCase {"LeadingBlanksSkippedTrailingKept", "  a , b", F {"a ", "b"}},
                      FieldCase {"QuotedKeepsCommasAndBlanks", "\" x, y \",z", F {" x, y ", "z"}},
                      FieldCase {"QuotedAfterBlanks", "  \"q\",z", F {"q", "z"}},
                      FieldCase {"TextAfterClosingQuoteDropped", "\"q\"junk,z", F {"q", "z"}},
                      FieldCase {"QuotedSpansLineEnd", "\"a\r\nb\",c", F {"a\r\nb", "c"}},
                      FieldCase {"UnterminatedQuoteTakesTheRest", "x,\"open, rest\r\nmore", F {"x", "open, rest\r\nmore"}},
                      FieldCase {"TabsDropped", "a\tb,\tc", F {"ab", "c"}},
                      FieldCase {"CrOnly", "a\rb\rc", F {"a", "b", "c"}},
                      FieldCase {"LfOnly", "a\nb\nc\n", F {"a", "b", "c"}},
                      FieldCase {"EmptyFieldsBetweenCommas", "a,,b", F {"a", "", "b"}},
                      FieldCase {"TrailingCommaAnnouncesEmptyField", "a,", F {"a", ""}},
                      FieldCase {"CommaBeforeLineEnd", "a,\r\nb", F {"a", "", "b"}},
                      FieldCase {"EmptyLineIsAnEmptyField", "a\r\n\r\nb", F {"a", "", "b"}},
                      FieldCase {"CtrlZEndsTheFile", "a,b\x1A,c\r\nd", F {"a", "b"}},
                      FieldCase {"CtrlZInsideQuote", "\"a\x1A\",b", F {"a"}},
                      FieldCase {"NothingAtAll", "", F {}},
                      // Where the file holds a CR, a lone LF ends nothing:
                      // it is dropped as a tab is, and kept inside quotes.
                      FieldCase {"LoneLfInACrFileIsDropped", "a\nb,c\r\nd", F {"ab", "c", "d"}},
                      FieldCase {"LoneLfBeforeAQuoteIsSkipped", "a,\n\"b,c\"\r\n", F {"a", "b,c"}},
                      FieldCase {"LoneLfInsideQuotesIsKept", "\"a\nb\",c\r", F {"a\nb", "c"}},
                      FieldCase {"OneCrAnywhereJoinsLfLines", "a\nb\nc\r", F {"abc"}}),
    [](const ::testing::TestParamInfo<FieldCase>& p) { return std::string(p.param.name); });

TEST(FieldReader, PastTheEndGivesEmptyFields) {
    FieldReader reader("a");
    EXPECT_EQ(reader.ReadField(), "a");
    EXPECT_TRUE(reader.AtEnd());
    EXPECT_EQ(reader.ReadField(), "");
    EXPECT_EQ(reader.NextField(), std::nullopt);
}

struct LineEndCase {
    const char* name;
    const char* end;
};

void PrintTo(const LineEndCase& c, std::ostream* os) { *os << c.name; }

class FieldReaderLinesTest : public ::testing::TestWithParam<LineEndCase> {};

TEST_P(FieldReaderLinesTest, SkipsCommentLinesAndCountsLines) {
    std::string n = GetParam().end;
    FieldReader reader("; first" + n + "a,b" + n + n + " \t; third" + n + "c" + n);
    EXPECT_EQ(reader.LineNumber(), 1);
    EXPECT_EQ(reader.LineOpening(), ';');
    reader.SkipLine();
    EXPECT_EQ(reader.LineNumber(), 2);
    EXPECT_EQ(reader.LineOpening(), 'a');
    EXPECT_EQ(reader.ReadField(), "a");
    EXPECT_EQ(reader.LineOpening(), 'b');
    EXPECT_EQ(reader.ReadField(), "b");
    EXPECT_EQ(reader.LineNumber(), 3);
    EXPECT_EQ(reader.LineOpening(), std::nullopt);
    reader.SkipLine();
    EXPECT_EQ(reader.LineOpening(), ';');
    reader.SkipLine();
    EXPECT_EQ(reader.LineNumber(), 5);
    EXPECT_EQ(reader.ReadField(), "c");
    EXPECT_TRUE(reader.AtEnd());
    EXPECT_EQ(reader.LineOpening(), std::nullopt);
    reader.SkipLine();
    EXPECT_TRUE(reader.AtEnd());
}

TEST(FieldReader, StrayLfInACrFileNeitherEndsNorNumbersALine) {
    FieldReader reader("\n' one\n' line\r\nx");
    EXPECT_EQ(reader.LineOpening(), '\'');
    reader.SkipLine();
    EXPECT_EQ(reader.LineNumber(), 2);
    EXPECT_EQ(reader.ReadField(), "x");
}

INSTANTIATE_TEST_SUITE_P(LineEnds, FieldReaderLinesTest,
                         ::testing::Values(LineEndCase {"CrLf", "\r\n"}, LineEndCase {"Lf", "\n"},
                                           LineEndCase {"Cr", "\r"}),
                         [](const ::testing::TestParamInfo<LineEndCase>& p) { return std::string(p.param.name); });

TEST(FieldReader, TakesGarbageAndLongLines) {
    std::string garbage;
    std::uint32_t x = 7;
    for (int i = 0; i < 200000; ++i) {
        x = x * 1103515245u + 12345u;
        garbage += static_cast<char>(x >> 24);
    }
    FieldReader reader(garbage);
    int guard = 0;
    while (!reader.AtEnd() && guard++ < 400000) {
        (void)reader.LineOpening();
        (void)reader.ReadField();
    }
    EXPECT_TRUE(reader.AtEnd());

    std::string longField(100000, 'z');
    EXPECT_EQ(AllFields(longField + "," + longField), (F {longField, longField}));
}

TEST(FieldReader, CountsLinesInsideQuotesAndOnLargeFiles) {
    FieldReader quoted("\"a\r\nb\",c\r\nd");
    EXPECT_EQ(quoted.ReadField(), "a\r\nb");
    EXPECT_EQ(quoted.LineNumber(), 2);
    EXPECT_EQ(quoted.ReadField(), "c");
    EXPECT_EQ(quoted.LineNumber(), 3);

    // Numbering every record of a long file must stay linear.
    std::string big;
    for (int i = 0; i < 60000; ++i) big += "field,another field\r\n";
    FieldReader reader(big);
    int records = 0;
    while (!reader.AtEnd()) {
        ASSERT_EQ(reader.LineNumber(), records + 1);
        reader.ReadField();
        reader.ReadField();
        ++records;
    }
    EXPECT_EQ(records, 60000);
}

}  // namespace
}  // namespace qp
