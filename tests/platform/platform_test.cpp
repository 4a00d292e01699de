#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "platform/platform.h"
#include "platform/temp_dir.h"

namespace qp {
namespace {

class PlatformFiles : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir / "Forms/Sub");
        dir.Write("Forms/Sub/QPLayout.MPN", "form");
    }
    testing::TempDir dir;
    SystemPlatform platform;
};

#ifndef _WIN32  // paths are mapped to POSIX names only there
TEST_F(PlatformFiles, ProgramPathsFindFilesWhateverTheirCase) {
    const char* written[] = {"Forms/Sub/QPLayout.MPN", "FORMS\\SUB\\QPLAYOUT.MPN", "forms\\sub/qplayout.mpn"};
    for (const char* path : written) {
        EXPECT_EQ(NativePath(dir.Dir() + path), dir / "Forms/Sub/QPLayout.MPN") << path;
        EXPECT_EQ(ReadWholeFile(platform, dir.Dir() + path, kLargeFileLimit), "form") << path;
    }
}

TEST_F(PlatformFiles, NewFileInExistingDirectoryOfOtherCase) {
    EXPECT_EQ(NativePath(dir.Dir() + "FORMS\\New.txt"), dir / "Forms/New.txt");
    EXPECT_TRUE(WriteWholeFile(platform, dir.Dir() + "FORMS\\New.txt", "x").ok);
    EXPECT_EQ(dir.Read("Forms/New.txt"), "x");
}
#endif  // _WIN32

TEST_F(PlatformFiles, OpenModes) {
    std::string reason;
    EXPECT_EQ(platform.Open(dir / "missing", OpenMode::ReadShared, &reason), nullptr);
    EXPECT_FALSE(reason.empty());

    EXPECT_NE(platform.Open(dir / "made", OpenMode::ReadCreating), nullptr);
    EXPECT_TRUE(dir.Has("made"));
    EXPECT_EQ(dir.Read("made"), "");

    reason.clear();
    EXPECT_EQ(platform.Open(dir / "made", OpenMode::CreateExclusive, &reason), nullptr);
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(platform.Open(dir / "Forms", OpenMode::ReadShared), nullptr);
}

#ifndef _WIN32
// A whole-file read takes regular files up to its limit, and refuses at once
// what another user may have put in a shared folder instead.
TEST_F(PlatformFiles, WholeFileReadsTakeOnlyBoundedRegularFiles) {
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", dir / "zero");
    dir.Write("limit", std::string(100, 'x'));
    dir.Write("over", std::string(101, 'x'));
    const struct {
        const char* name;
        bool read;
    } cases[] = {{"limit", true}, {"over", false}, {"fifo", false}, {"zero", false}, {"Forms", false}, {"missing", false}};
    for (const auto& c : cases) {
        std::string reason;
        std::optional<std::string> bytes = ReadWholeFile(platform, dir / c.name, 100, &reason);
        EXPECT_EQ(bytes.has_value(), c.read) << c.name;
        EXPECT_EQ(reason.empty(), c.read) << c.name;
    }
}
#endif  // _WIN32

#ifndef _WIN32  // an exclusive writer shuts out readers there
TEST_F(PlatformFiles, ReadAndWriteAtPositionsBeyondSixteenBits) {
    auto file = platform.Open(dir / "big", OpenMode::CreateExclusive);
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(file->WriteAt(70000, "end", 3).ok);
    ASSERT_TRUE(file->Sync().ok);
    EXPECT_EQ(file->Size(), 70003);
    auto reader = platform.Open(dir / "big", OpenMode::ReadShared);
    ASSERT_NE(reader, nullptr);
    char buffer[8] = {};
    EXPECT_EQ(reader->ReadAt(70000, buffer, sizeof buffer), 3);
    EXPECT_EQ(std::string(buffer, 3), "end");
    EXPECT_EQ(reader->ReadAt(80000, buffer, sizeof buffer), 0);
}
#endif  // _WIN32

TEST_F(PlatformFiles, ReplacePutsNewFileInPlace) {
    dir.Write("old.ini", "old");
    dir.Write("new.tmp", "new");
    ASSERT_TRUE(platform.Replace(dir / "new.tmp", dir / "old.ini").ok);
    EXPECT_EQ(dir.Read("old.ini"), "new");
    EXPECT_FALSE(dir.Has("new.tmp"));
    Status failed = platform.Replace(dir / "gone.tmp", dir / "old.ini");
    EXPECT_FALSE(failed.ok);
    EXPECT_FALSE(failed.reason.empty());
    EXPECT_EQ(dir.Read("old.ini"), "new");
}

TEST_F(PlatformFiles, RemoveAndExists) {
    EXPECT_TRUE(platform.Exists(dir.Dir() + "forms\\SUB"));
    EXPECT_TRUE(platform.Remove(dir.Dir() + "FORMS\\SUB\\QPLAYOUT.MPN").ok);
    EXPECT_FALSE(platform.Exists(dir / "Forms/Sub/QPLayout.MPN"));
    EXPECT_FALSE(platform.Remove(dir / "Forms/Sub/QPLayout.MPN").ok);
}

void SetVariable(const char* name, const char* value) {
#ifdef _WIN32
    ::_putenv_s(name, value);
#else
    if (*value)
        ::setenv(name, value, 1);
    else
        ::unsetenv(name);
#endif
}

TEST(Platform, EnvironmentAndTime) {
    SystemPlatform platform;
    SetVariable("QP_TEST_VARIABLE", "C:\\MUR\\");
    EXPECT_EQ(platform.GetEnv("QP_TEST_VARIABLE"), "C:\\MUR\\");
    SetVariable("QP_TEST_VARIABLE", "");
    EXPECT_EQ(platform.GetEnv("QP_TEST_VARIABLE"), "");
    std::int64_t now = platform.HundredthsSinceMidnight();
    EXPECT_GE(now, 0);
    EXPECT_LT(now, 24 * 3600 * 100);
}

TEST(Platform, RandomRepeatsForTheSameSeed) {
    Random a(42);
    Random b(42);
    bool seen[10] = {};
    for (int i = 0; i < 1000; ++i) {
        int x = a.Below(10);
        ASSERT_EQ(x, b.Below(10));
        ASSERT_GE(x, 0);
        ASSERT_LT(x, 10);
        seen[x] = true;
    }
    for (bool s : seen) EXPECT_TRUE(s);
}

}  // namespace
}  // namespace qp
