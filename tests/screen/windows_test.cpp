#ifndef _WIN32  // temporary directories from mkdtemp
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "screen/memory_console.h"
#include "screen/windows.h"
#include "text/cp850.h"

namespace qp {
namespace {

namespace fs = std::filesystem;

const ColourTable kTable {{{15, 1}, {7, 1}, {1, 7}, {14, 4}, {12, 2}}};

std::string ReadBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteBytes(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string Top(std::uint32_t v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF), static_cast<char>((v >> 16) & 0xFF),
            static_cast<char>(v >> 24)};
}

// A console with a window stack over a fresh temporary directory.
class WindowsTest : public ::testing::Test {
protected:
    void SetUp() override { Make(25, 80); }
    void TearDown() override { fs::remove_all(dir_); }

    void Make(int rows, int columns, std::string tempDir = "") {
        if (dir_.empty()) {
            std::string pattern = (fs::temp_directory_path() / "qp-windows-XXXXXX").string();
            ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
            dir_ = pattern;
        }
        console_ = std::make_unique<MemoryConsole>(rows, columns);
        screen_ = std::make_unique<Screen>(*console_);
        colours_ = std::make_unique<Colours>(*screen_, kTable);
        windows_ = std::make_unique<Windows>(*screen_, *colours_, platform_,
                                             tempDir.empty() ? dir_.string() + "/" : tempDir);
        FillScreen();
    }

    // Every cell different from its neighbours in character and attribute.
    void FillScreen() {
        for (int r = 1; r <= console_->Rows(); ++r)
            for (int c = 1; c <= console_->Columns(); ++c) {
                Cell cell {static_cast<char32_t>('A' + (r * 7 + c) % 26), static_cast<std::uint8_t>((r * 16 + c) % 256)};
                console_->WriteCells(r, c, &cell, 1);
            }
    }

    std::vector<Cell> Snapshot() {
        std::vector<Cell> cells;
        for (int r = 1; r <= console_->Rows(); ++r)
            for (int c = 1; c <= console_->Columns(); ++c) cells.push_back(console_->ReadCell(r, c));
        return cells;
    }

    void Scribble(int top, int left, int bottom, int right) {
        for (int r = top; r <= bottom; ++r) {
            screen_->Locate(r, left);
            screen_->Print(std::string(static_cast<std::size_t>(right - left + 1), '#'));
        }
    }

    fs::path WinPush() const { return dir_ / "WinPush.tmp"; }

