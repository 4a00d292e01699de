// A readable account of what start-up read, for checking an installation.
#pragma once

#include <string>

#include "session/session.h"

namespace qp {

// One "name: value" line per session field, texts in quotes so that blanks
// show; code page 850 like every other text.
std::string DescribeSession(const Session& session);

}  // namespace qp
