#include "session/arguments.h"

namespace qp {

std::vector<std::string> ArgumentsInUtf8(int argc, char** argv) { return {argv + 1, argv + argc}; }

}  // namespace qp
