#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>

#include "platform/safe_path.h"
#include "platform/temp_dir.h"
#include "session/session.h"
#include "session/session_report.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace qp {
namespace {

// The real file system with an environment of the test's own.
class FakeEnvironment : public SystemPlatform {
public:
    std::map<std::string, std::string> env;
    bool windows = false;
    std::string GetEnv(const std::string& name) override {
        auto it = env.find(name);
        return it == env.end() ? std::string() : it->second;
    }
    bool IsWindowsHost() const override { return windows; }
    // As the host makes it absolute: a POSIX one from the current folder, a
    // Windows one from the folder C:\START.
    std::string AbsolutePath(const std::string& path) override {
        if (!windows) {
            if (path.empty() || path[0] == '/' || path[0] == '\\' || std::filesystem::path(path).is_absolute())
                return path;
            return std::filesystem::current_path().generic_string() + "/" + path;
        }
        const bool drive = path.size() >= 2 && path[1] == ':';
        if (drive && path.size() >= 3 && (path[2] == '\\' || path[2] == '/')) return path;
        return (drive ? path.substr(0, 2) : std::string("C:")) + "\\START\\" + path.substr(drive ? 2 : 0);
    }
};

// Runs the test body from inside `dir`, as a process started there would.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::string& dir) : saved_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~CurrentDirectory() { std::filesystem::current_path(saved_); }

private:
    std::filesystem::path saved_;
};

std::string Packed(std::initializer_list<int> bytes) {
    std::string out;
    for (int b : bytes) out += static_cast<char>(b);
    return out;
}

TEST(Session, ReadsAnInstallation) {
    FakeEnvironment platform;
    std::string root = std::string(QP_TEST_DATA) + "/session/install/";
    platform.env = {{"MURROOT", root}, {"MURTMP", root + "TEMP"}, {"TERM", "xterm-256color"}};
    Session s = ReadSessionEnvironment(platform);
    EXPECT_EQ(s.RootDir, root);
    EXPECT_EQ(s.TempDir, root + "TEMP/");
    EXPECT_EQ(s.TerminalDir, "");
    EXPECT_EQ(s.SessionTitle, " Prova ");
    EXPECT_EQ(s.MenuName, "QPLAYOUT");
    ColourTable colours {{{14, 1}, {7, 1}, {0, 4}, {1, 4}, {1, 4}}};
    EXPECT_EQ(s.colourTable, colours);
    EXPECT_EQ(s.WorkDate, Packed({128 + 20, 128 + 24, 128 + 3, 128 + 5}));
    EXPECT_EQ(s.LanguageCode, "SPA");
    EXPECT_EQ(s.HostKind, "DOS");
}

#ifndef _WIN32
// Whatever another user can put in the session's folders is taken as a
// missing file, at once, and named: a FIFO must not hang start-up, a device
// or a huge file must not take the memory.
TEST(Session, FilesThatAreNoSmallRegularFilesCountAsMissing) {
    const struct {
        const char* name;
        std::function<void(const std::string& path)> make;
    } cases[] = {
        {"FIFO", [](const std::string& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); }},
        {"device", [](const std::string& path) { std::filesystem::create_symlink("/dev/zero", path); }},
        {"folder", [](const std::string& path) { std::filesystem::create_directory(path); }},
        {"1 MiB and a byte", [](const std::string& path) {
             std::ofstream(path, std::ios::binary) << "[Menu]\r\nTitol=Gran\r\n" << std::string((1 << 20) - 19, ';');
         }},
    };
    for (const auto& c : cases) {
        for (const char* file : {"Sessio.ini", "TarnTerm.ini"}) {
            SCOPED_TRACE(std::string(c.name) + " as " + file);
            testing::TempDir dir;
            dir.Write("Sessio.ini", "[Menu]\r\nTitol=Prova\r\n");
            dir.Write("TarnTerm.ini", "[Sistema]\r\nIdioma=SPA\r\n");
            dir.Remove(file);
            c.make(dir / file);
            FakeEnvironment platform;
            platform.env = {{"MURTMP", dir.Dir()}};
            Session s = ReadSessionEnvironment(platform);
            const bool sessionFile = std::string(file) == "Sessio.ini";
            EXPECT_EQ(s.SessionTitle, sessionFile ? "  " : " Prova ");
            EXPECT_EQ(s.LanguageCode, sessionFile ? "SPA" : "   ");
            ASSERT_EQ(s.problems.size(), 1u);
            EXPECT_NE(s.problems[0].find(file), std::string::npos) << s.problems[0];
            EXPECT_NE(DescribeSession(s).find("Problem: " + s.problems[0]), std::string::npos);
        }
    }
}

