// What the operator is told of a sheet sent to a printer, for every answer of
// the system, and what the system is given.
#include <gtest/gtest.h>

#include "editor/fake_printing.h"
#include "editor/sheet_printing.h"
#include "text/language.h"

namespace qp {
namespace {

using testing::Answer;
using testing::FakePrinting;

std::string Root() { return std::string(QP_SOURCE_DIR) + "/"; }

TEST(SheetPrintingTest, SaysWhereTheSheetWentOrWhyNot) {
    const struct {
        const char* name;
        const char* language;
        const char* printer;  // asked for; "" for the default
        PrintResult answer;
        bool sent;
        const char* line;
        const char* detail = "";
    } cases[] = {
        {"sent", "CAT", "Rebuts", Answer(PrintFault::None), true, "Full d'alineaci\xA2 enviat a Rebuts"},
        {"the default, named by the system", "CAT", "", Answer(PrintFault::None, "Rebuts"), true,
         "Full d'alineaci\xA2 enviat a Rebuts"},
        {"a stopped printer", "CAT", "Rebuts", Answer(PrintFault::None, "", true), true,
         "Full d'alineaci\xA2 enviat a Rebuts; la impressora est\x85 aturada: el full espera a la cua"},
        {"no service", "CAT", "", Answer(PrintFault::NoService), false,
         "No s'ha impr\x8As el full: no hi ha cap servei d'impressi\xA2 en marxa"},
        {"no default", "CAT", "", Answer(PrintFault::NoDefault), false,
         "No s'ha impr\x8As el full: no hi ha impressora per defecte: indiqueu-ne una"},
        {"refused", "CAT", "Tancada", Answer(PrintFault::Refused), false,
         "No s'ha impr\x8As el full (Tancada): la impressora no accepta treballs"},
        // The system's words are not the operator's language: they go apart.
        {"failed, with the system's words", "CAT", "Rebuts", Answer(PrintFault::Failed, "", false, "Bad\x1B request"), false,
         "No s'ha impr\x8As el full (Rebuts): el sistema no ha acceptat el treball", "Bad? request"},
        {"not there, shown without its control bytes", "CAT", "Reb\x1B[2Juts", Answer(PrintFault::UnknownPrinter), false,
         "No s'ha impr\x8As el full (Reb?[2Juts): no hi ha cap impressora amb aquest nom"},
        {"a UTF-8 name in code page 850", "SPA", "Recepci\xC3\xB3", Answer(PrintFault::None), true,
         "Hoja de alineaci\xA2n enviada a Recepci\xA2"},
        {"Aranese", "OCI", "Tancada", Answer(PrintFault::Refused), false,
         "Non s'a imprimit era huelha (Tancada): era imprimeira non acc\x8Apte trabalhs"},
    };
    SystemPlatform platform;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Translator translator(platform, Root(), c.language, "QPLAYOUT");
        FakePrinting printing;
        printing.answer = c.answer;
        const SheetPrinting printed = PrintAlignmentSheet(printing, c.printer, "sheet\r\n\x0C", translator);
        EXPECT_EQ(printed.sent, c.sent);
        EXPECT_EQ(printed.line, c.line);
        EXPECT_EQ(printed.detail, c.detail);
        ASSERT_EQ(printing.jobs.size(), 1u);
        EXPECT_EQ(printing.jobs[0].printer, c.printer);
        EXPECT_EQ(printing.jobs[0].bytes, "sheet\r\n\x0C");
    }
}

// The job is known in a queue by the program's name and its purpose, in
// the system's UTF-8.
TEST(SheetPrintingTest, TitlesTheJob) {
    SystemPlatform platform;
    Translator translator(platform, Root(), "SPA", "QPLAYOUT");
    FakePrinting printing;
    PrintAlignmentSheet(printing, "Rebuts", "x", translator);
    ASSERT_EQ(printing.jobs.size(), 1u);
    EXPECT_EQ(printing.jobs[0].title, "qplayout: Hoja de alineaci\xC3\xB3n");
}

TEST(SheetPrintingTest, TellsWhyNoPrinterIsOffered) {
    SystemPlatform platform;
    Translator translator(platform, Root(), "GLG", "QPLAYOUT");
    PrinterList none;
    none.fault = PrintFault::NoPrinter;
    EXPECT_EQ(NoPrinterLine(none, translator), "Non se imprimiu a folla: o sistema non ten ningunha impresora");
}

}  // namespace
}  // namespace qp
