// Printer names that no printer can have never reach the system.
#include <gtest/gtest.h>

#include "platform/printing.h"

namespace qp {
namespace {

TEST(PrintingTest, RefusesNamesNoPrinterCanHave) {
    const struct {
        const char* name;
        std::string printer;
        bool possible;
    } cases[] = {
        {"a queue", "Rebuts", true},
        {"punctuation and blanks", "Recepci\xC3\xB3 2-a_b.c @ #1", true},
        {"four-byte UTF-8", "P\xF0\x9F\x96\xA8", true},
        {"empty", "", false},
        {"an escape", "Reb\x1B[2Juts", false},
        {"a line end", "Rebuts\nlp -d x", false},
        {"DEL", "Rebuts\x7F", false},
        {"a C1 control in UTF-8", "Reb\xC2\x9Buts", false},
        {"code page 850, not UTF-8", "Recepci\xA2", false},
        {"a cut UTF-8 character", "Recepci\xC3", false},
        {"a stray continuation byte", "\x80Rebuts", false},
        {"a NUL", std::string("Reb\0uts", 7), false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsPossiblePrinterName(c.printer), c.possible) << c.name;
}

}  // namespace
}  // namespace qp
