// The 25 printed rows of the receipt stationery as nine settings place the
// fields, and every text said about them, in the session's language. The
// stationery preview shows these texts on the screen and the alignment sheet
// writes them for the printer: one layout, two places.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "editor/receipt_settings.h"
#include "input/form_tables.h"
#include "text/language.h"

namespace qp {

using SettingValues = std::array<std::string, ReceiptSettings::kSettingCount>;

// Where nine values (item order) put the row fields on the paper.
struct StationeryLayout {
    // onRow[r]: the row items (2 to 6) printed on paper row r, 1 to 25.
    std::array<std::vector<int>, ReceiptSettings::kPrintedRows + 1> onRow;
    // A block, or the part of it, that falls outside rows 1 to 25.
    struct OffSheet {
        int item = 0;
        long first = 0;
        long last = 0;
    };
    std::vector<OffSheet> offSheet;
    // Paper rows where two or more row items print, consecutive rows that
    // the same items share taken together.
    struct SharedRows {
        std::vector<int> items;
        long first = 0;
        long last = 0;
    };
    std::vector<SharedRows> shared;
    // The first row item (3 to 6) whose block lies wholly above the block of
    // the item before it, without sharing a row with it; 0 when none does.
    int aboveItsPredecessor = 0;
    RowPlanFault fault = RowPlanFault::None;
    bool oldFormat = true;
};

StationeryLayout LayOutStationery(const SettingValues& values);

// The texts of a layout, code page 850.
struct PrintedRows {
    StationeryLayout layout;
    // names[r]: the short names of the fields printed on row r, joined; empty
    // for an unused row.
    std::array<std::string, ReceiptSettings::kPrintedRows + 1> names;
    std::string offSheet;       // the blocks off the sheet; empty when none is
    std::string planMessage;    // the failing rule's message; empty when the plan holds
    std::string newFormatNote;  // with the old format off; empty otherwise
    // Counterfoil, duplicate and letterhead with their Sí/No: on one line, or
    // one line each when together they are wider than kPrintedLineWidth.
    std::vector<std::string> choiceLines;
    // The plan in one line of at most kPlanStatusWidth characters, for the
    // form's status line: that it is right; or the rows that items share
    // ("Data i Concepte: fila 4"), the blocks out of order or off the paper,
    // as many as fit; or, with the old format off, the new format's note.
    std::string planStatus;
    bool planSound = true;  // planStatus names no problem
};

// The widest line of the texts around the rows (the preview's inner width).
constexpr int kPrintedLineWidth = 78;
// The form's status line: the window's 75 inner columns less a blank each side.
constexpr int kPlanStatusWidth = 73;
// The room for a row's names in the preview: two names and their separator
// fit it whole in every language.
constexpr int kRowNamesWidth = 34;

// The nine values as items 1 to 9 of screen 1 hold them.
SettingValues HeldValues(FormTables& tables);
// `tables` gives the labels and choices of the Sí/No items, as loaded from the form file.
PrintedRows DescribePrintedRows(const SettingValues& values, FormTables& tables, Translator& translator);

}  // namespace qp
