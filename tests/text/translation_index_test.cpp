#include "text/translation_index.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "peak_memory.h"
#include "platform/platform.h"
#include "platform/temp_dir.h"

namespace qp {
namespace {

struct Lookup {
    std::string catalan;
    std::optional<std::string> spanish;
};

struct IndexCase {
    const char* name;
    std::string bytes;
    std::vector<Lookup> lookups;
};

void PrintTo(const IndexCase& c, std::ostream* os) { *os << c.name; }

class TranslationIndexTest : public ::testing::TestWithParam<IndexCase> {};

TEST_P(TranslationIndexTest, FindsTheFirstCompleteRecordOfEachKey) {
    const TranslationIndex index(GetParam().bytes, 3);
    for (const Lookup& lookup : GetParam().lookups) {
        const std::optional<std::string_view> found = index.Find(lookup.catalan);
        EXPECT_EQ(found ? std::optional<std::string>(std::string(*found)) : std::nullopt, lookup.spanish)
            << ::testing::PrintToString(lookup.catalan);
    }
}

// Keys that another key starts with, keys of bytes above 0x7F, and a
// repeated key far from its first record, where only the index's order
// keeps the first.
std::string FarRepeat() {
    std::string bytes = "Desar,g,o,Guardar\r\n";
    for (int i = 0; i < 6000; ++i) bytes += "k" + std::to_string(i) + ",g,o,s\r\n";
    return bytes + "Desar,g,o,Salvar\r\n";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TranslationIndexTest,
    ::testing::Values(
        IndexCase {"FirstRecordWins", "a,g,o,1\r\nb,g,o,2\r\na,g,o,3\r\n", {{"a", "1"}, {"b", "2"}, {"c", std::nullopt}}},
        IndexCase {"FirstRecordWinsFarAway", FarRepeat(), {{"Desar", "Guardar"}, {"k5999", "s"}, {"k6000", std::nullopt}}},
        IndexCase {"PrefixesAndHighBytes", "ab,g,o,2\r\na,g,o,1\r\n\xA0,g,o,3\r\n,g,o,4\r\n",
                   {{"a", "1"}, {"ab", "2"}, {"\xA0", "3"}, {"", "4"}, {"abc", std::nullopt}}},
        IndexCase {"RecordCutShortIsIgnored", "a,g,o,1\r\nb,g,o", {{"a", "1"}, {"b", std::nullopt}}},
        IndexCase {"EmptyTranslationIsATranslation", "a,g,o,\r\n", {{"a", ""}}},
        IndexCase {"RecordOverTwoLines", "a,g\r\no,1\r\n", {{"a", "1"}}},
        IndexCase {"CtrlZEndsTheFile", "a,g,o,1\r\n\x1A" "b,g,o,2\r\n", {{"a", "1"}, {"b", std::nullopt}, {"\x1A", std::nullopt}}},
        // Where the file holds a CR, a lone LF ends no field: it is dropped.
        IndexCase {"LoneLfInACrFile", "a\nb,g,o,1\r\nc,g,o,2\n", {{"ab", "1"}, {"a", std::nullopt}, {"c", "2"}}},
        IndexCase {"LfFile", "a,g,o,1\nb,g,o,2\n", {{"a", "1"}, {"b", "2"}}},
        IndexCase {"QuotedKeyKeepsItsBlanks", "\"a \",g,o,1\r\na,g,o,2\r\n", {{"a ", "1"}, {"a", "2"}}}),
    [](const ::testing::TestParamInfo<IndexCase>& p) { return std::string(p.param.name); });

TEST(TranslationIndex, TakesTheColumnAskedFor) {
    const std::string_view texts[] = {"gl", "oc", "es"};
    for (int column : {1, 2, 3}) EXPECT_EQ(TranslationIndex("a,gl,oc,es\r\n", column).Find("a"), texts[column - 1]);
}

#ifndef _WIN32

struct ShapeCase {
    const char* name;
    testing::FileShape shape;
    std::string expected;  // the translations of "Desar" and of "x"
};

void PrintTo(const ShapeCase& c, std::ostream* os) { *os << c.name; }

class TranslationIndexMemoryTest : public ::testing::TestWithParam<ShapeCase> {};

// Memory and time in proportion to the file, whatever its shape, at a
// quarter of the largest language file allowed.
TEST_P(TranslationIndexMemoryTest, StaysInProportionToTheFile) {
    constexpr std::size_t kSize = std::size_t {16} << 20;
    const ShapeCase& c = GetParam();
    testing::TempDir dir;
    testing::WriteShape(dir / "QPLAYOUT.LNG", c.shape, kSize);
    std::string found;
    const testing::WorkCost cost = testing::MeasureInChild(
        [&] {
            SystemPlatform platform;
            std::optional<std::string> bytes = ReadWholeFile(platform, dir / "QPLAYOUT.LNG", kLargeFileLimit);
            const TranslationIndex index(std::move(bytes).value_or(std::string()), 3);
            std::string texts;
            for (const char* catalan : {"Desar", "x"}) {
                const std::string_view text = index.Find(catalan).value_or("-");
                texts += (text.size() > 16 ? "<" + std::to_string(text.size()) + ">" : std::string(text)) + ";";
            }
            return texts;
        },
        found);
    ASSERT_TRUE(cost.ran);
    EXPECT_EQ(found, c.expected);
    if (!testing::kMemoryMeasurable) GTEST_SKIP() << "a sanitizer's memory and time say nothing of the program's";
    EXPECT_LE(cost.peakBytes, 3 * kSize + (std::size_t {16} << 20)) << "peak " << cost.peakBytes / 1024 << " KB";
    EXPECT_LT(cost.seconds, 10.0);
    ::testing::Test::RecordProperty("peak_kb", std::to_string(cost.peakBytes / 1024));
    ::testing::Test::RecordProperty("seconds", std::to_string(cost.seconds));
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, TranslationIndexMemoryTest,
    ::testing::Values(ShapeCase {"ManyEmptyRecords", {"", ",,,\n", "Desar,g,o,Guardar\n"}, "Guardar;-;"},
                      ShapeCase {"OnlyCommas", {"Desar,g,o,Guardar,", ",", ""}, "Guardar;-;"},
                      ShapeCase {"ManyTinyLines", {"", "\n", ""}, "-;-;"},
                      ShapeCase {"AlternatingKeys", {"", "x,,,s\r\n,,,\r\n", ""}, "-;s;"},
                      ShapeCase {"OneHugeLine", {"", "x", ""}, "-;-;"},
                      ShapeCase {"ManyDistinctKeys", {"", ",,,\n", "Desar,g,o,Guardar\n", true}, "Guardar;-;"},
                      ShapeCase {"OneHugeQuotedField", {"x,g,o,\"", "y", "\""}, "-;<16777208>;"}),
    [](const ::testing::TestParamInfo<ShapeCase>& p) { return std::string(p.param.name); });

#endif  // _WIN32

}  // namespace
}  // namespace qp
