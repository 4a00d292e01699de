// The form definition file RootDir + "FORMS\" + ProgramName + ".MPN": a
// header, the screens with their items and the optional pop-up lists, read
// once into the form tables. Labels, options and list titles are translated
// as they are read.
#pragma once

#include <string>

#include "input/form_tables.h"
#include "platform/platform.h"
#include "text/language.h"

namespace qp {

struct FormLoadResult {
    bool ok = true;
    // On failure: the file and what is wrong with it, with the line where
    // one can be named. Plain ASCII apart from the path, ready for stderr.
    std::string message;
};

// Fills `tables` from the program's form file. A file that cannot be read or
// breaks the format is refused as a whole; the tables are then left empty.
FormLoadResult LoadForm(Platform& platform, const std::string& rootDir, const std::string& programName,
                        Translator& translator, FormTables& tables);

// The same on bytes already read; `fileName` names the file in the message.
FormLoadResult LoadFormText(std::string bytes, const std::string& fileName, Translator& translator,
                            FormTables& tables);

}  // namespace qp
