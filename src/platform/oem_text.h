// Windows only: the program's texts (paths included) are in the OEM code
// page; the system's wide-character calls take UTF-16.
#pragma once

#include <string>

namespace qp {

std::wstring WideFromOem(const std::string& oem);
std::string OemFromWide(const std::wstring& wide);

}  // namespace qp
