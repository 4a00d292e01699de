// Sectioned key=value configuration files (Tarn.ini, TarnTerm.ini, Sessio.ini).
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace qp {

// The value of the first entry `key` in section `section`; empty when the
// file, the section or the key is missing.
std::string ReadIniKey(Platform& platform, const std::string& path, const std::string& section,
                       const std::string& key);

// Sets, adds or deletes one value (or a section) by rewriting the file
// through RewriteFile. On failure the file is left byte for byte as it was
// and no temporary file remains.
Status WriteIniKey(Platform& platform, const std::string& path, const std::string& section,
                   const std::string& key, const std::string& value);

// The same two operations on a file's bytes, for a caller that reads or
// rewrites several keys at once. Lines written take the file's own line end
// (CR LF for a new or one-line file); a byte order mark stays in front.
std::string ReadIniValue(std::string_view bytes, const std::string& section, const std::string& key);
std::string RewriteIniValue(std::string_view bytes, const std::string& section, const std::string& key,
                            const std::string& value);

}  // namespace qp
