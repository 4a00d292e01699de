// The open mode of the program's own files in shared folders (WinPush.tmp,
// Browse.tmp, MURCALC.TMP): only a regular file of this user with no other
// name, never through a link, created for this user alone.
#ifndef _WIN32  // links, FIFOs and owners as POSIX has them
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <iostream>
#include <string>

#include "platform/platform.h"
#include "platform/temp_dir.h"

namespace qp {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSecret = "the operator's own data";

// Another user for files planted by someone else; 0 when there is none to
// become (not running as root).
uid_t OtherUser() {
    const passwd* nobody = ::getpwnam("nobody");
    return ::geteuid() == 0 && nobody != nullptr ? nobody->pw_uid : 0;
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(PrivateOpen, OnlyThisUsersOwnRegularFileIsOpened) {
    const struct {
        const char* name;
        std::function<void(const testing::TempDir&)> plant;  // makes "own.tmp"
        bool opened;
        bool needsOtherUser = false;
    } cases[] = {
        {"missing: created", [](const testing::TempDir&) {}, true},
        {"own file", [](const testing::TempDir& d) { d.Write("own.tmp", "state"); }, true},
        {"symbolic link to an own file",
         [](const testing::TempDir& d) { fs::create_symlink(d / "secret", d / "own.tmp"); }, false},
        {"dangling symbolic link",
         [](const testing::TempDir& d) { fs::create_symlink(d / "made", d / "own.tmp"); }, false},
        {"second name of an own file",
         [](const testing::TempDir& d) { fs::create_hard_link(d / "secret", d / "own.tmp"); }, false},
        {"FIFO", [](const testing::TempDir& d) { ASSERT_EQ(::mkfifo((d / "own.tmp").c_str(), 0600), 0); }, false},
        {"folder", [](const testing::TempDir& d) { fs::create_directory(d / "own.tmp"); }, false},
        {"another user's file",
         [](const testing::TempDir& d) {
             d.Write("own.tmp", "planted");
             ::chmod((d / "own.tmp").c_str(), 0666);
             ASSERT_EQ(::chown((d / "own.tmp").c_str(), OtherUser(), static_cast<gid_t>(-1)), 0);
         },
         false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsOtherUser && OtherUser() == 0) {
            std::cout << "not tried without root: " << c.name << "\n";
            continue;
        }
        testing::TempDir dir;
        dir.Write("secret", kSecret);
        ::chmod((dir / "secret").c_str(), 0700);
        c.plant(dir);
        const bool made = ModeOf(dir / "own.tmp") == 0;
        SystemPlatform platform;
        std::string reason;
        std::unique_ptr<File> file = platform.Open(dir / "own.tmp", OpenMode::Private, &reason);
        ASSERT_EQ(file != nullptr, c.opened) << reason;
        if (file) {
            ASSERT_TRUE(file->WriteAt(0, "new", 3).ok);
            if (made) {
                EXPECT_EQ(ModeOf(dir / "own.tmp"), 0600u);
            }
        } else {
            EXPECT_FALSE(reason.empty());
        }
        file.reset();
        EXPECT_EQ(dir.Read("secret"), kSecret);
        EXPECT_EQ(ModeOf(dir / "secret"), 0700u);
        EXPECT_FALSE(dir.Has("made"));
    }
}

TEST(PrivateOpen, ANewFileIsForThisUserAloneWhateverTheUmask) {
    testing::TempDir dir;
    const mode_t previous = ::umask(0);
    SystemPlatform platform;
    const bool privateMade = platform.Open(dir / "private.tmp", OpenMode::Private) != nullptr;
    const bool exclusiveMade = platform.Open(dir / "exclusive.tmp", OpenMode::CreateExclusive) != nullptr;
    ::umask(previous);
    ASSERT_TRUE(privateMade && exclusiveMade);
    EXPECT_EQ(ModeOf(dir / "private.tmp"), 0600u);
    EXPECT_EQ(ModeOf(dir / "exclusive.tmp"), 0600u);
}

TEST(PrivateOpen, AnOwnFileKeepsWhatItHolds) {
    testing::TempDir dir;
    dir.Write("own.tmp", "state");
    SystemPlatform platform;
    auto file = platform.Open(dir / "own.tmp", OpenMode::Private);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->Size(), 5);
    char bytes[5] {};
    EXPECT_EQ(file->ReadAt(0, bytes, sizeof bytes), 5);
    EXPECT_EQ(std::string(bytes, 5), "state");
}

}  // namespace
}  // namespace qp
#endif  // _WIN32
