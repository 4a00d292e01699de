#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/ini_file.h"
#include "platform/temp_dir.h"

namespace qp {
namespace {

const std::string kOriginal = "[Rebut]\r\nAntic=0\r\n\r\n; rows\r\n[Usuari]\r\nIdioma=CAT\r\n";

// The real system, with one service failing on request.
class FaultyPlatform : public SystemPlatform {
public:
    bool failCreate = false;
    bool failOpenForWriting = false;
    bool everyNameTaken = false;
    int replaceFailures = 0;  // how many Replace calls fail before one succeeds
    FailureCause replaceCause = FailureCause::InUse;

    int existsOnTemporary = 0;
    int replaceCalls = 0;
    int sleeps = 0;
    std::string lastTemporary;

    std::unique_ptr<File> CreateCopy(const std::string& path, const FileIdentity& identity, Status& status) override {
        if (failCreate) {
            status = Status::Fail("Injected: permission denied", FailureCause::Denied);
            return nullptr;
        }
        return SystemPlatform::CreateCopy(path, identity, status);
    }
    Status OpenForRewrite(const std::string& path, RewriteTarget& target) override {
        if (failOpenForWriting) return Status::Fail("Injected: permission denied", FailureCause::Denied);
        return SystemPlatform::OpenForRewrite(path, target);
    }
    bool Exists(const std::string& path) override {
        if (path.size() > 4 && path.substr(path.size() - 4) == ".tmp") {
            ++existsOnTemporary;
            if (everyNameTaken) return true;
        }
        return SystemPlatform::Exists(path);
    }
    Status Replace(const std::string& from, const std::string& to) override {
        ++replaceCalls;
        lastTemporary = from;
        if (replaceFailures > 0) {
            --replaceFailures;
            return Status::Fail("Injected: device busy", replaceCause);
        }
        return SystemPlatform::Replace(from, to);
    }
    void SleepMilliseconds(int) override { ++sleeps; }
};

struct FaultCase {
    const char* name;
    bool failCreate;
    bool failOpenForWriting;
    bool everyNameTaken;
    int replaceFailures;
    const char* reasonPart;
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class IniWriteFaultTest : public ::testing::TestWithParam<FaultCase> {};

void Arm(FaultyPlatform& platform, const FaultCase& c) {
    platform.failCreate = c.failCreate;
    platform.failOpenForWriting = c.failOpenForWriting;
    platform.everyNameTaken = c.everyNameTaken;
    platform.replaceFailures = c.replaceFailures;
}

TEST_P(IniWriteFaultTest, ReportsAndLeavesFileAsItWas) {
    const FaultCase& c = GetParam();
    testing::TempDir dir;
    dir.Write("Tarn.ini", kOriginal);
    FaultyPlatform platform;
    Arm(platform, c);

    Status status = WriteIniKey(platform, dir / "Tarn.ini", "Rebut", "Antic", "1");
    EXPECT_FALSE(status.ok);
    EXPECT_NE(status.reason.find(c.reasonPart), std::string::npos) << status.reason;
    EXPECT_EQ(dir.Read("Tarn.ini"), kOriginal);
    EXPECT_EQ(dir.Entries(), std::vector<std::string> {"Tarn.ini"});
}

TEST_P(IniWriteFaultTest, MissingFileStaysMissing) {
    const FaultCase& c = GetParam();
    testing::TempDir dir;
    FaultyPlatform platform;
    Arm(platform, c);

    EXPECT_FALSE(WriteIniKey(platform, dir / "Tarn.ini", "Rebut", "Antic", "1").ok);
    EXPECT_TRUE(dir.Entries().empty());
}

INSTANTIATE_TEST_SUITE_P(Faults, IniWriteFaultTest,
                         ::testing::Values(FaultCase {"TemporaryNotCreated", true, false, false, 0, "Injected"},
                                           FaultCase {"FileNotOpenable", false, true, false, 0, "Injected"},
                                           FaultCase {"ReplaceAlwaysFails", false, false, false, 1000, "Injected"},
                                           FaultCase {"EveryNameTaken", false, false, true, 0, "taken"}),
                         [](const ::testing::TestParamInfo<FaultCase>& p) { return std::string(p.param.name); });

TEST(IniWriteFault, RepetitionsAreBounded) {
    testing::TempDir dir;
    dir.Write("Tarn.ini", kOriginal);

    FaultyPlatform names;
    names.everyNameTaken = true;
    EXPECT_FALSE(WriteIniKey(names, dir / "Tarn.ini", "Rebut", "Antic", "1").ok);
    EXPECT_EQ(names.existsOnTemporary, 100);

    // A file held by another program is waited out for about five seconds,
    // in sleeps from 5 ms growing to 50 ms, each try reading it again.
    FaultyPlatform busy;
    busy.replaceFailures = 1000;
    Status status = WriteIniKey(busy, dir / "Tarn.ini", "Rebut", "Antic", "1");
    EXPECT_FALSE(status.ok);
    EXPECT_EQ(status.cause, FailureCause::InUse);
    EXPECT_EQ(busy.replaceCalls, 104);
    EXPECT_EQ(busy.sleeps, 103);

    // Any other refusal is final at once.
    FaultyPlatform denied;
    denied.replaceFailures = 1000;
    denied.replaceCause = FailureCause::Denied;
    EXPECT_FALSE(WriteIniKey(denied, dir / "Tarn.ini", "Rebut", "Antic", "1").ok);
    EXPECT_EQ(denied.replaceCalls, 1);
    EXPECT_EQ(dir.Read("Tarn.ini"), kOriginal);
    EXPECT_EQ(dir.Entries(), std::vector<std::string> {"Tarn.ini"});
}

TEST(IniWriteFault, ReplaceSucceedingOnRetryWritesOnce) {
    testing::TempDir dir;
    dir.Write("Tarn.ini", kOriginal);
    FaultyPlatform platform;
    platform.replaceFailures = 2;

    Status status = WriteIniKey(platform, dir / "Tarn.ini", "Rebut", "Antic", "1");
    ASSERT_TRUE(status.ok) << status.reason;
    EXPECT_EQ(platform.replaceCalls, 3);
    EXPECT_EQ(dir.Read("Tarn.ini"), "[Rebut]\r\nAntic=1\r\n\r\n; rows\r\n[Usuari]\r\nIdioma=CAT\r\n");
    EXPECT_EQ(dir.Entries(), std::vector<std::string> {"Tarn.ini"});
}

TEST(IniWriteFault, TemporaryFileIsBesideTheFile) {
    testing::TempDir dir;
    FaultyPlatform platform;
    ASSERT_TRUE(WriteIniKey(platform, dir / "Tarn.ini", "S", "K", "v").ok);
    const std::string& name = platform.lastTemporary;
    ASSERT_EQ(name.size(), dir.Dir().size() + 12);
    EXPECT_EQ(name.substr(0, dir.Dir().size()), dir.Dir());
    EXPECT_TRUE(IsRewriteCopyName(name.substr(dir.Dir().size()))) << name;
}

}  // namespace
}  // namespace qp