TEST(Session, OrdinaryFilesAreNoProblem) {
    FakeEnvironment platform;
    std::string root = std::string(QP_TEST_DATA) + "/session/install/";
    platform.env = {{"MURROOT", root}, {"MURTMP", root + "TEMP"}};
    EXPECT_TRUE(ReadSessionEnvironment(platform).problems.empty());
    platform.env = {{"MURROOT", root + "missing/"}, {"MURTMP", root + "missing/"}};
    EXPECT_TRUE(ReadSessionEnvironment(platform).problems.empty()) << "a missing file is no problem";
}
#endif  // _WIN32

struct DirCase {
    const char* name;
    bool windows;
    std::string murtmp;
    std::string tempDir;
};

void PrintTo(const DirCase& c, std::ostream* os) { *os << c.name; }

class TempDirTest : public ::testing::TestWithParam<DirCase> {};

TEST_P(TempDirTest, GetsOneSeparator) {
    FakeEnvironment platform;
    platform.windows = GetParam().windows;
    platform.env = {{"MURTMP", GetParam().murtmp}};
    EXPECT_EQ(ReadSessionEnvironment(platform).TempDir, GetParam().tempDir);
}

// The root follows the same rule, so that "/srv/mur" finds /srv/mur/FORMS.
TEST_P(TempDirTest, RootDirGetsOneSeparator) {
    FakeEnvironment platform;
    platform.windows = GetParam().windows;
    platform.env = {{"MURROOT", GetParam().murtmp}};
    EXPECT_EQ(ReadSessionEnvironment(platform).RootDir, GetParam().tempDir);
}

INSTANTIATE_TEST_SUITE_P(Cases, TempDirTest,
                         ::testing::Values(DirCase {"BackslashAdded", true, "C:\\TMP", "C:\\TMP\\"},
                                           DirCase {"BackslashKept", true, "C:\\TMP\\", "C:\\TMP\\"},
                                           DirCase {"DriveMadeAbsolute", true, "C:", "C:\\START\\"},
                                           DirCase {"RelativeMadeAbsolute", true, "TMP", "C:\\START\\TMP\\"},
                                           DirCase {"WindowsSlashGetsBackslash", true, "C:/TMP/", "C:/TMP/\\"},
                                           DirCase {"PosixSlashKept", false, "/tmp/mur/", "/tmp/mur/"},
                                           DirCase {"PosixSlashAdded", false, "/tmp/mur", "/tmp/mur/"},
                                           DirCase {"PosixBackslashKept", false, "/tmp/mur\\", "/tmp/mur\\"},
                                           DirCase {"EmptyStaysEmpty", false, "", ""}),
                         [](const ::testing::TestParamInfo<DirCase>& p) { return std::string(p.param.name); });

struct TermCase {
    const char* name;
    bool windows;
    bool termIsDirectory;
    std::string term;  // "@" stands for the test's directory
    std::string terminalDir;
};

void PrintTo(const TermCase& c, std::ostream* os) { *os << c.name; }

class TermTest : public ::testing::TestWithParam<TermCase> {};

std::string Expand(const std::string& text, const std::string& dir) {
    std::string out = text;
    std::size_t at = out.find('@');
    if (at != std::string::npos) out.replace(at, 1, dir);
    return out;
}

TEST_P(TermTest, TerminalDirFromTerm) {
    const TermCase& c = GetParam();
    testing::TempDir dir;
    std::string base = dir.Dir().substr(0, dir.Dir().size() - 1);
    FakeEnvironment platform;
    platform.windows = c.windows;
    platform.env = {{"TERM", Expand(c.term, base)}, {"MURTMP", dir.Dir()}};
    Session s = ReadSessionEnvironment(platform);
    EXPECT_EQ(s.TerminalDir, Expand(c.terminalDir, base));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TermTest,
    ::testing::Values(TermCase {"PosixTerminalTypeIgnored", false, false, "xterm-256color", ""},
                      TermCase {"PosixDirectoryTaken", false, true, "@", "@/"},
                      TermCase {"PosixDirectoryWithSlash", false, true, "@/", "@/"},
                      TermCase {"PosixMissingDirectoryIgnored", false, false, "@/none", ""},
                      TermCase {"WindowsTakesTermAsIs", true, false, "C:\\TERM", "C:\\TERM\\"},
                      TermCase {"WindowsKeepsColon", true, false, "T:", "T:"}),
    [](const ::testing::TestParamInfo<TermCase>& p) { return std::string(p.param.name); });

