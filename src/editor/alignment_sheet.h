// The alignment sheet (qplayout --sheet, --print-sheet, F9 in the preview):
// what the operator prints on a blank sheet of the stationery to see where
// each field lands, in the session's language.
#pragma once

#include <string>

#include "editor/printed_rows.h"
#include "editor/receipt_settings.h"
#include "editor/settings_script.h"
#include "input/form_tables.h"
#include "text/language.h"

namespace qp {

// The sheet's bytes for the rows as they are described, to go to the printer
// as they are: code page 850, CR LF line ends, a form feed at the end, and no
// other control byte: one that a text or a value holds (the language file
// and Tarn.ini are shared) is a blank, never a command to the printer.
std::string AlignmentSheetBytes(const PrintedRows& rows);

// The sheet for the stored settings: its bytes as the output. A failing row
// plan still gives the sheet, with its message as the problem and kScriptBadValue.
// A Tarn.ini that may not be used gives no sheet, its problem and
// kScriptNoInput. The settings must be built over screen 1 of `tables`,
// loaded from the form file.
ScriptResult MakeAlignmentSheet(ReceiptSettings& settings, FormTables& tables, Translator& translator);

// The sheet's bytes as a terminal shows them: lines ended by LF alone, no
// form feed (still code page 850).
std::string AlignmentSheetShown(const std::string& bytes);

}  // namespace qp
