// The system's own printing: the printers it offers, its default one, and one
// raw job whose bytes reach the printer as they are, whatever its driver (CUPS
// through its library on POSIX, the spooler on Windows). No command line is
// ever built: a printer's name goes to the system as data.
//
// Texts here are UTF-8 on every system (printer names, the job's title, the
// system's words): the names are the system's own, and one that code page 850
// cannot hold must still reach its printer unchanged.
#pragma once

#include <string>
#include <vector>

namespace qp {

// Why printing could not go on, in the terms an operator is told about.
enum class PrintFault {
    None,
    NoService,       // no printing service answers
    NoPrinter,       // the system has no printer at all
    NoDefault,       // printers, but none is the default one, and none was named
    UnknownPrinter,  // no printer of that name (misspelt, or removed since it was listed)
    Refused,         // the printer takes no jobs now (rejecting, or out of service)
    Failed,          // the system did not take the job for another reason; the detail says which
};

struct PrinterList {
    std::vector<std::string> names;  // the default printer first, when there is one
    bool firstIsDefault = false;
    PrintFault fault = PrintFault::None;  // NoService or NoPrinter when there are no names
    std::string detail;                   // the system's words, when it gave any
};

struct PrintResult {
    PrintFault fault = PrintFault::None;
    std::string printer;  // the printer the job went to, or was meant for
    // The system took the job, but the printer is stopped: it waits in the
    // printer's queue until the printer is started again.
    bool waiting = false;
    std::string detail;  // the system's words, when it gave any
};

class Printing {
public:
    virtual ~Printing() = default;
    virtual PrinterList ListPrinters() = 0;
    // One job of `bytes` alone, raw, for `printer` (empty: the system's default
    // one), titled `title`. Done once the system has taken all of it.
    virtual PrintResult PrintRaw(const std::string& printer, const std::string& title, const std::string& bytes) = 0;
};

// The real system's printing.
class SystemPrinting : public Printing {
public:
    PrinterList ListPrinters() override;
    PrintResult PrintRaw(const std::string& printer, const std::string& title, const std::string& bytes) override;
};

// A printer's name given on the command line, as the system names printers:
// on Windows the C runtime gives arguments in the ANSI code page.
std::string PrinterNameFromArgument(const std::string& argument);

// A name no printer can have: empty, a control byte, or not UTF-8. It is
// refused before it reaches the system.
bool IsPossiblePrinterName(const std::string& name);

}  // namespace qp
