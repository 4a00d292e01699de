#include "editor/stationery_preview.h"

#include <algorithm>

#include "editor/alignment_sheet.h"
#include "editor/receipt_messages.h"
#include "editor/sheet_printing.h"
#include "input/popup_scope.h"
#include "text/cp850.h"

namespace qp {
namespace {

// Catalan, shown through Translate.
const std::string kTitle = "PAPER DEL REBUT";
const std::string kName = "El paper del rebut";  // as a refusal names it
const std::string kPrintKey = "F9: imprimeix";
const std::string kCloseKeys = "Esc, Alt+V: tanca";
const std::string kBetweenKeys = "   ";

constexpr int kWindowRows = 25;
constexpr int kWindowColumns = 80;
// Inside the window: rows 1 to 13 of the paper on the left, 14 to 25 on the right.
constexpr int kRowsPerColumn = 13;
constexpr int kLeftColumn = 2;
constexpr int kRightColumn = 41;
constexpr int kNumberWidth = 3;
constexpr int kOffSheetRow = 15;
constexpr int kPlanRow = 16;
constexpr int kNewFormatRow = 17;
constexpr int kChoicesRow = 19;
constexpr int kKeysRow = 22;
constexpr int kPrintedRow = 23;
constexpr int kInnerWidth = kWindowColumns - 2;
static_assert(kInnerWidth == kPrintedLineWidth);

std::string TwoDigits(int n) { return n < 10 ? " " + std::to_string(n) : std::to_string(n); }

int CentringBlanks(std::size_t widest, int width) { return std::max(0, (width - static_cast<int>(widest)) / 2); }

}  // namespace

StationeryPreview::StationeryPreview(FormTables& tables, Windows& windows, Colours& colours, Keyboard& keyboard,
                                     Translator& translator, Printing& printing)
    : tables_(tables),
      windows_(windows),
      colours_(colours),
      keyboard_(keyboard),
      translator_(translator),
      printing_(printing),
      printerPopup_(windows, colours, keyboard, translator) {}

SettingValues StationeryPreview::CurrentValues(const std::optional<FieldInEdit>& edited) {
    SettingValues values = HeldValues(tables_);
    if (edited && edited->screen == 1 && edited->item >= 1 && edited->item <= ReceiptSettings::kSettingCount) {
        const FormItem& item = tables_.Item(1, edited->item);
        // A field that starts blank and is still blank keeps its value.
        const bool keeps = IsBlank(edited->text) && (item.Flags & (kStartBlank | kHiddenEntry)) != 0;
        if (!keeps) values[static_cast<std::size_t>(edited->item - 1)] = edited->text;
    }
    return values;
}

void StationeryPreview::PrintAt(int row, int column, const std::string& text) {
    windows_.LocateInWindow(row, column);
    windows_.screen().Print(text);
}

void StationeryPreview::DrawRow(const PrintedRows& rows, int row) {
    const bool left = row <= kRowsPerColumn;
    const int line = left ? row : row - kRowsPerColumn;
    const int column = left ? kLeftColumn : kRightColumn;
    colours_.SetColour("n");
    PrintAt(line, column, TwoDigits(row) + " ");
    // Two fields on one row print over each other: that row stands out.
    colours_.SetColour(rows.layout.onRow[static_cast<std::size_t>(row)].size() > 1 ? "h" : "n");
    PrintAt(line, column + kNumberWidth, FitWidth(rows.names[static_cast<std::size_t>(row)], kRowNamesWidth));
}

// One line centred; several as a block, centred on the widest.
void StationeryPreview::DrawChoices(const std::vector<std::string>& lines) {
    std::size_t widest = 0;
    for (const std::string& line : lines) widest = std::max(widest, line.size());
    const std::string blanks(static_cast<std::size_t>(CentringBlanks(widest, kInnerWidth)), ' ');
    for (std::size_t i = 0; i < lines.size(); ++i)
        PrintAt(kChoicesRow + static_cast<int>(i), 1, FitWidth(blanks + lines[i], kInnerWidth));
}

void StationeryPreview::Draw(const PrintedRows& rows) {
    colours_.SetColour("n");
    windows_.DrawWindowFrame(2);
    const std::string title = " " + translator_.Translate(kTitle) + " ";
    windows_.screen().Locate(1, std::max(1, (kWindowColumns - static_cast<int>(title.size())) / 2 + 1));
    windows_.screen().Print(title);
    for (int row = 1; row <= ReceiptSettings::kPrintedRows; ++row) DrawRow(rows, row);

    colours_.SetColour("h");
    if (!rows.offSheet.empty()) PrintAt(kOffSheetRow, kLeftColumn, FitWidth(rows.offSheet, kInnerWidth - 2));
    if (!rows.planMessage.empty()) PrintAt(kPlanRow, kLeftColumn, rows.planMessage);
    colours_.SetColour("n");
    if (!rows.newFormatNote.empty()) PrintAt(kNewFormatRow, kLeftColumn, rows.newFormatNote);
    DrawChoices(rows.choiceLines);
    const std::string keys = translator_.Translate(kPrintKey) + kBetweenKeys + translator_.Translate(kCloseKeys);
    PrintAt(kKeysRow, 1 + CentringBlanks(keys.size(), kInnerWidth), keys);
}

void StationeryPreview::ShowPrintLine(const std::string& line, bool failed) {
    colours_.SetColour("h");
    const std::string blanks(static_cast<std::size_t>(CentringBlanks(line.size(), kInnerWidth)), ' ');
    PrintAt(kPrintedRow, 1, FitWidth(blanks + line, static_cast<std::size_t>(kInnerWidth)));
    if (failed) windows_.screen().console().Beep();
}

// The sheet of the plan on the screen, byte for byte what --sheet writes for it.
void StationeryPreview::PrintSheet(const PrintedRows& rows) {
    const PrinterList printers = printing_.ListPrinters();
    if (printers.names.empty()) {
        ShowPrintLine(NoPrinterLine(printers, translator_), true);
        return;
    }
    const std::optional<std::string> printer = printerPopup_.ChoosePrinter(printers);
    if (!printer) return;
    windows_.screen().console().Flush();  // the pop-up gone while the system takes the job
    const SheetPrinting printed = PrintAlignmentSheet(printing_, *printer, AlignmentSheetBytes(rows), translator_);
    ShowPrintLine(printed.line, !printed.sent);
}

// The whole window must be in sight: a terminal smaller than the program's
// screen would hide its last rows and the keys that close it.
bool StationeryPreview::Fits() {
    if (windows_.screen().ShowsWhole(kWindowRows, kWindowColumns)) return true;
    keyboard_.RefusePopup(kName, kWindowRows, kWindowColumns);
    return false;
}

std::string StationeryPreview::PreviewPopup(const std::optional<FieldInEdit>& edited) {
    if (!Fits()) return {};  // draw nothing over a screen we did not save
    PopupScope scope(keyboard_, colours_, windows_.screen().console(), "+ea", "");
    windows_.PushScreenRegion(1, 1, kWindowRows, kWindowColumns);
    const PrintedRows rows = DescribePrintedRows(CurrentValues(edited), tables_, translator_);
    Draw(rows);
    for (;;) {
        const key::Code k = keyboard_.WaitKey();
        if (k == key::Esc || k == key::AltV) break;
        if (k == key::F9) PrintSheet(rows);
    }
    windows_.PopScreenRegion();
    return {};
}

}  // namespace qp
