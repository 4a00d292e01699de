#include "session/session.h"

#include <cstddef>
#include <optional>

#include "config/ini_file.h"
#include "format/dates.h"
#include "platform/safe_path.h"
#include "text/cp850.h"

namespace qp {
namespace {

constexpr const char* kDefaultColours = "15000700000700070007";

// Directories from the environment and the session file are joined to file
// names by plain concatenation, so they must end in a separator.
std::string WithSeparator(const Platform& platform, std::string dir) {
    if (dir.empty()) return dir;
    char last = dir.back();
    if (last == ':' || last == '\\') return dir;
    if (platform.IsWindowsHost()) return dir + "\\";
    return last == '/' ? dir : dir + "/";
}

// A folder taken from a variable or a file: the one rule for paths decides
// whether it may name one. A refused text counts as missing, and says so
// without showing its bytes.
std::string FolderSetting(Platform& platform, const std::string& setting, const std::string& text,
                          std::vector<std::string>& problems) {
    if (std::optional<std::string> refusal = PathRefusal(text, platform.IsWindowsHost())) {
        problems.push_back(setting + " " + *refusal + ": taken as missing");
        return {};
    }
    return text;
}

// The installation's and the temporary folder, named once for the whole
// run: a relative name is made absolute now, from the folder the program was
// started in, before it changes to the installation's folder.
std::string RootSetting(Platform& platform, const char* variable, std::vector<std::string>& problems) {
    std::string folder = FolderSetting(platform, variable, platform.GetEnv(variable), problems);
    if (folder.empty()) return folder;
    const std::string absolute = platform.AbsolutePath(folder);
    return WithSeparator(platform, FolderSetting(platform, std::string(variable) + " (from the current folder)",
                                                 absolute, problems));
}

// TERM is the suite's terminal directory on Windows; on POSIX it names the
// terminal type, and counts only when it happens to be a directory.
std::string TerminalDirFromTerm(Platform& platform, std::vector<std::string>& problems) {
    std::string term = FolderSetting(platform, "TERM", platform.GetEnv("TERM"), problems);
    if (term.empty() || platform.IsWindowsHost()) return term;
    return platform.Exists(term + "/.") ? term : std::string();
}

ColourTable ParseColours(const std::string& text) {
    ColourTable table {};
    for (std::size_t row = 0; row < table.size(); ++row) {
        for (std::size_t part = 0; part < 2; ++part) {
            std::size_t at = 4 * row + 2 * part;
            if (at >= text.size()) continue;
            table[row][part] = static_cast<std::int16_t>(NumericValue(std::string_view(text).substr(at, 2)));
        }
    }
    return table;
}

std::string HostKindOf(Platform& platform) {
    if (!platform.GetEnv("HTTP_USER_AGENT").empty() || !platform.GetEnv("HTTP_ACCEPT").empty()) return "CGI";
    if (!platform.GetEnv("WINDIR").empty() || !platform.GetEnv("SYSTEMROOT").empty()) return "WIN";
    return "DOS";
}

}  // namespace

Session ReadSessionEnvironment(Platform& platform) {
    Session session;
    session.RootDir = RootSetting(platform, "MURROOT", session.problems);
    session.TempDir = RootSetting(platform, "MURTMP", session.problems);
    // Each file is read once, whatever the number of keys taken from it. A
    // file that is no regular file or too large counts as missing, and says so.
    auto read = [&](const std::string& path, std::int64_t limit) {
        std::string problem;
        IniDocument file = IniDocument::Read(platform, path, limit, &problem);
        if (!problem.empty()) session.problems.push_back(problem + ": taken as missing");
        return file;
    };

    const IniDocument sessionFile = read(session.TempDir + "Sessio.ini", kSmallFileLimit);
    session.SessionTitle = " " + sessionFile.Value("Menu", "Titol") + " ";
    session.MenuName = sessionFile.Value("Menu", "NomMenu");
    session.TerminalDir = FolderSetting(platform, "Sessio.ini [Terminal] Dir", sessionFile.Value("Terminal", "Dir"),
                                        session.problems);
    if (session.TerminalDir.empty()) session.TerminalDir = TerminalDirFromTerm(platform, session.problems);
    session.TerminalDir = WithSeparator(platform, session.TerminalDir);
    if (session.TempDir.empty()) session.TempDir = session.TerminalDir;

    const IniDocument terminalFile = read(session.TempDir + "TarnTerm.ini", kSmallFileLimit);
    long selection = NumericValue(terminalFile.Value("Pantalla", "Seleccio"));
    std::string colours = terminalFile.Value("Pantalla", "Col" + std::to_string(selection));
    session.colourTable = ParseColours(colours.empty() ? kDefaultColours : colours);

    session.WorkDate = PackDigits(terminalFile.Value("Sistema", "Data"));
    session.LanguageCode = FitWidth(terminalFile.Value("Sistema", "Idioma"), 3);
    if (TrimTrailingBlanks(session.LanguageCode).empty())
        session.LanguageCode =
            FitWidth(read(session.RootDir + "Tarn.ini", kLargeFileLimit).Value("Usuari", "Idioma"), 3);

    session.HostKind = HostKindOf(platform);
    return session;
}

}  // namespace qp
