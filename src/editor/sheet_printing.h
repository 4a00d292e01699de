// The alignment sheet sent to a printer through the system's printing, and
// the line that tells the operator what became of it, in the session's
// language. The stationery preview (F9) and qplayout --print-sheet share it.
#pragma once

#include <string>

#include "platform/printing.h"
#include "text/language.h"

namespace qp {

struct SheetPrinting {
    bool sent = false;
    std::string line;    // code page 850: the printer the sheet went to, or why it did not go
    std::string detail;  // code page 850: the system's own words, when it gave any
};

// `printer` as the system names it (UTF-8), or empty for the system's default one.
SheetPrinting PrintAlignmentSheet(Printing& printing, const std::string& printer, const std::string& sheet,
                                  Translator& translator);

// Why the system offers no printer (the list's fault), as the line says it.
std::string NoPrinterLine(const PrinterList& printers, Translator& translator);

// A text of the system's (a printer's name, its words) as the screen shows it:
// code page 850, every control character a "?".
std::string SystemTextShown(const std::string& utf8);

}  // namespace qp
