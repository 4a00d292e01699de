// The printed rows that the preview and the alignment sheet share: where each
// block lands, and what is said of every row and around them, in each language
// of the shipped language file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/form_loader.h"
#include "editor/printed_rows.h"
#include "editor/scenario_console.h"

namespace qp {
namespace {

using testing::EditorScenario;

SettingValues Plan(const char* antic, std::vector<const char*> rows) {
    SettingValues v {antic, "", "", "", "", "", "N", "N", "S"};
    for (std::size_t i = 0; i < rows.size(); ++i) v[i + 1] = rows[i];
    return v;
}

TEST(StationeryLayoutTest, PlacesEachBlockOnItsRows) {
    const struct {
        const char* name;
        SettingValues values;
        std::vector<std::pair<int, std::vector<int>>> rows;  // paper row, the items on it
        std::vector<StationeryLayout::OffSheet> off;
        RowPlanFault fault;
    } cases[] = {
        {"the defaults", Plan("S", {"1", "3", "6", "11", "13"}),
         {{1, {2}}, {2, {}}, {3, {3}}, {6, {4}}, {10, {4}}, {11, {5}}, {12, {}}, {13, {6}}, {18, {6}}, {19, {}}},
         {},
         RowPlanFault::None},
        {"concept and address clash", Plan("S", {"1", "3", "6", "9", "13"}),
         {{8, {4}}, {9, {4, 5}}, {10, {4}}},
         {},
         RowPlanFault::Order},
        {"the name runs off the sheet", Plan("S", {"1", "3", "6", "11", "22"}),
         {{22, {6}}, {25, {6}}},
         {{6, 26, 27}},
         RowPlanFault::Margin},
        {"the new format: rows shown, no rule", Plan("N", {"5", "3", "6", "11", "24"}),
         {{5, {2}}, {3, {3}}},
         {{6, 26, 29}},
         RowPlanFault::None},
        {"no number is row 0", Plan("S", {"x", "3", "6", "11", "13"}),
         {{1, {}}},
         {{2, 0, 0}},
         RowPlanFault::None},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StationeryLayout layout = LayOutStationery(c.values);
        for (const auto& [row, items] : c.rows) EXPECT_EQ(layout.onRow[static_cast<std::size_t>(row)], items) << "row " << row;
        ASSERT_EQ(layout.offSheet.size(), c.off.size());
        for (std::size_t i = 0; i < c.off.size(); ++i) {
            EXPECT_EQ(layout.offSheet[i].item, c.off[i].item);
            EXPECT_EQ(layout.offSheet[i].first, c.off[i].first);
            EXPECT_EQ(layout.offSheet[i].last, c.off[i].last);
        }
        EXPECT_EQ(layout.fault, c.fault);
        EXPECT_EQ(layout.oldFormat, c.values[0] == "S");
    }
}

// The shipped form loaded in one language over a copy of the sample installation.
class ShippedForm {
public:
    explicit ShippedForm(const std::string& language) : translator_(platform_, s_.Root(), language, "QPLAYOUT") {
        FormLoadResult loaded = LoadForm(platform_, s_.Root(), "QPLAYOUT", translator_, tables_);
        EXPECT_TRUE(loaded.ok) << loaded.message;
    }
    PrintedRows Describe(const SettingValues& values) { return DescribePrintedRows(values, tables_, translator_); }

private:
    EditorScenario s_;
    SystemPlatform platform_;
    Translator translator_;
    FormTables tables_;
};

TEST(PrintedRowsTest, NamesTheFieldOnEachRowInTheSessionsLanguage) {
    const struct {
        const char* name;
        const char* language;
        SettingValues values;
        std::vector<std::pair<int, const char*>> rows;  // paper row, its names
        const char* offSheet;
        const char* planMessage;
        const char* newFormatNote;
        std::vector<const char*> choiceLines;
    } cases[] = {
        {"the defaults", "CAT", Plan("S", {"1", "3", "6", "11", "13"}),
         {{1, "N\xA3m. rebut"}, {2, ""}, {3, "Data"}, {6, "Concepte 1/5"}, {10, "Concepte 5/5"}, {11, "Domicili"},
          {13, "Nom 1/6"}, {18, "Nom 6/6"}, {19, ""}},
         "", "", "",
         {"Imprimir la matriu: No   Imprimir el duplicat: No   Imprimir el membret: S\xA1"}},
        {"concept and address clash", "CAT", Plan("S", {"1", "3", "6", "9", "13"}),
         {{8, "Concepte 3/5"}, {9, "Concepte 4/5 / Domicili"}, {10, "Concepte 5/5"}},
         "", "L'ORDRE DE LES FILES NO \x90S CORRECTE", "",
         {"Imprimir la matriu: No   Imprimir el duplicat: No   Imprimir el membret: S\xA1"}},
        {"the name off the sheet", "CAT", Plan("S", {"1", "3", "6", "11", "22"}),
         {{22, "Nom 1/6"}, {25, "Nom 4/6"}},
         "Fora del paper: Nom, files 26-27", "FILA LLIURAT FORA DE MARGES", "",
         {"Imprimir la matriu: No   Imprimir el duplicat: No   Imprimir el membret: S\xA1"}},
        {"the new format: three on a row, one row off", "CAT",
         {"N", "0", "3", "3", "3", "24", "S", "N", "N"},
         {{1, ""}, {3, "Data / Concepte 1/5 / Domicili"}, {24, "Nom 1/6"}},
         "Fora del paper: N\xA3m. rebut, fila 0; Nom, files 26-29", "", "El format nou no fa servir aquestes files.",
         {"Imprimir la matriu: S\xA1   Imprimir el duplicat: No   Imprimir el membret: No"}},
        {"Spanish", "SPA", Plan("S", {"1", "3", "6", "9", "13"}),
         {{1, "N\xA3m. recibo"}, {3, "Fecha"}, {9, "Concepto 4/5 / Domicilio"}, {13, "Nombre 1/6"}},
         "", "EL ORDEN DE LAS FILAS NO ES CORRECTO", "",
         {"Imprimir matriz: No   Imprimir duplicado: No   Imprimir membrete: S\xA1"}},
        {"Galician", "GLG", Plan("N", {"1", "3", "6", "11", "22"}),
         {{1, "N\xA3m. recibo"}, {3, "Data"}, {6, "Concepto 1/5"}, {11, "Domicilio"}, {25, "Nome 4/6"}},
         "F\xA2ra do papel: Nome, filas 26-27", "", "O formato novo non usa estas filas.",
         {"Imprimir matriz: Non   Imprimir duplicado: Non   Imprimir cabeceira: Si"}},
        // Together the three are wider than the line: one line each.
        {"Occitan", "OCI", Plan("S", {"1", "3", "6", "11", "22"}),
         {{1, "Num. arrecebut"}, {3, "Data"}, {6, "Conc\x8Apte 1/5"}, {11, "Domicili"}, {25, "Nom 4/6"}},
         "Deh\x95ra deth pap\x8Ar: Nom, linhes 26-27", "LINHA DEH\xE3RA DES MARGES", "",
         {"Imprimir era matritz: Non", "Imprimir eth duplicat: Non", "Imprimir era ent\x8Asta: \xE3"
                                                                     "c"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PrintedRows rows = ShippedForm(c.language).Describe(c.values);
        for (const auto& [row, names] : c.rows) EXPECT_EQ(rows.names[static_cast<std::size_t>(row)], names) << "row " << row;
        EXPECT_EQ(rows.offSheet, c.offSheet);
        EXPECT_EQ(rows.planMessage, c.planMessage);
        EXPECT_EQ(rows.newFormatNote, c.newFormatNote);
        EXPECT_EQ(rows.choiceLines, std::vector<std::string>(c.choiceLines.begin(), c.choiceLines.end()));
    }
}

// Any two fields on one row, each on its last line (the widest name), fit the
// preview's room whole in every language.
TEST(PrintedRowsTest, TwoNamesOnARowFitWholeInEveryLanguage) {
    constexpr int kRow = 10;
    // The new format (no rule), every block below the sheet but those placed.
    auto placed = [](std::initializer_list<int> items) {
        SettingValues values = Plan("N", {"30", "30", "30", "30", "30"});
        for (int item : items)
            values[static_cast<std::size_t>(item - 1)] = std::to_string(kRow - ReceiptSettings::RowCount(item) + 1);
        return values;
    };
    for (const char* language : {"CAT", "GLG", "OCI", "SPA"}) {
        ShippedForm form(language);
        for (int a = 2; a <= 6; ++a) {
            for (int b = a + 1; b <= 6; ++b) {
                SCOPED_TRACE(std::string(language) + " items " + std::to_string(a) + " and " + std::to_string(b));
                const std::string first = form.Describe(placed({a})).names[kRow];
                const std::string second = form.Describe(placed({b})).names[kRow];
                const std::string both = form.Describe(placed({a, b})).names[kRow];
                EXPECT_EQ(both, first + " / " + second);
                EXPECT_LE(both.size(), static_cast<std::size_t>(kRowNamesWidth)) << both;
            }
        }
    }
}

// The form's status line: the plan as the preview's rows show it, in one
// line that names every problem that fits, and says nothing that F10 would
// not say too.
TEST(PrintedRowsTest, PlanStatusSaysHowThePlanStandsInOneLine) {
    const struct {
        const char* name;
        const char* language;
        SettingValues values;
        const char* status;
        bool sound;
    } cases[] = {
        {"the defaults", "CAT", Plan("S", {"1", "3", "6", "11", "13"}), "Les files s\xA2n correctes", true},
        {"two on a row", "CAT", Plan("S", {"1", "6", "6", "11", "13"}), "Data i Concepte: fila 6", false},
        {"three on a row", "CAT", Plan("S", {"1", "3", "3", "3", "13"}), "Data, Concepte i Domicili: fila 3", false},
        {"rows shared by different items, one after the other", "CAT", Plan("S", {"1", "3", "6", "8", "9"}),
         "Concepte i Domicili: fila 8; Concepte i Nom: files 9-10", false},
        {"a block off the paper", "CAT", Plan("S", {"1", "3", "6", "11", "22"}), "Nom: files 22-27, fora del paper",
         false},
        {"the name on the paper, but no row below it", "CAT", Plan("S", {"1", "3", "6", "11", "20"}),
         "Nom: files 20-25, ha d'acabar abans de la fila 25", false},
        {"a block wholly above the one before it", "CAT", Plan("S", {"5", "3", "6", "11", "13"}),
         "Data ha d'anar despr\x82s de N\xA3m. rebut", false},
        {"off the paper and out of order", "CAT", Plan("S", {"1", "3", "22", "11", "13"}),
         "Concepte: files 22-26, fora del paper", false},
        {"row 0 passes the rule, but prints nowhere", "CAT", Plan("S", {"0", "3", "6", "11", "13"}),
         "N\xA3m. rebut: fila 0, fora del paper", false},
        {"more than the line holds: whole problems only", "CAT", Plan("S", {"1", "1", "1", "1", "1"}),
         "N\xA3m. rebut, Data, Concepte, Domicili i Nom: fila 1", false},
        {"the new format", "CAT", Plan("N", {"1", "1", "1", "1", "30"}), "El format nou no fa servir aquestes files.",
         true},
        {"Spanish", "SPA", Plan("S", {"1", "6", "6", "11", "13"}), "Fecha y Concepto: fila 6", false},
        {"Galician", "GLG", Plan("S", {"1", "3", "6", "11", "22"}), "Nome: filas 22-27, f\xA2ra do papel", false},
        {"Aranese", "OCI", Plan("S", {"5", "3", "6", "11", "13"}), "Data deu anar demp\xA3s de Num. arrecebut", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PrintedRows rows = ShippedForm(c.language).Describe(c.values);
        EXPECT_EQ(rows.planStatus, c.status);
        EXPECT_EQ(rows.planSound, c.sound);
        EXPECT_LE(rows.planStatus.size(), static_cast<std::size_t>(kPlanStatusWidth));
        // F10 refuses exactly the plans the line finds fault with, but for a
        // block that prints nowhere, which the rule lets through.
        if (rows.layout.fault != RowPlanFault::None) {
            EXPECT_FALSE(rows.planSound);
        }
    }
}

}  // namespace
}  // namespace qp
