// Translation of the program's Catalan texts through its language file
// RootDir + "LOCALE\" + ProgramName + ".LNG".
#pragma once

#include <string>

#include "platform/platform.h"

namespace qp {

class Translator {
public:
    Translator(Platform& platform, std::string rootDir, std::string languageCode, std::string programName);
    std::string Translate(const std::string& catalan);

private:
    Platform& platform_;
    std::string rootDir_;
    std::string languageCode_;
    std::string programName_;
};

}  // namespace qp
