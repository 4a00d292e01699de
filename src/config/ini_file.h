// Sectioned key=value configuration files (Tarn.ini, TarnTerm.ini, Sessio.ini).
#pragma once

#include <string>

#include "platform/platform.h"

namespace qp {

// The value of the first entry `key` in section `section`; empty when the
// file, the section or the key is missing.
std::string ReadIniKey(Platform& platform, const std::string& path, const std::string& section,
                       const std::string& key);

// Sets, adds or deletes one value (or a section) by rewriting the file through
// a temporary copy that replaces it in one step. On failure the file is left
// byte for byte as it was and no temporary file remains.
Status WriteIniKey(Platform& platform, const std::string& path, const std::string& section,
                   const std::string& key, const std::string& value);

}  // namespace qp
