// The stationery preview (Alt+V): the 25 printed rows of the receipt paper
// with the field printed on each, as the settings stand, over the form; F9
// prints the alignment sheet of that plan through the system's printing.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "editor/printed_rows.h"
#include "editor/printer_popup.h"
#include "input/form_engine.h"
#include "input/form_tables.h"
#include "input/keyboard.h"
#include "platform/printing.h"
#include "screen/colours.h"
#include "screen/windows.h"
#include "text/language.h"

namespace qp {

class StationeryPreview {
public:
    // Prints through `printing`.
    StationeryPreview(FormTables& tables, Windows& windows, Colours& colours, Keyboard& keyboard,
                      Translator& translator, Printing& printing);

    // Shows the paper until Esc or Alt+V; `edited` is the field being typed
    // into, whose text counts instead of its stored value. Types nothing and
    // changes no value.
    std::string PreviewPopup(const std::optional<FieldInEdit>& edited);

private:
    SettingValues CurrentValues(const std::optional<FieldInEdit>& edited);
    bool Fits();
    void Draw(const PrintedRows& rows);
    void DrawRow(const PrintedRows& rows, int row);
    void DrawChoices(const std::vector<std::string>& lines);
    void PrintAt(int row, int column, const std::string& text);
    void PrintSheet(const PrintedRows& rows);
    void ShowPrintLine(const std::string& line, bool failed);

    FormTables& tables_;
    Windows& windows_;
    Colours& colours_;
    Keyboard& keyboard_;
    Translator& translator_;
    Printing& printing_;
    PrinterPopup printerPopup_;
};

}  // namespace qp