    fs::path dir_;
    SystemPlatform platform_;
    std::unique_ptr<MemoryConsole> console_;
    std::unique_ptr<Screen> screen_;
    std::unique_ptr<Colours> colours_;
    std::unique_ptr<Windows> windows_;
};

TEST_F(WindowsTest, PushWritesTheRecordByteForByte) {
    console_->SetCursor(12, 1);
    windows_->PushScreenRegion(5, 10, 7, 20);

    std::string cells;
    for (int r = 5; r <= 7; ++r)
        for (int c = 10; c <= 20; ++c) {
            Cell cell = console_->ReadCell(r, c);
            cells.push_back(static_cast<char>(UnicodeToCp850(cell.ch)));
            cells.push_back(static_cast<char>(cell.attr));
        }
    ASSERT_EQ(cells.size(), 66u);
    EXPECT_EQ(ReadBytes(WinPush()), Top(96) + "12010000000005100720" + cells + "00091");
    EXPECT_EQ(windows_->CurrentWindow(), (Rect {5, 10, 7, 20}));
    EXPECT_EQ(windows_->WindowDepth(), 1);
}

TEST_F(WindowsTest, PopRestoresCellsCursorAndStateAndDeletesTheFile) {
    const auto before = Snapshot();
    console_->SetCursor(12, 1);
    windows_->PushScreenRegion(5, 10, 7, 20);
    Scribble(5, 10, 7, 20);
    windows_->PopScreenRegion();

    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(console_->CursorRow(), 12);
    EXPECT_EQ(console_->CursorColumn(), 1);
    EXPECT_EQ(windows_->CurrentWindow(), Rect {});
    EXPECT_EQ(windows_->WindowDepth(), 0);
    EXPECT_FALSE(fs::exists(WinPush()));
    // The colour in use is the bottom right cell's.
    EXPECT_EQ(screen_->Attribute(), before[6 * 80 + 19].attr);
}

TEST_F(WindowsTest, NestedPushesRestoreInReverseOrder) {
    const auto before = Snapshot();
    console_->SetCursor(12, 1);
    windows_->PushScreenRegion(5, 10, 7, 20);
    Scribble(5, 10, 7, 20);
    const auto inFirst = Snapshot();
    console_->SetCursor(3, 4);
    windows_->PushScreenRegion(6, 15, 12, 40);
    Scribble(6, 15, 12, 40);
    windows_->PopScreenRegion();

    EXPECT_EQ(Snapshot(), inFirst);
    EXPECT_EQ(console_->CursorRow(), 3);
    EXPECT_EQ(windows_->CurrentWindow(), (Rect {5, 10, 7, 20}));
    EXPECT_EQ(windows_->WindowDepth(), 1);
    EXPECT_EQ(ReadBytes(WinPush()).substr(0, 4), Top(96));

    windows_->PopScreenRegion();
    EXPECT_EQ(Snapshot(), before);
    EXPECT_FALSE(fs::exists(WinPush()));
}

TEST_F(WindowsTest, WideConsoleRestoresFromExactCoordinates) {
    Make(40, 132);
    const auto before = Snapshot();
    console_->SetCursor(33, 120);
    windows_->PushScreenRegion(3, 95, 10, 130);
    Scribble(3, 95, 10, 130);
    windows_->PushScreenRegion(5, 100, 8, 120);
    Scribble(5, 100, 8, 120);
    // The file keeps its format: only the last two digits of each coordinate.
    EXPECT_EQ(ReadBytes(WinPush()).substr(4 + 601, 20), "10310395103005000820");

    windows_->PopScreenRegion();
    EXPECT_EQ(windows_->CurrentWindow(), (Rect {3, 95, 10, 130}));
    windows_->PopScreenRegion();
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(console_->CursorRow(), 33);
    EXPECT_EQ(console_->CursorColumn(), 120);
}

TEST_F(WindowsTest, PushOutsideTheConsoleAndItsPopDoNothing) {
    windows_->PushScreenRegion(5, 10, 7, 20);
    Scribble(5, 10, 7, 20);
    const auto inWindow = Snapshot();
    const auto file = ReadBytes(WinPush());
    const Rect outside[] = {{0, 1, 5, 5}, {1, 0, 5, 5}, {1, 1, 26, 5}, {1, 1, 5, 81}, {7, 1, 5, 5}};
    for (const Rect& r : outside) {
        windows_->PushScreenRegion(r.top, r.left, r.bottom, r.right);
        EXPECT_EQ(windows_->WindowDepth(), 1);
        windows_->PopScreenRegion();
        EXPECT_EQ(Snapshot(), inWindow);
        EXPECT_EQ(windows_->CurrentWindow(), (Rect {5, 10, 7, 20}));
        EXPECT_EQ(windows_->WindowDepth(), 1);
        EXPECT_EQ(ReadBytes(WinPush()), file);
    }
}

TEST_F(WindowsTest, WindowStillRestoresWhenTheFileCannotBeWritten) {
    Make(25, 80, (dir_ / "missing" / "").string());
    const auto before = Snapshot();
    windows_->PushScreenRegion(2, 2, 20, 70);
    Scribble(2, 2, 20, 70);
    windows_->PopScreenRegion();
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(windows_->WindowDepth(), 0);
}

// A valid record of another program, region (2,2)-(2,4) holding "xyz" in colour 0x1E.
std::string ForeignFile() {
    std::string record = "01010000000002020204" + std::string("x\x1Ey\x1Ez\x1E") + "00031";
    return Top(5 + 31) + record;
}

TEST_F(WindowsTest, OwnRecordsGoOnTopOfAnotherProgramsStack) {
    WriteBytes(WinPush(), ForeignFile());
    windows_->PushScreenRegion(5, 10, 7, 20);
    EXPECT_EQ(ReadBytes(WinPush()).substr(0, 4), Top(36 + 91));
    EXPECT_EQ(ReadBytes(WinPush()).substr(35, 20), "01010000000005100720");
    windows_->PopScreenRegion();
    EXPECT_EQ(ReadBytes(WinPush()).substr(0, 4), Top(36));

    // Nothing of our own left: the next pop puts the other program's cells back.
    windows_->PopScreenRegion();
    EXPECT_EQ(console_->RowText(2).substr(1, 3), "xyz");
    EXPECT_EQ(console_->AttrAt(2, 3), 0x1E);
    EXPECT_EQ(windows_->WindowDepth(), 0);
    EXPECT_FALSE(fs::exists(WinPush()));
}

struct DamagedFile {
    const char* what;
    std::string bytes;
};

class DamagedWinPushTest : public WindowsTest, public ::testing::WithParamInterface<DamagedFile> {};

TEST_P(DamagedWinPushTest, NeverCrashesNorPaints) {
    WriteBytes(WinPush(), GetParam().bytes);
    const auto before = Snapshot();
    windows_->PopScreenRegion();  // nothing of our own: reads the file
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(windows_->WindowDepth(), 0);
    EXPECT_FALSE(fs::exists(WinPush()));

    WriteBytes(WinPush(), GetParam().bytes);
    console_->SetCursor(12, 1);
    windows_->PushScreenRegion(5, 10, 7, 20);
    // An unreadable stack is replaced: our record starts the file afresh.
    EXPECT_EQ(ReadBytes(WinPush()).substr(0, 4), Top(96));
    EXPECT_EQ(ReadBytes(WinPush()).substr(4, 20), "12010000000005100720");
    Scribble(5, 10, 7, 20);
    windows_->PopScreenRegion();
    EXPECT_EQ(Snapshot(), before);
    EXPECT_FALSE(fs::exists(WinPush()));
}

std::string WithTop(std::uint32_t top, const std::string& body) { return Top(top) + body; }

INSTANTIATE_TEST_SUITE_P(
    Files, DamagedWinPushTest,
    ::testing::Values(
        DamagedFile {"short", "ab"}, DamagedFile {"empty stack", Top(5)},
        DamagedFile {"negative top", WithTop(0xFFFFFFF0u, ForeignFile().substr(4))},
        DamagedFile {"huge top", WithTop(0x7FFFFFFFu, ForeignFile().substr(4))},
        DamagedFile {"top below the records", WithTop(2, ForeignFile().substr(4))},
        DamagedFile {"top past the end", WithTop(200, ForeignFile().substr(4))},
        DamagedFile {"truncated record", ForeignFile().substr(0, 30)},
        DamagedFile {"length not digits", WithTop(36, "01010000000002020204x\x1Ey\x1Ez\x1E" "00a31")},
        DamagedFile {"length past the start", WithTop(36, "01010000000002020204x\x1Ey\x1Ez\x1E" "00099")},
        DamagedFile {"field not digits", WithTop(36, "01010000000002020-04x\x1Ey\x1Ez\x1E" "00031")},
        DamagedFile {"cells disagree with length", WithTop(36, "01010000000002029999x\x1Ey\x1Ez\x1E" "00031")},
        DamagedFile {"reversed region", WithTop(36, "01010000000004040202x\x1Ey\x1Ez\x1E" "00031")}),
    [](const auto& param) {
        std::string name;
        for (const char* p = param.param.what; *p; ++p)
            if ((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z')) name += *p;
        return name;
    });

TEST_F(WindowsTest, ForeignRecordLargerThanTheConsoleIsClipped) {
    Make(10, 20);
    std::string cells;
    for (int i = 0; i < 30 * 30; ++i) cells += "Q\x07";
    std::string record = "01010000000001013030" + cells + "01825";
    ASSERT_EQ(record.size(), 1825u);
    WriteBytes(WinPush(), Top(5 + 1825) + record);
    windows_->PopScreenRegion();
    for (int r = 1; r <= 10; ++r) EXPECT_EQ(console_->RowText(r), std::string(20, 'Q'));
    EXPECT_FALSE(fs::exists(WinPush()));
}

TEST_F(WindowsTest, LocateAndInnerEdgesFollowTheCurrentWindow) {
    EXPECT_EQ(windows_->WindowInnerTop(), 1);
    EXPECT_EQ(windows_->WindowInnerLeft(), 1);
    EXPECT_EQ(windows_->WindowInnerRight(), 80);
    windows_->LocateInWindow(3, 7);
    EXPECT_EQ(console_->CursorRow(), 3);
    EXPECT_EQ(console_->CursorColumn(), 7);

    windows_->PushScreenRegion(4, 1, 10, 30);
    windows_->LocateInWindow(1, 2);
    EXPECT_EQ(console_->CursorRow(), 5);
    EXPECT_EQ(console_->CursorColumn(), 3);
    EXPECT_EQ(windows_->WindowInnerTop(), 5);
    EXPECT_EQ(windows_->WindowInnerLeft(), 2);
    EXPECT_EQ(windows_->WindowInnerRight(), 29);
    // A coordinate outside the console leaves that one unchanged.
    windows_->LocateInWindow(30, 4);
    EXPECT_EQ(console_->CursorRow(), 5);
    EXPECT_EQ(console_->CursorColumn(), 5);
    windows_->PopScreenRegion();
}

TEST_F(WindowsTest, FrameStylesAndBlankedInside) {
    const auto before = Snapshot();
    windows_->DrawWindowFrame(1);
    EXPECT_EQ(Snapshot(), before);  // no window: nothing drawn

    struct Style {
        int style;
        std::u32string top, middle, bottom;
    };
    const Style styles[] = {
        {1, U"┌─────────┐", U"│         │", U"└─────────┘"},
        {2, U"╔═════════╗", U"║         ║", U"╚═════════╝"},
        {0, U"           ", U"           ", U"           "},
    };
    for (const Style& s : styles) {
        windows_->PushScreenRegion(5, 10, 8, 20);
        screen_->SetAttribute(0x3C);
        windows_->DrawWindowFrame(s.style);
        EXPECT_EQ(console_->RowU32(5).substr(9, 11), s.top);
        EXPECT_EQ(console_->RowU32(6).substr(9, 11), s.middle);
        EXPECT_EQ(console_->RowU32(7).substr(9, 11), s.middle);
        EXPECT_EQ(console_->RowU32(8).substr(9, 11), s.bottom);
        for (int c = 10; c <= 20; ++c) EXPECT_EQ(console_->ReadCell(9, c), before[8 * 80 + (c - 1)]);
        for (int r = 5; r <= 8; ++r)
            for (int c = 10; c <= 20; ++c) EXPECT_EQ(console_->AttrAt(r, c), 0x3C);
        EXPECT_EQ(console_->ReadCell(5, 9), before[4 * 80 + 8]);
        EXPECT_EQ(console_->ReadCell(5, 21), before[4 * 80 + 20]);
        windows_->PopScreenRegion();
    }
    // A one-row window: the bottom line is drawn last, over the top line.
    for (const Style& s : styles) {
        windows_->PushScreenRegion(12, 10, 12, 20);
        windows_->DrawWindowFrame(s.style);
        EXPECT_EQ(console_->RowU32(12).substr(9, 11), s.bottom) << s.style;
        EXPECT_EQ(console_->ReadCell(11, 10), before[10 * 80 + 9]);
        EXPECT_EQ(console_->ReadCell(13, 10), before[12 * 80 + 9]);
        windows_->PopScreenRegion();
    }
    // The frame bytes are those of code page 850.
    EXPECT_EQ(Cp850ToUnicode(0xDA), U'┌');
    EXPECT_EQ(Cp850ToUnicode(0xBC), U'╝');
}

TEST_F(WindowsTest, ScrollRegionMovesTheRectangleAfterTheOffByOne) {
    const auto before = Snapshot();
    screen_->SetAttribute(0x5A);
    windows_->ScrollRegion(4, 1, 20, 78, 1);
    auto at = [&](int r, int c) { return before[static_cast<std::size_t>((r - 1) * 80 + (c - 1))]; };
    for (int r = 5; r <= 20; ++r)
        for (int c = 2; c <= 79; ++c) EXPECT_EQ(console_->ReadCell(r, c), at(r + 1, c));
    for (int c = 2; c <= 79; ++c) EXPECT_EQ(console_->ReadCell(21, c), (Cell {U' ', 0x5A}));
    for (int r = 1; r <= 25; ++r) {
        EXPECT_EQ(console_->ReadCell(r, 1), at(r, 1));
        EXPECT_EQ(console_->ReadCell(r, 80), at(r, 80));
    }
    EXPECT_EQ(console_->ReadCell(4, 5), at(4, 5));
    EXPECT_EQ(console_->ReadCell(22, 5), at(22, 5));
}

TEST_F(WindowsTest, ScrollRegionDownwardsZeroAndHugeCounts) {
    struct Case {
        int lines;
        int shift;  // row r shows former row r - shift
    };
    for (Case k : {Case {-2, 2}, Case {0, 1}, Case {-1000, 100}, Case {1 << 30, -100}}) {
        FillScreen();
        const auto before = Snapshot();
        windows_->ScrollRegion(0, 0, 9, 9, k.lines);
        for (int r = 1; r <= 10; ++r) {
            const int from = r - k.shift;
            const Cell expected = (from >= 1 && from <= 10) ? before[static_cast<std::size_t>((from - 1) * 80)]
                                                            : Cell {U' ', screen_->Attribute()};
            EXPECT_EQ(console_->ReadCell(r, 1), expected) << "lines " << k.lines << " row " << r;
        }
    }
    // Clipped to the console.
    windows_->ScrollRegion(20, 70, 200, 200, 1);
    windows_->ScrollRegion(-50, -50, -10, -10, 1);
}

struct BoxCase {
    int row;
    std::size_t length;
    Rect box;
};

class MessageBoxTest : public WindowsTest, public ::testing::WithParamInterface<BoxCase> {};

TEST_P(MessageBoxTest, BoxIsCentredOnColumn41) {
    const BoxCase& k = GetParam();
    std::string text(k.length, 'm');
    screen_->SetAttribute(0x07);
    colours_->SetColour("n");
    windows_->ShowMessageBox(k.row, text);
    EXPECT_EQ(windows_->CurrentWindow(), k.box);
    EXPECT_EQ(windows_->WindowDepth(), 1);
    const Rect& b = k.box;
    EXPECT_EQ(console_->RowU32(b.top).substr(static_cast<std::size_t>(b.left - 1), 1), U"┌");
    EXPECT_EQ(console_->RowU32(b.bottom).substr(static_cast<std::size_t>(b.right - 1), 1), U"┘");
    EXPECT_EQ(console_->RowText(b.top + 1).substr(static_cast<std::size_t>(b.left + 1), k.length), text);
    EXPECT_EQ(console_->AttrAt(b.top + 1, b.left + 2), 0x71);  // reverse row
    EXPECT_EQ(colours_->CurrentIndex(), 1);                    // the caller's colour is back
}

INSTANTIATE_TEST_SUITE_P(Geometry, MessageBoxTest,
                         ::testing::Values(BoxCase {24, 36, {21, 21, 23, 60}}, BoxCase {24, 37, {21, 20, 23, 60}},
                                           BoxCase {12, 1, {9, 38, 11, 42}}, BoxCase {2, 10, {1, 34, 3, 47}},
                                           BoxCase {25, 76, {22, 1, 24, 80}}),
                         [](const ::testing::TestParamInfo<BoxCase>& p) {
                             return "Row" + std::to_string(p.param.row) + "Length" + std::to_string(p.param.length);
                         });

TEST_F(WindowsTest, MessageBoxWrapsLongTextAndMovesUpAtTheBottom) {
    std::string text;
    for (int i = 0; i < 60; ++i) text += "word ";
    windows_->ShowMessageBox(25, text);  // 300 characters: four lines
    EXPECT_EQ(windows_->CurrentWindow().top, 20);
    EXPECT_EQ(windows_->CurrentWindow().bottom, 25);
    EXPECT_EQ(console_->RowText(windows_->CurrentWindow().top + 1).substr(static_cast<std::size_t>(windows_->CurrentWindow().left + 1), 4),
              "word");
}

TEST_F(WindowsTest, MessageBoxThatDoesNotFitLeavesTheCallersWindowOpen) {
    Make(3, 80);
    windows_->PushScreenRegion(1, 1, 3, 80);
    const auto before = Snapshot();
    std::string text(200, 'x');
    for (std::size_t i = 10; i < text.size(); i += 11) text[i] = ' ';
    windows_->ShowMessageBox(3, text);
    EXPECT_EQ(Snapshot(), before);
    windows_->PopScreenRegion();  // the box's pop
    EXPECT_EQ(windows_->WindowDepth(), 1);
    EXPECT_EQ(windows_->CurrentWindow(), (Rect {1, 1, 3, 80}));
}

// The folder of WinPush.tmp may be shared: a file there that is not this
// user's own is neither written nor removed, and nothing it points to is
// touched; the windows still save and restore what they cover.
TEST_F(WindowsTest, AWinPushThatIsNotThisUsersOwnIsLeftAlone) {
    const passwd* nobody = ::getpwnam("nobody");
    const bool asRoot = ::geteuid() == 0 && nobody != nullptr;
    const struct {
        const char* name;
        std::function<void(const fs::path& planted, const fs::path& target)> plant;
        bool needsRoot = false;
    } cases[] = {
        {"symbolic link", [](const fs::path& p, const fs::path& t) { fs::create_symlink(t, p); }},
        {"dangling link", [](const fs::path& p, const fs::path& t) { fs::create_symlink(t.string() + ".new", p); }},
        {"second name", [](const fs::path& p, const fs::path& t) { fs::create_hard_link(t, p); }},
        {"FIFO", [](const fs::path& p, const fs::path&) { ASSERT_EQ(::mkfifo(p.c_str(), 0666), 0); }},
        {"another user's file",
         [nobody](const fs::path& p, const fs::path&) {
             WriteBytes(p, "planted");
             ::chmod(p.c_str(), 0666);
             ASSERT_EQ(::chown(p.c_str(), nobody->pw_uid, static_cast<gid_t>(-1)), 0);
         },
         true},
    };
    const fs::path target = dir_ / "important.sh";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsRoot && !asRoot) continue;
        fs::remove(WinPush());
        fs::remove(target.string() + ".new");
        WriteBytes(target, "#!/bin/sh\necho mine\n");
        ::chmod(target.c_str(), 0700);
        c.plant(WinPush(), target);
        const fs::file_type planted = fs::symlink_status(WinPush()).type();

        FillScreen();
        const auto before = Snapshot();
        windows_->PushScreenRegion(5, 10, 7, 20);
        Scribble(5, 10, 7, 20);
        windows_->ShowMessageBox(20, "Cal desar");
        EXPECT_EQ(windows_->WindowDepth(), 2) << "a window did not open";
        EXPECT_NE(console_->RowText(18).find("Cal desar"), std::string::npos);
        windows_->PopScreenRegion();
        windows_->PopScreenRegion();
        EXPECT_EQ(Snapshot(), before);
        windows_->PopScreenRegion();  // nothing of our own: the planted file is no stack to read

        EXPECT_EQ(ReadBytes(target), "#!/bin/sh\necho mine\n");
        EXPECT_EQ(fs::status(target).permissions(), fs::perms::owner_all);
        EXPECT_FALSE(fs::exists(target.string() + ".new"));
        EXPECT_EQ(fs::symlink_status(WinPush()).type(), planted) << "the planted file was removed";
        if (c.needsRoot) {
            EXPECT_EQ(ReadBytes(WinPush()), "planted");
        }
    }
}

TEST_F(WindowsTest, ASwapForALinkWhileAWindowIsOpenReachesNothing) {
    const fs::path target = dir_ / "data.txt";
    WriteBytes(target, "the operator's data");
    const auto before = Snapshot();
    windows_->PushScreenRegion(5, 10, 7, 20);
    fs::remove(WinPush());
    fs::create_symlink(target, WinPush());
    windows_->PushScreenRegion(8, 10, 12, 30);
    Scribble(5, 10, 7, 20);
    Scribble(8, 10, 12, 30);
    windows_->PopScreenRegion();
    windows_->PopScreenRegion();
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(ReadBytes(target), "the operator's data");
    EXPECT_TRUE(fs::is_symlink(WinPush()));
}

TEST_F(WindowsTest, TheFileMadeIsForThisUserAlone) {
    const mode_t previous = ::umask(0);
    windows_->PushScreenRegion(5, 10, 7, 20);
    ::umask(previous);
    EXPECT_EQ(fs::status(WinPush()).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    windows_->PopScreenRegion();
    EXPECT_FALSE(fs::exists(WinPush()));
}

}  // namespace
}  // namespace qp
#endif  // _WIN32
