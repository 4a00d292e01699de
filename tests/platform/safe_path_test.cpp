// Text that becomes a path: one rule refuses NUL and control bytes, and every
// call of the platform holds to it, whoever built the path.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "platform/safe_path.h"
#include "platform/temp_dir.h"

namespace qp {
namespace {

std::string With(const char* before, char byte, const char* after = "") {
    return before + std::string(1, byte) + after;
}

TEST(PathRule, RefusesNulAndControlBytesAndStreamsOnWindows) {
    const struct {
        const char* name;
        std::string text;
        bool posixRefused;
        bool windowsRefused;
    } cases[] = {
        {"empty", "", false, false},
        {"drive and folder", "C:\\MUR\\", false, false},
        {"drive alone", "C:", false, false},
        {"server share", "\\\\SERVIDOR\\MUR\\", false, false},
        {"blank and code page letters", "/srv/Fitxers d'\x80\xA4\xFF/", false, false},
        {"NUL in the middle", With("/home/op/notes.txt", '\0', "/MURCALC.TMP"), true, true},
        {"NUL at the end", With("/srv/mur/", '\0'), true, true},
        {"byte 0x01", With("/srv/", '\x01'), true, true},
        {"tab", With("/srv/", '\t', "mur"), true, true},
        {"line end", With("/srv/mur", '\n'), true, true},
        {"escape", With("/srv/", '\x1B', "[2J"), true, true},
        {"byte 0x1F", With("mur", '\x1F'), true, true},
        {"delete", With("mur", '\x7F'), true, true},
        {"space is no control byte", "/srv/mur 2/", false, false},
        {"a stream of a file", "C:\\Users\\op\\notes.txt:MURCALC.TMP", false, true},
        {"a colon first", ":x", false, true},
        {"a colon after a digit", "1:\\x", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PathRefusal(c.text, false).has_value(), c.posixRefused);
        EXPECT_EQ(PathRefusal(c.text, true).has_value(), c.windowsRefused);
        std::string why;
        EXPECT_EQ(SafePath::From(c.text, false, &why).has_value(), !c.posixRefused);
        EXPECT_EQ(why.empty(), !c.posixRefused);
    }
}

// Whatever a caller builds, no call hands the system a path with a NUL byte:
// cut there, each of these paths would name the operator's own file.
TEST(PathRule, EveryPlatformCallRefusesAPathWithANulByte) {
    testing::TempDir dir;
    dir.Write("notes.txt", "the operator's notes");
    std::filesystem::create_directory(dir / "folder");
    const std::string cut = dir / With("notes.txt", '\0', "/QPL12345.tmp");
    const std::string cutFolder = dir / With("folder", '\0', "/");
    SystemPlatform platform;
    const struct {
        const char* name;
        std::function<bool(std::string& reason)> call;  // true when the call went through
    } calls[] = {
        {"read", [&](std::string& r) { return platform.Open(cut, OpenMode::ReadShared, &r) != nullptr; }},
        {"read, making", [&](std::string& r) { return platform.Open(cut, OpenMode::ReadCreating, &r) != nullptr; }},
        {"create", [&](std::string& r) { return platform.Open(cut, OpenMode::CreateExclusive, &r) != nullptr; }},
        {"private", [&](std::string& r) { return platform.Open(cut, OpenMode::Private, &r) != nullptr; }},
        {"exists", [&](std::string&) { return platform.Exists(cut); }},
        {"stamp", [&](std::string&) { return platform.Stamp(cut).has_value(); }},
        {"remove",
         [&](std::string& r) {
             Status s = platform.Remove(cut);
             r = s.reason;
             return s.ok;
         }},
        {"replace",
         [&](std::string& r) {
             Status s = platform.Replace(dir / "folder", cut);
             r = s.reason;
             return s.ok;
         }},
        {"rewrite",
         [&](std::string& r) {
             Status s = RewriteFile(platform, cut, [](const RewriteTarget&, std::string& bytes) {
                 bytes = "[Rebut]\r\n";
                 return Status::Ok();
             });
             r = s.reason;
             return s.ok;
         }},
        {"copy",
         [&](std::string& r) {
             Status s;
             bool made = platform.CreateCopy(cut, FileIdentity {}, s) != nullptr;
             r = s.reason;
             return made;
         }},
        {"dead copy", [&](std::string&) { return platform.RemoveIfDeadCopy(cut); }},
        {"list", [&](std::string&) { return !platform.ListDirectory(cutFolder).empty(); }},
        {"change folder",
         [&](std::string& r) {
             Status s = platform.SetCurrentDirectory(cutFolder);
             r = s.reason;
             return s.ok;
         }},
        {"native path", [&](std::string&) { return !NativePath(cut).empty(); }},
    };
    dir.Write("folder/entry", "x");
    for (const auto& c : calls) {
        SCOPED_TRACE(c.name);
        std::string reason;
        EXPECT_FALSE(c.call(reason));
        if (!reason.empty()) {
            EXPECT_NE(reason.find("NUL"), std::string::npos) << reason;
        }
        EXPECT_EQ(dir.Read("notes.txt"), "the operator's notes");
        EXPECT_EQ(dir.Entries(), (std::vector<std::string> {"folder", "notes.txt"}));
    }
}

TEST(PathRule, RelativePathsAreMadeAbsoluteFromTheCurrentFolder) {
    SystemPlatform platform;
    const std::string here = std::filesystem::current_path().string();
#ifdef _WIN32
    const std::string separator = "\\";
    const std::string absolute = "C:\\MUR\\";
#else
    const std::string separator = "/";
    const std::string absolute = "/srv/mur/";
#endif
    const struct {
        std::string path;
        std::string expected;
    } cases[] = {
        {"", ""},
        {absolute, absolute},
        {"mur", here + separator + "mur"},
        {"mur" + separator, here + separator + "mur" + separator},
    };
    for (const auto& c : cases) EXPECT_EQ(platform.AbsolutePath(c.path), c.expected) << c.path;
}

}  // namespace
}  // namespace qp
