// The alignment sheet (qplayout --sheet): what the operator prints on a blank
// sheet of the stationery to see where each field lands, for the stored
// settings, in the session's language.
#pragma once

#include "editor/receipt_settings.h"
#include "editor/settings_script.h"
#include "input/form_tables.h"
#include "text/language.h"

namespace qp {

// The output is the sheet's bytes, to go to the printer as they are: code
// page 850, CR LF line ends, a form feed at the end. A failing row plan still
// gives the sheet, with its message as the problem and kScriptBadValue.
// The settings must be built over screen 1 of `tables`, loaded from the form file.
ScriptResult MakeAlignmentSheet(ReceiptSettings& settings, FormTables& tables, Translator& translator);

}  // namespace qp
