#include "session/session.h"

#include <cstddef>

#include "config/ini_file.h"
#include "format/dates.h"
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

// TERM is the suite's terminal directory on Windows; on POSIX it names the
// terminal type, and counts only when it happens to be a directory.
std::string TerminalDirFromTerm(Platform& platform) {
    std::string term = platform.GetEnv("TERM");
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
    session.RootDir = WithSeparator(platform, platform.GetEnv("MURROOT"));
    session.TempDir = WithSeparator(platform, platform.GetEnv("MURTMP"));
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
    session.TerminalDir = sessionFile.Value("Terminal", "Dir");
    if (session.TerminalDir.empty()) session.TerminalDir = TerminalDirFromTerm(platform);
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
