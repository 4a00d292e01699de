// A readable account of what start-up read, for checking an installation.
#pragma once

#include <string>

#include "session/session.h"

namespace qp {

// One "name: value" line per session field, texts in quotes so that blanks
// show; code page 850 like every other text.
std::string DescribeSession(const Session& session);

// The Tarn.ini the settings are read from and saved to: its path, whether it
// is there, and why it may not be used when it may not (`problem`, empty
// when it may).
std::string DescribeTarnIni(const std::string& path, bool exists, const std::string& problem);

}  // namespace qp
