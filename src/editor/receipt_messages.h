// The program's messages about the receipt settings, in Catalan (the key of
// the language file), and the texts made from them for the operator.
#pragma once

#include <string>

#include "editor/receipt_settings.h"
#include "input/refusal.h"
#include "platform/platform.h"
#include "text/language.h"

namespace qp {

// The message of a failed row plan rule, untranslated.
const std::string& RowPlanMessage(RowPlanFault fault);
// Why the settings could not be saved, in the operator's language; the
// system's words only where no cause of the program's own fits.
std::string SaveFailureText(Translator& translator, const Status& status);
// The line a console smaller than the program's 80 x 25 shows: what it
// needs and what it has.
std::string ConsoleSizeNotice(Translator& translator, int rows, int columns);
// Why something was refused and what is expected, in the operator's
// language, for the form's status line. A refused item's text is a row that
// is no whole number: the only text this program refuses.
std::string RefusalText(Translator& translator, const Refusal& refusal);
// How to leave without saving while the row plan keeps the operator in.
std::string LeaveWithoutSavingText(Translator& translator);

}  // namespace qp
