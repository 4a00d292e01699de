// The stationery preview (Alt+V): the 25 printed rows of the receipt paper
// with the field printed on each, as the settings stand, over the form.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "editor/receipt_settings.h"
#include "input/form_engine.h"
#include "input/form_tables.h"
#include "input/keyboard.h"
#include "screen/colours.h"
#include "screen/windows.h"
#include "session/language.h"

namespace qp {

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
    RowPlanFault fault = RowPlanFault::None;
    bool oldFormat = true;
};

StationeryLayout LayOutStationery(const std::array<std::string, ReceiptSettings::kSettingCount>& values);

class StationeryPreview {
public:
    StationeryPreview(FormTables& tables, Windows& windows, Colours& colours, Keyboard& keyboard,
                      Translator& translator);

    // Shows the paper until Esc or Alt+V; `edited` is the field being typed
    // into, whose text counts instead of its stored value. Types nothing.
    std::string PreviewPopup(const std::optional<FieldInEdit>& edited);

private:
    std::array<std::string, ReceiptSettings::kSettingCount> CurrentValues(const std::optional<FieldInEdit>& edited);
    // An item's label without its leader dots and colon.
    std::string Name(int item);
    void Draw(const StationeryLayout& layout);
    void DrawRow(int row, const std::vector<int>& items);
    std::string OffSheetLine(const StationeryLayout& layout);
    std::string ChoicesLine();
    void PrintAt(int row, int column, const std::string& text);

    FormTables& tables_;
    Windows& windows_;
    Colours& colours_;
    Keyboard& keyboard_;
    Translator& translator_;
};

}  // namespace qp
