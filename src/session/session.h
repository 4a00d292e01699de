// The session record: filled once at start-up from the environment and the
// suite's configuration files, read-only afterwards.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"
#include "text/shared_types.h"

namespace qp {

struct Session {
    std::string RootDir;
    std::string TempDir;
    std::string TerminalDir;
    std::string SessionTitle;
    std::string MenuName;
    ColourTable colourTable {};
    std::string WorkDate;       // packed date, 4 bytes
    std::string LanguageCode;   // exactly 3 characters
    std::string HostKind;       // "CGI", "WIN" or "DOS"
    std::string ProgramName;
    // Files that were there but could not be taken (not a regular file, too
    // large, unreadable), each with why; they counted as missing.
    std::vector<std::string> problems;
};

Session ReadSessionEnvironment(Platform& platform);

}  // namespace qp
