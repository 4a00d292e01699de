// WinPush.tmp when a signal ends the process with windows open: given back as
// the program that started this one left it.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#ifndef _WIN32
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "platform/file_rollback.h"
#include "platform/temp_dir.h"
#include "screen/memory_console.h"
#include "screen/windows.h"

namespace qp {
namespace {

const ColourTable kTable {{{15, 1}, {7, 1}, {1, 7}, {14, 4}, {12, 2}}};

// One program's console and window stack over a shared temporary directory.
struct Program {
    explicit Program(const std::string& tempDir)
        : screen(console), colours(screen, kTable), windows(screen, colours, platform, tempDir) {}
    MemoryConsole console {25, 80};
    Screen screen;
    Colours colours;
    SystemPlatform platform;
    Windows windows;
};

TEST(WindowsRollback, ASignalGivesWinPushBackAsTheParentLeftIt) {
    const struct {
        const char* name;
        int parentWindows;  // windows the starting program has open
        int ownWindows;
        int ownClosed;
    } cases[] = {
        {"no file before: removed", 0, 2, 0},
        {"parent's records kept, ours cut off", 1, 3, 0},
        {"two parent records, one of ours closed already", 2, 2, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::TempDir dir;
        Program parent(dir.Dir());
        for (int i = 0; i < c.parentWindows; ++i) parent.windows.PushScreenRegion(2 + i, 3, 10 + i, 40);
        const bool existed = dir.Has("WinPush.tmp");
        const std::string before = existed ? dir.Read("WinPush.tmp") : "";

        Program child(dir.Dir());
        for (int i = 0; i < c.ownWindows; ++i) child.windows.PushScreenRegion(5 + i, 10, 15 + i, 60);
        for (int i = 0; i < c.ownClosed; ++i) child.windows.PopScreenRegion();
        ASSERT_TRUE(dir.Has("WinPush.tmp"));
        ASSERT_NE(dir.Read("WinPush.tmp"), before);

        RollBackFileOnSignal();
        EXPECT_EQ(dir.Has("WinPush.tmp"), existed);
        EXPECT_EQ(existed ? dir.Read("WinPush.tmp") : "", before);
    }
}

TEST(WindowsRollback, NothingIsTouchedOnceEveryOwnWindowIsClosed) {
    testing::TempDir dir;
    Program parent(dir.Dir());
    parent.windows.PushScreenRegion(2, 3, 10, 40);
    Program child(dir.Dir());
    child.windows.PushScreenRegion(5, 10, 15, 60);
    child.windows.PopScreenRegion();
    const std::string before = dir.Read("WinPush.tmp");
    // The parent goes on after the child's last window: a later signal
    // in the child must not undo what the parent does meanwhile.
    parent.windows.PushScreenRegion(4, 4, 8, 8);
    const std::string parents = dir.Read("WinPush.tmp");
    ASSERT_NE(parents, before);
    RollBackFileOnSignal();
    EXPECT_EQ(dir.Read("WinPush.tmp"), parents);
}

#ifndef _WIN32  // links and owners as POSIX has them
// The name WinPush.tmp is given to something else while a window is open;
// the signal then gives back the file that was armed, and the new one, and
// what it points to, stay as they are.
TEST(WindowsRollback, ASwapWhileAWindowIsOpenLeavesWhatTheNameNowStandsFor) {
    namespace fs = std::filesystem;
    const struct {
        const char* name;
        int parentWindows;
        std::function<void(const testing::TempDir&)> swap;
    } cases[] = {
        {"link to another file, no file before", 0,
         [](const testing::TempDir& d) { fs::create_symlink(d / "data.txt", d / "WinPush.tmp"); }},
        {"link to another file, parent's records before", 1,
         [](const testing::TempDir& d) { fs::create_symlink(d / "data.txt", d / "WinPush.tmp"); }},
        {"second name of another file", 1,
         [](const testing::TempDir& d) { fs::create_hard_link(d / "data.txt", d / "WinPush.tmp"); }},
        {"another file of this user", 0, [](const testing::TempDir& d) { d.Write("WinPush.tmp", "someone's"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::TempDir dir;
        dir.Write("data.txt", "the operator's data");
        Program parent(dir.Dir());
        for (int i = 0; i < c.parentWindows; ++i) parent.windows.PushScreenRegion(2 + i, 3, 10 + i, 40);
        Program child(dir.Dir());
        child.windows.PushScreenRegion(5, 10, 15, 60);
        fs::rename(dir / "WinPush.tmp", dir / "moved.tmp");
        c.swap(dir);
        const std::string now = dir.Read("WinPush.tmp");
        const auto kind = fs::symlink_status(dir / "WinPush.tmp").type();

        RollBackFileOnSignal();
        EXPECT_EQ(dir.Read("data.txt"), "the operator's data");
        EXPECT_EQ(fs::symlink_status(dir / "WinPush.tmp").type(), kind);
        EXPECT_EQ(dir.Read("WinPush.tmp"), now);
    }
}

TEST(WindowsRollback, AnotherUsersWinPushIsNeitherUsedNorGivenBack) {
    const passwd* nobody = ::getpwnam("nobody");
    if (::geteuid() != 0 || nobody == nullptr) GTEST_SKIP() << "needs root to give a file away";
    testing::TempDir dir;
    dir.Write("WinPush.tmp", "planted");
    ::chmod((dir / "WinPush.tmp").c_str(), 0666);
    ASSERT_EQ(::chown((dir / "WinPush.tmp").c_str(), nobody->pw_uid, static_cast<gid_t>(-1)), 0);
    Program child(dir.Dir());
    child.windows.PushScreenRegion(5, 10, 15, 60);
    EXPECT_EQ(child.windows.WindowDepth(), 1);
    EXPECT_EQ(dir.Read("WinPush.tmp"), "planted");
    RollBackFileOnSignal();
    EXPECT_EQ(dir.Read("WinPush.tmp"), "planted");
    child.windows.PopScreenRegion();
    EXPECT_EQ(dir.Read("WinPush.tmp"), "planted");
}
#endif  // _WIN32

}  // namespace
}  // namespace qp
