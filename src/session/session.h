// The session record: filled once at start-up from the environment and the
// suite's configuration files, read-only afterwards.
#pragma once

#include <string>

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
};

Session ReadSessionEnvironment(Platform& platform);

}  // namespace qp
