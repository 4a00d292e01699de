// Saves from several processes at once, on real files: each holds the lock
// from its reading of the file to the replace, so none loses another's key.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "config/ini_file.h"
#include "platform/temp_dir.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace qp {
namespace {

constexpr int kSavers = 8;
constexpr int kRounds = 20;

void ExpectEveryKey(const testing::TempDir& dir, bool fileThereFirst) {
    SystemPlatform platform;
    const IniDocument file = IniDocument::Read(platform, dir / "Tarn.ini", kLargeFileLimit);
    for (int k = 0; k < kSavers; ++k) EXPECT_EQ(file.Value("Rebut", "Clau" + std::to_string(k)), std::to_string(k));
    EXPECT_EQ(file.Value("Usuari", "Idioma"), fileThereFirst ? "CAT" : "");
    EXPECT_EQ(dir.Entries(), std::vector<std::string> {"Tarn.ini"}) << "no copy left";
}

const char* const kFirstFile = "[Usuari]\r\nIdioma=CAT\r\n\r\n[Rebut]\r\nAntic=N\r\n";

// The lock belongs to the open file, not to the process: saves of one
// process, each on a thread of its own, keep out of each other too (and
// this runs where processes cannot be forked).
TEST(ConcurrentSaves, SavesOnThreadsOfOneProcessKeepEveryKey) {
    for (bool fileThereFirst : {true, false}) {
        for (int round = 0; round < kRounds / 2; ++round) {
            SCOPED_TRACE("round " + std::to_string(round));
            testing::TempDir dir;
            if (fileThereFirst) dir.Write("Tarn.ini", kFirstFile);
            std::vector<std::thread> savers;
            std::vector<int> failed(kSavers, 0);
            for (int k = 0; k < kSavers; ++k) {
                savers.emplace_back([&, k] {
                    SystemPlatform platform;
                    failed[static_cast<std::size_t>(k)] =
                        !WriteIniKey(platform, dir / "Tarn.ini", "Rebut", "Clau" + std::to_string(k), std::to_string(k)).ok;
                });
            }
            for (std::thread& saver : savers) saver.join();
            EXPECT_EQ(failed, std::vector<int>(kSavers, 0));
            ExpectEveryKey(dir, fileThereFirst);
        }
    }
}

#ifndef _WIN32

// Starts one process per key, lets them go at the same moment through a
// pipe they all wait on, and gives the number of savers that failed.
int SaveTogether(const std::string& path, int savers) {
    int gate[2];
    if (::pipe(gate) != 0) return savers;
    std::vector<pid_t> children;
    for (int k = 0; k < savers; ++k) {
        pid_t pid = ::fork();
        if (pid == 0) {
            ::close(gate[1]);
            char byte;
            (void)!::read(gate[0], &byte, 1);  // until the parent closes the gate
            SystemPlatform platform;
            Status saved = WriteIniKey(platform, path, "Rebut", "Clau" + std::to_string(k), std::to_string(k));
            ::_exit(saved.ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    ::close(gate[0]);
    ::close(gate[1]);
    int failed = 0;
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failed;
    }
    return failed;
}

class ConcurrentSavesOfProcesses : public ::testing::TestWithParam<bool> {};

TEST_P(ConcurrentSavesOfProcesses, EveryValueIsThereAfterEveryRound) {
    const bool fileThereFirst = GetParam();
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        testing::TempDir dir;
        if (fileThereFirst) dir.Write("Tarn.ini", kFirstFile);
        ASSERT_EQ(SaveTogether(dir / "Tarn.ini", kSavers), 0);
        ExpectEveryKey(dir, fileThereFirst);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, ConcurrentSavesOfProcesses, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& p) {
                             return std::string(p.param ? "FileThere" : "FileMissing");
                         });

#endif  // _WIN32

}  // namespace
}  // namespace qp