// Folders from the environment and from Sessio.ini pass one rule for paths:
// a NUL (which would cut the path where the system reads it) or another
// control byte makes the setting count as missing, named without its bytes.
// Relative roots are made absolute from the start folder.
struct BoundaryCase {
    const char* name;
    bool windows;
    std::map<std::string, std::string> env;  // "@" stands for the test's folder, which is the current one
    std::string terminalDir;                 // Sessio.ini [Terminal] Dir, in the test's folder
    std::string Session::*field;
    std::string expected;
    const char* problem;  // how the problem starts; nullptr for none
};

void PrintTo(const BoundaryCase& c, std::ostream* os) { *os << c.name; }

std::string WithByte(const char* text, char byte, const char* rest = "") { return text + std::string(1, byte) + rest; }

class PathBoundaryTest : public ::testing::TestWithParam<BoundaryCase> {};

TEST_P(PathBoundaryTest, RefusedFoldersCountAsMissingAndAreNamed) {
    const BoundaryCase& c = GetParam();
    testing::TempDir dir;
    const std::string base = dir.Dir().substr(0, dir.Dir().size() - 1);
    dir.Write("Sessio.ini", "[Terminal]\r\nDir=" + Expand(c.terminalDir, base) + "\r\n");
    std::filesystem::create_directory(dir / "term");
    CurrentDirectory here(dir.Dir());
    FakeEnvironment platform;
    platform.windows = c.windows;
    for (const auto& [name, value] : c.env) platform.env[name] = Expand(value, base);
    Session s = ReadSessionEnvironment(platform);
    EXPECT_EQ(s.*c.field, Expand(c.expected, base));
    if (!c.problem) {
        EXPECT_TRUE(s.problems.empty()) << s.problems.front();
        return;
    }
    ASSERT_EQ(s.problems.size(), 1u);
    EXPECT_EQ(s.problems[0].rfind(c.problem, 0), 0u) << s.problems[0];
    EXPECT_FALSE(PathRefusal(s.problems[0], false)) << "the refused bytes are not shown";
    EXPECT_NE(DescribeSession(s).find("Problem: " + s.problems[0]), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PathBoundaryTest,
    ::testing::Values(
        BoundaryCase {"NulInTerminalDir", false, {{"MURTMP", "@"}}, WithByte("@/notes.txt", '\0'),
                      &Session::TerminalDir, "", "Sessio.ini [Terminal] Dir holds a NUL byte"},
        BoundaryCase {"NulInTerminalDirLeavesTerm", false, {{"MURTMP", "@"}, {"TERM", "@/term"}},
                      WithByte("@/notes.txt", '\0'), &Session::TerminalDir, "@/term/", "Sessio.ini [Terminal] Dir"},
        BoundaryCase {"EscapeInMurroot", false, {{"MURROOT", WithByte("@/", '\x1B', "x/")}}, "", &Session::RootDir, "",
                      "MURROOT holds the control byte 0x1B"},
        BoundaryCase {"DeleteInMurtmp", false, {{"MURTMP", WithByte("@", '\x7F')}}, "", &Session::TempDir, "",
                      "MURTMP holds the control byte 0x7F"},
        BoundaryCase {"LineEndInWindowsTerm", true, {{"TERM", WithByte("C:\\T01", '\n')}}, "", &Session::TerminalDir,
                      "", "TERM holds the control byte 0x0A"},
        BoundaryCase {"StreamInWindowsMurtmp", true, {{"MURTMP", "C:\\TMP\\notes.txt:"}}, "", &Session::TempDir, "",
                      "MURTMP holds a \":\""},
        BoundaryCase {"CodePageLettersTaken", false, {{"MURROOT", "@/Fitxers \x80\xA4/"}}, "", &Session::RootDir,
                      "@/Fitxers \x80\xA4/", nullptr},
        BoundaryCase {"RelativeMurrootMadeAbsolute", false, {{"MURROOT", "mur"}}, "", &Session::RootDir, "@/mur/",
                      nullptr},
        BoundaryCase {"RelativeMurtmpMadeAbsolute", false, {{"MURTMP", "tmp/"}}, "", &Session::TempDir, "@/tmp/",
                      nullptr},
        BoundaryCase {"AbsoluteRootUnchanged", false, {{"MURROOT", "/srv/mur"}}, "", &Session::RootDir, "/srv/mur/",
                      nullptr}),
    [](const ::testing::TestParamInfo<BoundaryCase>& p) { return std::string(p.param.name); });

class SessionFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform.env = {{"MURROOT", dir.Dir()}, {"MURTMP", dir.Dir()}};
        dir.Write("Sessio.ini", "[Menu]\r\nTitol=Rebuts\r\n");
    }
    Session Read() { return ReadSessionEnvironment(platform); }

    testing::TempDir dir;
    FakeEnvironment platform;
};

