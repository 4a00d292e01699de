// The alignment sheet: its exact bytes for the stored settings, and a failing
// plan that still gives the sheet.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "editor/alignment_sheet.h"
#include "editor/form_loader.h"
#include "editor/message_texts.h"
#include "editor/scenario_console.h"

namespace qp {
namespace {

using testing::EditorScenario;
using testing::Texts;

// The sample settings (no section Rebut: the defaults) in Catalan, byte for byte.
const std::string kSampleCatalan =
    " 1 N\xA3m. rebut\r\n"
    " 2\r\n"
    " 3 Data\r\n"
    " 4\r\n"
    " 5\r\n"
    " 6 Concepte 1/5\r\n"
    " 7 Concepte 2/5\r\n"
    " 8 Concepte 3/5\r\n"
    " 9 Concepte 4/5\r\n"
    "10 Concepte 5/5\r\n"
    "11 Domicili\r\n"
    "12\r\n"
    "13 Nom 1/6\r\n"
    "14 Nom 2/6\r\n"
    "15 Nom 3/6\r\n"
    "16 Nom 4/6\r\n"
    "17 Nom 5/6\r\n"
    "18 Nom 6/6\r\n"
    "19\r\n"
    "20\r\n"
    "21\r\n"
    "22\r\n"
    "23\r\n"
    "24\r\n"
    "25\r\n"
    "\r\n"
    "Imprimir la matriu: No   Imprimir el duplicat: No   Imprimir el membret: S\xA1\r\n"
    "\x0C";

// A sheet made of the rows named (the others hold their number alone) and
// the lines under them.
std::string Sheet(const std::map<int, std::string>& rows, const std::vector<std::string>& under) {
    std::string bytes;
    for (int row = 1; row <= 25; ++row) {
        bytes += (row < 10 ? " " : "") + std::to_string(row);
        if (auto found = rows.find(row); found != rows.end()) bytes += " " + found->second;
        bytes += "\r\n";
    }
    bytes += "\r\n";
    for (const std::string& line : under) bytes += line + "\r\n";
    return bytes + "\x0C";
}

const std::map<int, std::string> kDefaultRows = {
    {1, "N\xA3m. rebut"}, {3, "Data"},     {6, "Concepte 1/5"}, {7, "Concepte 2/5"}, {8, "Concepte 3/5"},
    {9, "Concepte 4/5"},  {10, "Concepte 5/5"}, {11, "Domicili"}, {13, "Nom 1/6"}, {14, "Nom 2/6"},
    {15, "Nom 3/6"},      {16, "Nom 4/6"}, {17, "Nom 5/6"},      {18, "Nom 6/6"},
};

std::map<int, std::string> DefaultRowsBut(std::map<int, std::string> changed) {
    std::map<int, std::string> rows = kDefaultRows;
    for (auto& [row, names] : changed) {
        if (names.empty())
            rows.erase(row);
        else
            rows[row] = names;
    }
    return rows;
}

const std::string kChoicesCatalan = "Imprimir la matriu: No   Imprimir el duplicat: No   Imprimir el membret: S\xA1";

TEST(AlignmentSheetTest, WritesTheStoredPlanForThePrinter) {
    const struct {
        const char* name;
        const char* language;
        const char* rebut;  // section Rebut added to the sample's Tarn.ini; null for none
        std::string bytes;
        int exitCode;
        std::vector<std::string> problems;
    } cases[] = {
        {"the sample in Catalan", "CAT", nullptr, kSampleCatalan, kScriptDone, {}},
        // Occitan's three Sí/No settings are too wide for one line.
        {"the sample in Occitan", "OCI", nullptr,
         Sheet({{1, "Num. arrecebut"}, {3, "Data"}, {6, "Conc\x8Apte 1/5"}, {7, "Conc\x8Apte 2/5"},
                {8, "Conc\x8Apte 3/5"}, {9, "Conc\x8Apte 4/5"}, {10, "Conc\x8Apte 5/5"}, {11, "Domicili"},
                {13, "Nom 1/6"}, {14, "Nom 2/6"}, {15, "Nom 3/6"}, {16, "Nom 4/6"}, {17, "Nom 5/6"}, {18, "Nom 6/6"}},
               {"Imprimir era matritz: Non", "Imprimir eth duplicat: Non", "Imprimir era ent\x8Asta: \xE3"
                                                                           "c"}),
         kScriptDone, {}},
        {"a clash in the new format", "CAT", "Antic=N\r\nFila.Dom=9\r\nDuplicat=S\r\n",
         Sheet(DefaultRowsBut({{9, "Concepte 4/5 / Domicili"}, {11, ""}}),
               {"Imprimir la matriu: No   Imprimir el duplicat: S\xA1   Imprimir el membret: S\xA1",
                "El format nou no fa servir aquestes files."}),
         kScriptDone, {}},
        {"a clash fails the plan, in Spanish", "SPA", "Fila.Dom=9\r\n",
         Sheet({{1, "N\xA3m. recibo"}, {3, "Fecha"}, {6, "Concepto 1/5"}, {7, "Concepto 2/5"}, {8, "Concepto 3/5"},
                {9, "Concepto 4/5 / Domicilio"}, {10, "Concepto 5/5"}, {13, "Nombre 1/6"}, {14, "Nombre 2/6"},
                {15, "Nombre 3/6"}, {16, "Nombre 4/6"}, {17, "Nombre 5/6"}, {18, "Nombre 6/6"}},
               {"Imprimir matriz: No   Imprimir duplicado: No   Imprimir membrete: S\xA1"}),
         kScriptBadValue, {"EL ORDEN DE LAS FILAS NO ES CORRECTO"}},
        {"the name off the sheet", "CAT", "Fila.Nom=22\r\n",
         Sheet(DefaultRowsBut({{13, ""}, {14, ""}, {15, ""}, {16, ""}, {17, ""}, {18, ""},
                               {22, "Nom 1/6"}, {23, "Nom 2/6"}, {24, "Nom 3/6"}, {25, "Nom 4/6"}}),
               {kChoicesCatalan, "Fora del paper: Nom, files 26-27"}),
         kScriptBadValue, {"FILA LLIURAT FORA DE MARGES"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EditorScenario s;
        if (c.rebut) s.WriteFile("Tarn.ini", s.TarnIni() + "\r\n[Rebut]\r\n" + c.rebut);
        const std::string stored = s.TarnIni();
        SystemPlatform platform;
        Translator translator(platform, s.Root(), c.language, "QPLAYOUT");
        FormTables tables;
        FormLoadResult loaded = LoadForm(platform, s.Root(), "QPLAYOUT", translator, tables);
        ASSERT_TRUE(loaded.ok) << loaded.message;
        ReceiptSettings settings(platform, tables, s.Root() + "Tarn.ini");

        ScriptResult sheet = MakeAlignmentSheet(settings, tables, translator);
        EXPECT_EQ(sheet.output, c.bytes);
        EXPECT_EQ(sheet.exitCode, c.exitCode);
        EXPECT_EQ(Texts(sheet.messages), c.problems);
        EXPECT_EQ(s.TarnIni(), stored) << "the sheet only reads the settings";
    }
}

// A translation (the language file) or a value (Tarn.ini) holding control
// bytes, an escape sequence among them: the sheet has blanks in their place,
// and no control byte but its line ends and the final form feed.
TEST(AlignmentSheetTest, ControlBytesOfTheFilesBecomeBlanks) {
    const struct {
        const char* name;
        const char* language;
        std::string translation;  // replaces the Spanish "Fecha" in the language file
        std::string rebut;
        std::string line;  // as the sheet has it
    } cases[] = {
        {"a translation", "SPA", "Fe\x1B[2Jcha\x07", "", " 3 Fe [2Jcha \r\n"},
        {"a value", "CAT", "Fecha", "Matriu=\x1B\r\nMembret=\x7F\r\n", "Imprimir la matriu:     Imprimir"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EditorScenario s;
        std::string language = s.ReadFile("LOCALE/QPLAYOUT.LNG");
        language.replace(language.find("\"Fecha\""), 7, "\"" + c.translation + "\"");
        s.WriteFile("LOCALE/QPLAYOUT.LNG", language);
        s.WriteFile("Tarn.ini", "[Rebut]\r\n" + c.rebut);
        SystemPlatform platform;
        Translator translator(platform, s.Root(), c.language, "QPLAYOUT");
        FormTables tables;
        ASSERT_TRUE(LoadForm(platform, s.Root(), "QPLAYOUT", translator, tables).ok);
        ReceiptSettings settings(platform, tables, s.Root() + "Tarn.ini");

        const std::string bytes = MakeAlignmentSheet(settings, tables, translator).output;
        EXPECT_NE(bytes.find(c.line), std::string::npos) << bytes;
        ASSERT_FALSE(bytes.empty());
        EXPECT_EQ(bytes.back(), '\x0C');
        for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
            const auto byte = static_cast<unsigned char>(bytes[i]);
            const bool lineEnd = bytes.compare(i, 2, "\r\n") == 0 || (i > 0 && bytes.compare(i - 1, 2, "\r\n") == 0);
            EXPECT_TRUE((byte >= 0x20 && byte != 0x7F) || lineEnd) << "byte " << int(byte) << " at " << i;
        }
    }
}

// A translation of a megabyte is cut to a printed line wherever the sheet
// writes it (a name on six rows, the words of the off-sheet line, the new
// format's note): the sheet stays a page, not hundreds of megabytes.
TEST(AlignmentSheetTest, ALongTranslationIsCutToAPrintedLine) {
    const std::string kLong(1 << 20, 'Z');
    const std::string kCut(static_cast<std::size_t>(kPrintedLineWidth), 'Z');
    const struct {
        const char* name;
        const char* spanish;  // the text replaced by kLong
        std::string rebut;
        std::string line;  // as the sheet has it
    } cases[] = {
        {"a field's name", "Nombre", "", "13 " + kCut + " 1/6\r\n"},
        {"the off-sheet line", "Fuera del papel", "Fila.Nom=22\r\n", kCut + ": Nombre, filas 26-27\r\n"},
        {"the new format's note", "El formato nuevo no usa estas filas.", "Antic=N\r\n", "\r\n" + kCut + "\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EditorScenario s;
        std::string language = s.ReadFile("LOCALE/QPLAYOUT.LNG");
        const std::string quoted = "\"" + std::string(c.spanish) + "\"";
        language.replace(language.rfind(quoted), quoted.size(), "\"" + kLong + "\"");
        s.WriteFile("LOCALE/QPLAYOUT.LNG", language);
        s.WriteFile("Tarn.ini", "[Rebut]\r\n" + c.rebut);
        SystemPlatform platform;
        Translator translator(platform, s.Root(), "SPA", "QPLAYOUT");
        FormTables tables;
        ASSERT_TRUE(LoadForm(platform, s.Root(), "QPLAYOUT", translator, tables).ok);
        ReceiptSettings settings(platform, tables, s.Root() + "Tarn.ini");

        const std::string bytes = MakeAlignmentSheet(settings, tables, translator).output;
        EXPECT_NE(bytes.find(c.line), std::string::npos) << bytes.substr(0, 4096);
        EXPECT_LT(bytes.size(), std::size_t {8} << 10);
    }
}

}  // namespace
}  // namespace qp
