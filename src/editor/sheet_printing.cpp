#include "editor/sheet_printing.h"

#include "text/cp850.h"

namespace qp {
namespace {

// Catalan, shown through Translate.
const std::string kJobTitle = "Full d'alineaci\xA2";
const std::string kSentTo = "Full d'alineaci\xA2 enviat a";
const std::string kWaiting = "la impressora est\x85 aturada: el full espera a la cua";
const std::string kNotPrinted = "No s'ha impr\x8As el full";
const std::string kNoService = "no hi ha cap servei d'impressi\xA2 en marxa";
const std::string kNoPrinter = "el sistema no t\x82 cap impressora";
const std::string kNoDefault = "no hi ha impressora per defecte: indiqueu-ne una";
const std::string kUnknownPrinter = "no hi ha cap impressora amb aquest nom";
const std::string kRefused = "la impressora no accepta treballs";
const std::string kFailed = "el sistema no ha acceptat el treball";

// The program's name leads the title, so that the job is known in a queue.
const std::string kProgramName = "qplayout";

const std::string& ReasonText(PrintFault fault) {
    switch (fault) {
    case PrintFault::NoService: return kNoService;
    case PrintFault::NoPrinter: return kNoPrinter;
    case PrintFault::NoDefault: return kNoDefault;
    case PrintFault::UnknownPrinter: return kUnknownPrinter;
    case PrintFault::Refused: return kRefused;
    case PrintFault::None:
    case PrintFault::Failed: break;
    }
    return kFailed;
}

// "No s'ha imprès el full (printer): reason", and the system's words apart:
// they are in the system's language, not the operator's.
SheetPrinting NotPrinted(PrintFault fault, const std::string& printer, const std::string& detail,
                         Translator& translator) {
    std::string line = translator.Translate(kNotPrinted);
    if (!printer.empty()) line += " (" + SystemTextShown(printer) + ")";
    line += ": " + translator.Translate(ReasonText(fault));
    return {false, line, SystemTextShown(detail)};
}

}  // namespace

std::string SystemTextShown(const std::string& utf8) {
    std::string shown = Utf8ToCp850(utf8);
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return shown;
}

SheetPrinting PrintAlignmentSheet(Printing& printing, const std::string& printer, const std::string& sheet,
                                  Translator& translator) {
    const std::string title = kProgramName + ": " + Cp850ToUtf8(translator.Translate(kJobTitle));
    const PrintResult result = printing.PrintRaw(printer, title, sheet);
    if (result.fault != PrintFault::None) return NotPrinted(result.fault, result.printer, result.detail, translator);
    std::string line = translator.Translate(kSentTo) + " " + SystemTextShown(result.printer);
    if (result.waiting) line += "; " + translator.Translate(kWaiting);
    return {true, line, {}};
}

std::string NoPrinterLine(const PrinterList& printers, Translator& translator) {
    return NotPrinted(printers.fault, "", printers.detail, translator).line;
}

}  // namespace qp