TEST_F(SessionFilesTest, SessioDirTakesPrecedenceOverTerm) {
    dir.Write("Sessio.ini", "[Terminal]\r\nDir=T:\\TERM01\r\n");
    platform.env["TERM"] = "xterm";
    EXPECT_EQ(Read().TerminalDir, "T:\\TERM01/");
}

TEST_F(SessionFilesTest, TitleGetsABlankOnEachSide) {
    EXPECT_EQ(Read().SessionTitle, " Rebuts ");
    dir.Write("Sessio.ini", "[Menu]\r\nNomMenu=QPLAYOUT\r\n");
    EXPECT_EQ(Read().SessionTitle, "  ");
}

struct ColourCase {
    const char* name;
    std::string pantalla;
    ColourTable expected;
};

void PrintTo(const ColourCase& c, std::ostream* os) { *os << c.name; }

class ColourTest : public SessionFilesTest, public ::testing::WithParamInterface<ColourCase> {};

TEST_P(ColourTest, FillsTheTable) {
    dir.Write("TarnTerm.ini", "[Pantalla]\r\n" + GetParam().pantalla);
    EXPECT_EQ(Read().colourTable, GetParam().expected);
}

const ColourTable kDefault {{{15, 0}, {7, 0}, {0, 7}, {0, 7}, {0, 7}}};

INSTANTIATE_TEST_SUITE_P(
    Cases, ColourTest,
    ::testing::Values(
        ColourCase {"MissingSeleccioUsesCol0", "Col0=01020304050607080910\r\nCol1=1400\r\n",
                    ColourTable {{{1, 2}, {3, 4}, {5, 6}, {7, 8}, {9, 10}}}},
        ColourCase {"SeleccioChoosesKey", "Seleccio=2\r\nCol0=1400\r\nCol2=0102\r\n",
                    ColourTable {{{1, 2}, {0, 0}, {0, 0}, {0, 0}, {0, 0}}}},
        ColourCase {"FourDigitsFillRowZero", "Col0=1400\r\n", ColourTable {{{14, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}}}},
        ColourCase {"OddLengthGivesPartialEntry", "Col0=14001\r\n",
                    ColourTable {{{14, 0}, {1, 0}, {0, 0}, {0, 0}, {0, 0}}}},
        ColourCase {"EmptyKeyUsesDefault", "Seleccio=3\r\nCol0=1400\r\n", kDefault},
        ColourCase {"NonDigitsCountZero", "Col0=xx07\r\n", ColourTable {{{0, 7}, {0, 0}, {0, 0}, {0, 0}, {0, 0}}}},
        ColourCase {"NoFileUsesDefault", "", kDefault}),
    [](const ::testing::TestParamInfo<ColourCase>& p) { return std::string(p.param.name); });

struct LanguageCase {
    const char* name;
    std::string terminalIdioma;  // the TarnTerm.ini line, or empty
    std::string languageCode;
};

void PrintTo(const LanguageCase& c, std::ostream* os) { *os << c.name; }

class SessionLanguageTest : public SessionFilesTest, public ::testing::WithParamInterface<LanguageCase> {};

TEST_P(SessionLanguageTest, ChoosesLanguageCode) {
    dir.Write("TarnTerm.ini", "[Sistema]\r\n" + GetParam().terminalIdioma);
    dir.Write("Tarn.ini", "[Usuari]\r\nIdioma=GLG\r\n");
    EXPECT_EQ(Read().LanguageCode, GetParam().languageCode);
}

INSTANTIATE_TEST_SUITE_P(Cases, SessionLanguageTest,
                         ::testing::Values(LanguageCase {"TerminalWins", "Idioma=SPA\r\n", "SPA"},
                                           LanguageCase {"LongValueCut", "Idioma=CATALAN\r\n", "CAT"},
                                           LanguageCase {"ShortValuePadded", "Idioma=OC\r\n", "OC "},
                                           LanguageCase {"EmptyFallsBackToTarnIni", "Idioma=\r\n", "GLG"},
                                           LanguageCase {"BlanksFallBackToTarnIni", "Idioma=  \r\n", "GLG"},
                                           LanguageCase {"MissingFallsBackToTarnIni", "", "GLG"}),
                         [](const ::testing::TestParamInfo<LanguageCase>& p) { return std::string(p.param.name); });

TEST_F(SessionFilesTest, NoLanguageAnywhereGivesBlanks) {
    EXPECT_EQ(Read().LanguageCode, "   ");
}

