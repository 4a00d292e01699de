// The stationery preview (Alt+V): the 25 printed rows of the receipt paper
// with the field printed on each, as the settings stand, over the form; F9
// prints the alignment sheet of that plan through the system's printing.
#pragma once

#include <functional>
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

// What the operator sees of the console: a terminal smaller than the
// program's 80 x 25 screen shows only part of it.
struct VisibleSize {
    int rows = 0;
    int columns = 0;
};
using VisibleSizeSource = std::function<VisibleSize()>;

class StationeryPreview {
public:
    // Prints through `printing`; opens only when `visible` has room for the
    // whole window.
    StationeryPreview(FormTables& tables, Windows& windows, Colours& colours, Keyboard& keyboard,
                      Translator& translator, Printing& printing, VisibleSizeSource visible);
    // The system's printing; the console's own size.
    StationeryPreview(FormTables& tables, Windows& windows, Colours& colours, Keyboard& keyboard,
                      Translator& translator);

    // Shows the paper until Esc or Alt+V; `edited` is the field being typed
    // into, whose text counts instead of its stored value. Types nothing and
    // changes no value.
    std::string PreviewPopup(const std::optional<FieldInEdit>& edited);

    // Told why the preview did not open (code page 850), after its beep.
    void SetRefusalNotice(std::function<void(const std::string& reason)> notice);

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
    SystemPrinting systemPrinting_;
    Printing& printing_;
    VisibleSizeSource visible_;
    PrinterPopup printerPopup_;
    std::function<void(const std::string&)> refusalNotice_;
};

}  // namespace qp
