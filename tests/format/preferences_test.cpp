#include "format/preferences.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "format/format_fixture.h"

namespace qp {
namespace {

class PreferencesTest : public test::TarnIniFixture {};

TEST_F(PreferencesTest, DefaultsWithoutTarnIni) {
    EXPECT_EQ(Prefs().DatCaracter(), '/');
    EXPECT_EQ(Prefs().DatOrdre(), "DMA");
    EXPECT_EQ(Prefs().DecCaracter(), '\'');
    EXPECT_EQ(Prefs().MilCaracter(), '.');
}

TEST_F(PreferencesTest, ValuesAndTheirDefaults) {
    struct Case {
        std::string lines;
        char datCaracter;
        std::string datOrdre;
        char decCaracter;
        char milCaracter;
    };
    const std::vector<Case> cases = {
        {"DatCaracter=-x\r\nDatOrdre=AMDX\r\nDecCaracter=,\r\nMilCaracter=_\r\n", '-', "AMD", ',', '_'},
        {"DatCaracter= -\r\nDatOrdre=AM\r\nDecCaracter= ,\r\nMilCaracter= _\r\n", '/', "AM ", '\'', '.'},
        {"DatCaracter=\r\nDatOrdre=   X\r\nDecCaracter=\r\nMilCaracter=\r\n", '/', "DMA", '\'', '.'},
        {"DatOrdre=\" MD\"\r\n", '/', " MD", '\'', '.'},
        {"DatOrdre=dma\r\n", '/', "dma", '\'', '.'},
    };
    for (const Case& c : cases) {
        UsePreferences(c.lines);
        EXPECT_EQ(Prefs().DatCaracter(), c.datCaracter) << c.lines;
        EXPECT_EQ(Prefs().DatOrdre(), c.datOrdre) << c.lines;
        EXPECT_EQ(Prefs().DecCaracter(), c.decCaracter) << c.lines;
        EXPECT_EQ(Prefs().MilCaracter(), c.milCaracter) << c.lines;
    }
}

TEST_F(PreferencesTest, ReadsTheSuitesFile) {
    std::filesystem::copy_file(std::string(QP_TEST_DATA) + "/format/Tarn.ini", TarnIniPath());
    EXPECT_EQ(Prefs().DatCaracter(), '.');
    EXPECT_EQ(Prefs().DatOrdre(), "AMD");
    EXPECT_EQ(Prefs().DecCaracter(), ',');
    EXPECT_EQ(Prefs().MilCaracter(), '.');  // the quoted blank counts as a blank
}

// Each preference is read the first time it is asked for and kept; a later
// change of the file is not seen.
TEST_F(PreferencesTest, AllAreLoadedTogetherOnFirstUseAndKept) {
    WriteTarnIni("[Usuari]\r\nDatCaracter=-\r\nDecCaracter=,\r\n");
    EXPECT_EQ(Prefs().DatCaracter(), '-');
    WriteTarnIni("[Usuari]\r\nDatCaracter=:\r\nDecCaracter=;\r\nMilCaracter=_\r\n");
    EXPECT_EQ(Prefs().DatCaracter(), '-');
    EXPECT_EQ(Prefs().MilCaracter(), '.');
    std::filesystem::remove(TarnIniPath());
    EXPECT_EQ(Prefs().DecCaracter(), ',');
}

// Start-up reads the file for the numbers; the first date, later, reads it
// again and sees what changed meanwhile, for both date preferences at once.
TEST_F(PreferencesTest, DatesFollowTheFileAsItIsAtTheFirstDate) {
    WriteTarnIni("[Usuari]\r\nDatCaracter=-\r\nDatOrdre=DMA\r\nDecCaracter=,\r\n");
    EXPECT_EQ(Prefs().DecCaracter(), ',');
    WriteTarnIni("[Usuari]\r\nDatCaracter=.\r\nDatOrdre=AMD\r\nDecCaracter=;\r\n");
    EXPECT_EQ(Prefs().DatOrdre(), "AMD");
    WriteTarnIni("[Usuari]\r\nDatCaracter=:\r\nDatOrdre=MDA\r\n");
    EXPECT_EQ(Prefs().DatCaracter(), '.');
    EXPECT_EQ(Prefs().DatOrdre(), "AMD");
    EXPECT_EQ(Prefs().DecCaracter(), ',');
}

}  // namespace
}  // namespace qp
