#include <gtest/gtest.h>

#include <string>

#include "config/ini_file.h"
#include "platform/temp_dir.h"

namespace qp {
namespace {

struct ReadCase {
    const char* name;
    std::string file;
    std::string section;
    std::string key;
    std::string expected;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class IniReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(IniReadTest, FindsValue) {
    const ReadCase& c = GetParam();
    testing::TempDir dir;
    dir.Write("Tarn.ini", c.file);
    SystemPlatform platform;
    EXPECT_EQ(ReadIniKey(platform, dir / "Tarn.ini", c.section, c.key), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniReadTest,
    ::testing::Values(
        ReadCase {"SpacesCaseAndComment", "[ rebut ]\r\n  Fila.Num = 12 ; row\r\n", "Rebut", "FILA.NUM", " 12 "},
        ReadCase {"QuoteCutAtComment", "[S]\r\nK=\"a;b\"\r\n", "S", "K", "\"a"},
        ReadCase {"TwoQuotesAreEmpty", "[S]\r\nK=\"\"\r\n", "S", "K", ""},
        ReadCase {"SingleQuoteUnchanged", "[S]\r\nK=\"\r\n", "S", "K", "\""},
        ReadCase {"QuotedValueInnerKept", "[S]\r\nK=\" x \"\"\r\n", "S", "K", " x \""},
        ReadCase {"TrailingSpacesKept", "[S]\r\nK=v  \r\n", "S", "K", "v  "},
        ReadCase {"EntryBeforeFirstHeaderIgnored", "K=1\r\n[S]\r\n", "S", "K", ""},
        ReadCase {"NextHeaderEndsSection", "[S]\r\nA=1\r\n[T]\r\nK=2\r\n", "S", "K", ""},
        ReadCase {"FirstEntryWins", "[S]\r\nK=1\r\nK=2\r\n", "S", "K", "1"},
        ReadCase {"FirstSectionWins", "[S]\r\nA=1\r\n[S]\r\nK=2\r\n", "S", "K", ""},
        ReadCase {"HeaderWithoutBracket", "[ S \r\nK=1\r\n", "S", "K", "1"},
        ReadCase {"TextAfterBracketIgnored", "[S] x=y\r\nK=1\r\n", "S", "K", "1"},
        ReadCase {"CommentedHeaderIsBlank", ";[T]\r\n[S]\r\nK=1\r\n", "T", "K", ""},
        ReadCase {"OtherAndCommentLinesSkipped", "[S]\r\njunk\r\n ; c\r\n  K=v\r\n", "S", "K", "v"},
        ReadCase {"TabIsNotBlank", "[S]\r\n\tK=1\r\n", "S", "K", ""},
        ReadCase {"EqualsInValueKept", "[S]\r\nK=a=b\r\n", "S", "K", "a=b"},
        ReadCase {"CrOnlyLineEnds", "[S]\rA=0\rK=1\r", "S", "K", "1"},
        ReadCase {"LoneLfEndsALine", "[S]\nK=1\n", "S", "K", "1"},
        ReadCase {"MixedLineEnds", "[S]\nA=0\r\nB=2\rK=1", "S", "K", "1"},
        ReadCase {"ByteOrderMarkSetAsideInAnLfFile", "\xEF\xBB\xBF[S]\nK=1\n", "S", "K", "1"},
        // The suite's other programs see no header behind the mark.
        ReadCase {"ByteOrderMarkHidesTheFirstHeaderOfACrFile", "\xEF\xBB\xBF[S]\r\nK=1\r\n", "S", "K", ""},
        // Where the file holds a CR, a lone LF is a byte of its line, as the
        // suite reads it: the second entry is part of the first one's value.
        ReadCase {"StrayLfIsPartOfTheValue", "[Rebut]\r\nFila.Num=1\nFila.Dat=4\r\n", "Rebut", "Fila.Num", "1\nFila.Dat=4"},
        ReadCase {"StrayLfHidesTheNextEntry", "[Rebut]\r\nFila.Num=1\nFila.Dat=4\r\n", "Rebut", "Fila.Dat", ""},
        ReadCase {"OneCrAnywhereJoinsLfLines", "[S]\nK=1\n; dos\r", "S", "K", ""},
        ReadCase {"CrAfterCtrlZDoesNotCount", "[S]\nK=1\n\x1A\r", "S", "K", "1"},
        ReadCase {"ByteOrderMarkOnlyAtTheStart", "[T]\r\n\xEF\xBB\xBF[S]\r\nK=1\r\n", "S", "K", ""},
        ReadCase {"LfAfterCrBelongsToLineEnd", "[S]\r\n\r\nK=1", "S", "K", "1"},
        ReadCase {"CtrlZEndsFile", "[S]\r\n\x1AK=1\r\n", "S", "K", ""},
        ReadCase {"CtrlZInsideValue", "[S]\r\nK=12\x1A" "34\r\n", "S", "K", "12"},
        ReadCase {"Cp850SmallLettersMatchCapitals", "[\x87\x82s]\r\nK=1\r\n", "\x80\x90S", "k", "1"},
        ReadCase {"OtherAccentsAreNotFolded", "[\x85]\r\nK=1\r\n", "\xB7", "K", ""},
        ReadCase {"MissingKey", "[S]\r\nA=1\r\n", "S", "K", ""},
        ReadCase {"EmptyFile", "", "S", "K", ""}),
    [](const ::testing::TestParamInfo<ReadCase>& p) { return std::string(p.param.name); });

TEST(IniRead, MissingFileOrDirectoryGivesEmpty) {
    testing::TempDir dir;
    SystemPlatform platform;
    EXPECT_EQ(ReadIniKey(platform, dir / "Tarn.ini", "S", "K"), "");
    EXPECT_EQ(ReadIniKey(platform, dir / "NoDir\\Tarn.ini", "S", "K"), "");
    EXPECT_EQ(ReadIniKey(platform, dir.Dir(), "S", "K"), "");
}

TEST(IniRead, UnreadableFileGivesEmpty) {
    struct NoAccess : SystemPlatform {
        std::unique_ptr<File> Open(const std::string&, OpenMode, std::string* reason) override {
            if (reason) *reason = "Permission denied";
            return nullptr;
        }
    } platform;
    testing::TempDir dir;
    dir.Write("Tarn.ini", "[S]\r\nK=1\r\n");
    EXPECT_EQ(ReadIniKey(platform, dir / "Tarn.ini", "S", "K"), "");
}

TEST(IniRead, TakesGarbageAndLongLines) {
    testing::TempDir dir;
    SystemPlatform platform;
    std::string garbage;
    std::uint32_t x = 12345;
    for (int i = 0; i < 200000; ++i) {
        x = x * 1103515245u + 12345u;
        garbage += static_cast<char>(x >> 24);
    }
    dir.Write("garbage.ini", garbage);
    (void)ReadIniKey(platform, dir / "garbage.ini", "S", "K");

    std::string longValue(100000, 'x');
    dir.Write("long.ini", "[S]\r\n" + std::string(100000, ' ') + "\r\nK=" + longValue);
    EXPECT_EQ(ReadIniKey(platform, dir / "long.ini", "S", "K"), longValue);
}

TEST(IniRead, PathWithBackslashesAndOtherCase) {
    testing::TempDir dir;
    std::filesystem::create_directory(dir / "TEMP");
    dir.Write("TEMP/TarnTerm.ini", "[Sistema]\r\nIdioma=SPA\r\n");
    SystemPlatform platform;
    EXPECT_EQ(ReadIniKey(platform, dir.Dir() + "temp\\TARNTERM.INI", "sistema", "idioma"), "SPA");
}

}  // namespace
}  // namespace qp
