#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/ini_file.h"
#include "platform/temp_dir.h"

namespace qp {
namespace {

struct WriteCase {
    const char* name;
    std::string file;
    std::string section;
    std::string key;
    std::string value;
    std::string expected;
};

void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.name; }

class IniWriteTest : public ::testing::TestWithParam<WriteCase> {};

TEST_P(IniWriteTest, WritesExactBytes) {
    const WriteCase& c = GetParam();
    testing::TempDir dir;
    dir.Write("Tarn.ini", c.file);
    SystemPlatform platform;
    Status status = WriteIniKey(platform, dir / "Tarn.ini", c.section, c.key, c.value);
    ASSERT_TRUE(status.ok) << status.reason;
    EXPECT_EQ(dir.Read("Tarn.ini"), c.expected);
    EXPECT_EQ(dir.Entries(), std::vector<std::string> {"Tarn.ini"});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniWriteTest,
    ::testing::Values(
        WriteCase {"NewKeyBeforeBlankAndCommentRun",
                   "[Rebut]\r\nAntic=0\r\n\r\n\r\n; receipts\r\n[Usuari]\r\nIdioma=CAT\r\n", "Rebut", "Matriu", "1",
                   "[Rebut]\r\nAntic=0\r\nMatriu=1\r\n\r\n\r\n; receipts\r\n[Usuari]\r\nIdioma=CAT\r\n"},
        WriteCase {"EmptyValueDeletesEntryKeepsBlanks", "[S]\r\nA=1\r\n\r\nK=2\r\n  \r\nB=3\r\n", "S", "K", "",
                   "[S]\r\nA=1\r\n\r\n  \r\nB=3\r\n"},
        WriteCase {"EmptyKeyDeletesHeaderAndEntries", "[S]\r\nA=1\r\n;c\r\njunk\r\nB=2\r\n\r\n[T]\r\nC=3\r\n", "s", "",
                   "x", ";c\r\njunk\r\n\r\n[T]\r\nC=3\r\n"},
        WriteCase {"ReplaceKeepsTextUpToEquals", "[ s ]\r\n  fila.NUM  = 12 ; old\r\n", "S", "FILA.NUM", "7",
                   "[ s ]\r\n  fila.NUM  =7\r\n"},
        WriteCase {"EveryEntryOfTheNameRewritten", "[S]\r\nK=1\r\nA=0\r\nk=2\r\n", "S", "K", "9",
                   "[S]\r\nK=9\r\nA=0\r\nk=9\r\n"},
        WriteCase {"MissingSectionGoesBeforeTrailingBlanks", "[T]\r\nC=3\r\n\r\n; end\r\n", "S", "K", "v",
                   "[T]\r\nC=3\r\n[S]\r\nK=v\r\n\r\n; end\r\n"},
        WriteCase {"MissingKeyBeforeNextHeader", "[S]\r\nA=1\r\n[T]\r\nK=0\r\n", "S", "K", "v",
                   "[S]\r\nA=1\r\nK=v\r\n[T]\r\nK=0\r\n"},
        WriteCase {"EmptySectionKeepsOnlyBlankAndComments", "x\r\n[S]\r\nK=1\r\n\r\n ;c\r\nB=2\r\n", "", "K", "v",
                   "\r\n ;c\r\n"},
        WriteCase {"DeletingAbsentKeyAddsNothing", "[S]\r\nA=1\r\n", "S", "K", "", "[S]\r\nA=1\r\n"},
        WriteCase {"DeletingAbsentSectionAddsNothing", "[S]\r\nA=1\r\n", "T", "", "", "[S]\r\nA=1\r\n"},
        WriteCase {"NewLinesTakeArgumentsAsGiven", "", " s ", " k ", " v ", "[ s ]\r\n k = v \r\n"},
        WriteCase {"EntryBeforeFirstHeaderIsNotTheKey", "K=1\r\n[S]\r\n", "S", "K", "2", "K=1\r\n[S]\r\nK=2\r\n"},
        WriteCase {"LeadingBlankLinesKept", "\r\n\r\n[S]\r\n", "S", "K", "v", "\r\n\r\n[S]\r\nK=v\r\n"},
        WriteCase {"CrOnlyFileKeepsCr", "[S]\rA=1\rK=1", "S", "K", "2", "[S]\rA=1\rK=2\r"},
        WriteCase {"UnendedLastLineGetsTheFilesEnd", "[S]\r\nK=1", "S", "K", "2", "[S]\r\nK=2\r\n"},
        WriteCase {"OneLineFileGetsCrLf", "[S]", "S", "K", "v", "[S]\r\nK=v\r\n"},
        WriteCase {"CtrlZEndsTheFile", "[S]\r\nK=1\r\n\x1Ajunk", "S", "K", "2", "[S]\r\nK=2\r\n"},
        WriteCase {"LfOnlyFileKeepsLf", "[S]\nK=1\n", "S", "K", "2", "[S]\nK=2\n"},
        WriteCase {"LfOnlyFileNewKeyBeforeBlanks", "[S]\nA=1\n\n[T]\n", "S", "K", "v", "[S]\nA=1\nK=v\n\n[T]\n"},
        WriteCase {"MixedEndsKeptLineByLine", "[S]\nA=1\r\nB=2\r", "S", "K", "v", "[S]\nA=1\r\nB=2\rK=v\r"},
        // Where the file holds a CR, lines are split as the suite splits
        // them: what is written is what the suite then reads.
        WriteCase {"StrayLfValueReplacedWhole", "[S]\r\nA=1\nB=2\r\n\r\n[T]\r\n", "S", "A", "9",
                   "[S]\r\nA=9\r\n\r\n[T]\r\n"},
        WriteCase {"KeyHiddenByStrayLfIsAdded", "[Rebut]\r\nAntic=S\r\nFila.Num=1\nFila.Dat=4\r\n", "Rebut", "Fila.Dat",
                   "5", "[Rebut]\r\nAntic=S\r\nFila.Num=1\nFila.Dat=4\r\nFila.Dat=5\r\n"},
        WriteCase {"HeaderAfterStrayLfIsPartOfTheComment", "; unix\n[Rebut]\r\nAntic=S\r\n", "Rebut", "Antic", "N",
                   "; unix\n[Rebut]\r\nAntic=S\r\n[Rebut]\r\nAntic=N\r\n"},
        WriteCase {"StrayLfBeforeAHeaderDoesNotEndTheSection", "[S]\r\nA=1\n[T]\r\n", "S", "K", "v",
                   "[S]\r\nA=1\n[T]\r\nK=v\r\n"},
        WriteCase {"NewSectionAfterUnendedLastLine", "; c\r\n[T]\nC=3", "S", "K", "v",
                   "; c\r\n[T]\nC=3\r\n[S]\r\nK=v\r\n"},
        WriteCase {"LfFileWithByteOrderMarkKeepsBoth", "\xEF\xBB\xBF[S]\nK=1\n", "s", "k", "2",
                   "\xEF\xBB\xBF[S]\nK=2\n"},
        // Behind the mark the suite sees no header: the key goes where it will.
        WriteCase {"ByteOrderMarkInACrFileHidesTheFirstSection", "\xEF\xBB\xBF[S]\r\nK=1\r\n", "s", "k", "2",
                   "\xEF\xBB\xBF[S]\r\nK=1\r\n[s]\r\nk=2\r\n"},
        WriteCase {"ByteOrderMarkOnlyFileKeepsItOnALineOfItsOwn", "\xEF\xBB\xBF", "S", "K", "v",
                   "\xEF\xBB\xBF\r\n[S]\r\nK=v\r\n"},
        WriteCase {"RepeatedSectionRewrittenInBoth", "[S]\r\nK=1\r\n[T]\r\n[S]\r\nK=2\r\n", "S", "K", "3",
                   "[S]\r\nK=3\r\n[T]\r\n[S]\r\nK=3\r\n"},
        WriteCase {"CommentOnlyLineInsideSectionIsHeldBack", "[S]\r\nA=1\r\n; note\r\n[T]\r\n", "S", "K", "v",
                   "[S]\r\nA=1\r\nK=v\r\n; note\r\n[T]\r\n"}),
    [](const ::testing::TestParamInfo<WriteCase>& p) { return std::string(p.param.name); });

TEST(IniWrite, MissingFileIsCreatedWithHeaderAndEntry) {
    testing::TempDir dir;
    SystemPlatform platform;
    ASSERT_TRUE(WriteIniKey(platform, dir / "Tarn.ini", "Rebut", "Antic", "1").ok);
    EXPECT_EQ(dir.Read("Tarn.ini"), "[Rebut]\r\nAntic=1\r\n");
    EXPECT_EQ(ReadIniKey(platform, dir / "Tarn.ini", "REBUT", "antic"), "1");
}

TEST(IniWrite, MissingDirectoryIsReported) {
    testing::TempDir dir;
    SystemPlatform platform;
    Status status = WriteIniKey(platform, dir / "NoDir/Tarn.ini", "S", "K", "v");
    EXPECT_FALSE(status.ok);
    EXPECT_FALSE(status.reason.empty());
    EXPECT_TRUE(dir.Entries().empty());
}

// Builds a file well past 32,767 bytes with a run of blank lines that
// straddles that offset, so that positions beyond 16 bits are exercised.
TEST(IniWrite, LargeFileRewrittenExactly) {
    std::string head = "[Big]\r\n";
    int n = 0;
    while (head.size() < 32700) head += "Key" + std::to_string(n++) + "=" + std::string(40, 'v') + "\r\n";
    std::string run = std::string("\r\n") + std::string(60, ' ') + "\r\n; straddles\r\n";
    std::string tail;
    for (int i = 0; i < 1200; ++i) tail += "Other" + std::to_string(i) + "=" + std::string(30, 'w') + "\r\n";
    std::string original = head + run + "[S]\r\nK=old\r\n" + tail + "\r\n\r\n";
    ASSERT_GT(original.size(), 32767u * 2);

    testing::TempDir dir;
    dir.Write("Tarn.ini", original);
    SystemPlatform platform;
    ASSERT_TRUE(WriteIniKey(platform, dir / "Tarn.ini", "Big", "Added", "1").ok);
    EXPECT_EQ(dir.Read("Tarn.ini"), head + "Added=1\r\n" + run + "[S]\r\nK=old\r\n" + tail + "\r\n\r\n");
    ASSERT_TRUE(WriteIniKey(platform, dir / "Tarn.ini", "S", "K", "new").ok);
    EXPECT_EQ(dir.Read("Tarn.ini"), head + "Added=1\r\n" + run + "[S]\r\nK=new\r\n" + tail + "\r\n\r\n");
    EXPECT_EQ(ReadIniKey(platform, dir / "Tarn.ini", "S", "Other1199"), std::string(30, 'w'));
}

TEST(IniWrite, TakesGarbageAndLongLines) {
    std::string garbage;
    std::uint32_t x = 99;
    for (int i = 0; i < 100000; ++i) {
        x = x * 1103515245u + 12345u;
        garbage += static_cast<char>(x >> 24);
    }
    garbage.erase(std::remove(garbage.begin(), garbage.end(), '\x1A'), garbage.end());
    testing::TempDir dir;
    dir.Write("Tarn.ini", "x\r\n" + garbage + "\r\n" + std::string(100000, 'L'));
    SystemPlatform platform;
    ASSERT_TRUE(WriteIniKey(platform, dir / "Tarn.ini", "S", "K", "v").ok);
    EXPECT_EQ(ReadIniKey(platform, dir / "Tarn.ini", "S", "K"), "v");
    std::string after = dir.Read("Tarn.ini");
    EXPECT_NE(after.find(std::string(100000, 'L') + "\r\n"), std::string::npos);
}

// A save changes several keys in one pass over the file: the bytes must be
// those of one WriteIniKey after another.
TEST(IniWrite, SeveralChangesAtOnceWriteWhatOneAfterAnotherWould) {
    const std::string files[] = {
        "",
        "[Rebut]\r\nAntic=S\r\n",
        "[T]\r\nC=3\r\n\r\n; end\r\n",
        "[Rebut]\r\nA=1\r\n\r\nK=2\r\n  \r\nB=3\r\n[T]\r\n",
        "[Rebut]\r\nK=1\r\n[T]\r\n[rebut]\r\nB=2\r\nk=2\r\n",
        "; unix\n[Rebut]\r\nB=1\nK=1",
        "\xEF\xBB\xBF\n\n",
        "[Rebut]\r\nA=1\r\n; c\r\nB=2\r\n",
        "[Rebut]\rK=1\rB=2\r\n  ",
        "[Rebut]\r\nB=2\r\n\r\n[T]\r\n",
    };
    const std::vector<IniChange> changes[] = {
        {{"K", "9"}, {"B", "8"}, {"New", "7"}},
        {{"B", ""}, {"New", "7"}, {"K", "6"}},
        {{"K", ""}, {"B", ""}},
        // A key added before one is deleted went in after the deleted line.
        {{"New", "7"}, {"B", ""}},
        {{"New", "7"}, {"K", ""}, {"Other", "1"}, {"B", ""}},
    };
    for (const std::string& file : files) {
        for (const std::vector<IniChange>& batch : changes) {
            std::string oneByOne = file;
            for (const IniChange& change : batch) oneByOne = RewriteIniValue(oneByOne, "Rebut", change.key, change.value);
            EXPECT_EQ(IniView(file).Rewritten("Rebut", batch), oneByOne) << file << " / " << batch.front().key;
        }
    }
}

}  // namespace
}  // namespace qp
