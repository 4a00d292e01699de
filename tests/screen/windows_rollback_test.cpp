// WinPush.tmp when a signal ends the process with windows open: given back as
// the program that started this one left it.
#include <gtest/gtest.h>

#include <string>

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

}  // namespace
}  // namespace qp
