// Texts from the command line and from files on their way to the program
// and out of it.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "text/cp850.h"

namespace qp {
namespace {

TEST(Cp850Test, ArgumentsInUtf8AreTakenOnlyWhenTheCodePageHoldsThem) {
    const struct {
        const char* name;
        std::string utf8;
        std::optional<std::string> cp850;
    } cases[] = {
        {"plain", "Fila.Nom=14", "Fila.Nom=14"},
        {"an accent", "Matriu=S\xC3\xAD", "Matriu=S\xA1"},
        {"the euro sign", "\xE2\x82\xAC", "\xD5"},
        {"a control byte is kept", "a\x1B[2J", "a\x1B[2J"},
        {"no code page 850 character", "\xE4\xB8\xAD", std::nullopt},
        {"cut short", "S\xC3", std::nullopt},
        {"a NUL written long", "a\xC0\x80", std::nullopt},
        {"not UTF-8", "S\xED", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Utf8ToCp850Exactly(c.utf8), c.cp850);
    }
    EXPECT_EQ(ControlBytesAsBlanks("a\x1B[2J\x07\r\n\x7F\xA1"), "a [2J    \xA1");
}

}  // namespace
}  // namespace qp
