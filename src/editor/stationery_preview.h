// The stationery preview (Alt+V): the 25 printed rows of the receipt paper
// with the field printed on each, as the settings stand, over the form.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "editor/printed_rows.h"
#include "input/form_engine.h"
#include "input/form_tables.h"
#include "input/keyboard.h"
#include "screen/colours.h"
#include "screen/windows.h"
#include "text/language.h"

namespace qp {

class StationeryPreview {
public:
    StationeryPreview(FormTables& tables, Windows& windows, Colours& colours, Keyboard& keyboard,
                      Translator& translator);

    // Shows the paper until Esc or Alt+V; `edited` is the field being typed
    // into, whose text counts instead of its stored value. Types nothing.
    std::string PreviewPopup(const std::optional<FieldInEdit>& edited);

private:
    SettingValues CurrentValues(const std::optional<FieldInEdit>& edited);
    void Draw(const PrintedRows& rows);
    void DrawRow(const PrintedRows& rows, int row);
    void DrawChoices(const std::vector<std::string>& lines);
    void PrintAt(int row, int column, const std::string& text);

    FormTables& tables_;
    Windows& windows_;
    Colours& colours_;
    Keyboard& keyboard_;
    Translator& translator_;
};

}  // namespace qp
