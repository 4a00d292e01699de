// The command line's arguments as the system gives them.
#pragma once

#include <string>
#include <vector>

namespace qp {

// The arguments after the program's name, in UTF-8. POSIX gives them so; on
// Windows they come from the wide command line, as the C runtime's `argv`
// has lost the characters that the ANSI code page lacks.
std::vector<std::string> ArgumentsInUtf8(int argc, char** argv);

}  // namespace qp