TEST_F(SessionFilesTest, WorkDatePacked) {
    dir.Write("TarnTerm.ini", "[Sistema]\r\nData= 2024035\r\n");
    EXPECT_EQ(Read().WorkDate, Packed({128 + 2, 128 + 2, 128 + 40, 128 + 35}));
}

TEST(Session, EmptyMurtmpReadsSessioFromCurrentDirectoryAndTarnTermFromTerminalDir) {
    testing::TempDir start;
    testing::TempDir terminal;
    start.Write("Sessio.ini", "[Menu]\r\nTitol=Inici\r\n[Terminal]\r\nDir=" + terminal.Dir() + "\r\n");
    terminal.Write("TarnTerm.ini", "[Sistema]\r\nIdioma=OCI\r\n");
    FakeEnvironment platform;
    CurrentDirectory here(start.Dir());
    Session s = ReadSessionEnvironment(platform);
    EXPECT_EQ(s.SessionTitle, " Inici ");
    EXPECT_EQ(s.TempDir, terminal.Dir());
    EXPECT_EQ(s.LanguageCode, "OCI");
}

TEST(Session, EverythingMissingGivesDefaults) {
    testing::TempDir empty;
    FakeEnvironment platform;
    CurrentDirectory here(empty.Dir());
    Session s = ReadSessionEnvironment(platform);
    EXPECT_EQ(s.RootDir, "");
    EXPECT_EQ(s.TempDir, "");
    EXPECT_EQ(s.SessionTitle, "  ");
    EXPECT_EQ(s.colourTable, kDefault);
    EXPECT_EQ(s.WorkDate, "");
    EXPECT_EQ(s.LanguageCode, "   ");
    EXPECT_TRUE(empty.Entries().empty());
}

struct HostCase {
    const char* name;
    std::map<std::string, std::string> env;
    const char* hostKind;
};

void PrintTo(const HostCase& c, std::ostream* os) { *os << c.name; }

class HostKindTest : public ::testing::TestWithParam<HostCase> {};

TEST_P(HostKindTest, Probes) {
    FakeEnvironment platform;
    platform.env = GetParam().env;
    EXPECT_EQ(ReadSessionEnvironment(platform).HostKind, GetParam().hostKind);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostKindTest,
    ::testing::Values(HostCase {"AcceptBeatsWindir", {{"HTTP_ACCEPT", "*/*"}, {"WINDIR", "C:\\WINDOWS"}}, "CGI"},
                      HostCase {"UserAgent", {{"HTTP_USER_AGENT", "x"}}, "CGI"},
                      HostCase {"Windir", {{"WINDIR", "C:\\WINDOWS"}}, "WIN"},
                      HostCase {"SystemRoot", {{"SYSTEMROOT", "C:\\WINDOWS"}}, "WIN"},
                      HostCase {"Nothing", {}, "DOS"}),
    [](const ::testing::TestParamInfo<HostCase>& p) { return std::string(p.param.name); });

TEST(SessionReport, ListsEveryField) {
    Session s;
    s.RootDir = "C:\\MUR\\";
    s.SessionTitle = " Format dels rebuts ";
    s.colourTable = kDefault;
    s.WorkDate = Packed({128 + 20, 128 + 24, 128 + 3, 128 + 5});
    s.LanguageCode = "CAT";
    s.HostKind = "DOS";
    s.ProgramName = "QPLAYOUT";
    EXPECT_EQ(DescribeSession(s),
              "RootDir: \"C:\\MUR\\\"\nTempDir: \"\"\nTerminalDir: \"\"\nSessionTitle: \" Format dels rebuts \"\n"
              "MenuName: \"\"\nColourTable[0]: 15 on 0\nColourTable[1]: 7 on 0\nColourTable[2]: 0 on 7\n"
              "ColourTable[3]: 0 on 7\nColourTable[4]: 0 on 7\nWorkDate: \"20240305\"\nLanguageCode: \"CAT\"\n"
              "HostKind: \"DOS\"\nProgramName: \"QPLAYOUT\"\n");
    EXPECT_EQ(DescribeTarnIni("C:\\MUR\\Tarn.ini", true, "C:\\MUR\\Tarn.ini: not a regular file"),
              "TarnIni: \"C:\\MUR\\Tarn.ini\"\nTarnIniExists: yes\nTarnIniProblem: C:\\MUR\\Tarn.ini: not a regular file\n");
    EXPECT_EQ(DescribeTarnIni("Tarn.ini", false, ""), "TarnIni: \"Tarn.ini\"\nTarnIniExists: no\n");
}

}  // namespace
}  // namespace qp
