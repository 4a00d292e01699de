#include "session/session_report.h"

#include "format/dates.h"

namespace qp {
namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string Line(const char* name, const std::string& value) { return std::string(name) + ": " + value + "\n"; }

}  // namespace

std::string DescribeSession(const Session& session) {
    std::string out;
    out += Line("RootDir", Quoted(session.RootDir));
    out += Line("TempDir", Quoted(session.TempDir));
    out += Line("TerminalDir", Quoted(session.TerminalDir));
    out += Line("SessionTitle", Quoted(session.SessionTitle));
    out += Line("MenuName", Quoted(session.MenuName));
    for (std::size_t row = 0; row < session.colourTable.size(); ++row) {
        const auto& colour = session.colourTable[row];
        out += "ColourTable[" + std::to_string(row) + "]: " + std::to_string(colour[0]) + " on " +
               std::to_string(colour[1]) + "\n";
    }
    out += Line("WorkDate", Quoted(UnpackDigits(session.WorkDate)));
    out += Line("LanguageCode", Quoted(session.LanguageCode));
    out += Line("HostKind", Quoted(session.HostKind));
    out += Line("ProgramName", Quoted(session.ProgramName));
    for (const std::string& problem : session.problems) out += Line("Problem", problem);
    return out;
}

std::string DescribeTarnIni(const std::string& path, bool exists, const std::string& problem) {
    std::string out = Line("TarnIni", Quoted(path));
    out += Line("TarnIniExists", exists ? "yes" : "no");
    if (!problem.empty()) out += Line("TarnIniProblem", problem);
    return out;
}

}  // namespace qp
