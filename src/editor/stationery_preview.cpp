#include "editor/stationery_preview.h"

#include <algorithm>

#include "editor/receipt_messages.h"
#include "input/popup_scope.h"
#include "text/cp850.h"

namespace qp {
namespace {

// Catalan, shown through Translate.
const std::string kTitle = "PAPER DEL REBUT";
const std::string kOffSheet = "Fora del paper";
const std::string kRows = "files";
const std::string kNewFormat = "El format nou no fa servir aquestes files.";
const std::string kCloseKeys = "Esc, Alt+V: tanca";

constexpr int kWindowRows = 25;
constexpr int kWindowColumns = 80;
// Inside the window: rows 1 to 13 of the paper on the left, 14 to 25 on the right.
constexpr int kRowsPerColumn = 13;
constexpr int kLeftColumn = 2;
constexpr int kRightColumn = 41;
constexpr int kEntryWidth = 37;
constexpr int kOffSheetRow = 15;
constexpr int kPlanRow = 16;
constexpr int kNewFormatRow = 17;
constexpr int kChoicesRow = 19;
constexpr int kKeysRow = 22;
constexpr int kInnerWidth = kWindowColumns - 2;
constexpr int kFirstChoiceItem = 7;

std::string TwoDigits(int n) { return n < 10 ? " " + std::to_string(n) : std::to_string(n); }

std::string Centred(const std::string& text, int width) {
    int blanks = std::max(0, (width - static_cast<int>(text.size())) / 2);
    return std::string(static_cast<std::size_t>(blanks), ' ') + text;
}

}  // namespace

StationeryLayout LayOutStationery(const std::array<std::string, ReceiptSettings::kSettingCount>& values) {
    StationeryLayout layout;
    layout.oldFormat = IsYes(values[0]);
    layout.fault = ReceiptSettings::RowPlanOf(values);
    for (int item = 1; item <= ReceiptSettings::kSettingCount; ++item) {
        const int count = ReceiptSettings::RowCount(item);
        if (count == 0) continue;
        const long first = NumericValue(values[static_cast<std::size_t>(item - 1)]);
        const long last = first + count - 1;
        for (long row = first; row <= last; ++row)
            if (row >= 1 && row <= ReceiptSettings::kPrintedRows) layout.onRow[static_cast<std::size_t>(row)].push_back(item);
        // Rows above the first count as off the sheet as well as those past the last.
        if (first < 1) layout.offSheet.push_back({item, first, std::min<long>(last, 0)});
        if (last > ReceiptSettings::kPrintedRows)
            layout.offSheet.push_back({item, std::max<long>(first, ReceiptSettings::kPrintedRows + 1), last});
    }
    return layout;
}

StationeryPreview::StationeryPreview(FormTables& tables, Windows& windows, Colours& colours, Keyboard& keyboard,
                                     Translator& translator)
    : tables_(tables), windows_(windows), colours_(colours), keyboard_(keyboard), translator_(translator) {}

std::array<std::string, ReceiptSettings::kSettingCount> StationeryPreview::CurrentValues(
    const std::optional<FieldInEdit>& edited) {
    std::array<std::string, ReceiptSettings::kSettingCount> values;
    for (int k = 0; k < ReceiptSettings::kSettingCount && tables_.HasItem(1, k + 1); ++k)
        values[static_cast<std::size_t>(k)] = tables_.Item(1, k + 1).Value;
    if (edited && edited->screen == 1 && edited->item >= 1 && edited->item <= ReceiptSettings::kSettingCount) {
        const FormItem& item = tables_.Item(1, edited->item);
        // A field that starts blank and is still blank keeps its value.
        const bool keeps = IsBlank(edited->text) && (item.Flags & (kStartBlank | kHiddenEntry)) != 0;
        if (!keeps) values[static_cast<std::size_t>(edited->item - 1)] = edited->text;
    }
    return values;
}

std::string StationeryPreview::Name(int item) {
    if (!tables_.HasItem(1, item)) return {};
    std::string label = tables_.Item(1, item).Label;
    std::size_t end = label.find_last_not_of(" .:");
    return end == std::string::npos ? std::string() : label.substr(0, end + 1);
}

void StationeryPreview::PrintAt(int row, int column, const std::string& text) {
    windows_.LocateInWindow(row, column);
    windows_.screen().Print(text);
}

void StationeryPreview::DrawRow(int row, const std::vector<int>& items) {
    const bool left = row <= kRowsPerColumn;
    const int line = left ? row : row - kRowsPerColumn;
    const int column = left ? kLeftColumn : kRightColumn;
    std::string names;
    for (int item : items) names += (names.empty() ? "" : " / ") + Name(item);
    colours_.SetColour("n");
    PrintAt(line, column, TwoDigits(row) + " ");
    // Two fields on one row print over each other: that row stands out.
    colours_.SetColour(items.size() > 1 ? "h" : "n");
    PrintAt(line, column + 3, FitWidth(names, kEntryWidth - 3));
}

std::string StationeryPreview::OffSheetLine(const StationeryLayout& layout) {
    std::string line;
    for (const StationeryLayout::OffSheet& off : layout.offSheet) {
        line += line.empty() ? translator_.Translate(kOffSheet) + ": " : "; ";
        line += Name(off.item) + ", " + translator_.Translate(kRows) + " " + std::to_string(off.first);
        if (off.last != off.first) line += "-" + std::to_string(off.last);
    }
    return line;
}

std::string StationeryPreview::ChoicesLine() {
    std::string line;
    for (int item = kFirstChoiceItem; item <= ReceiptSettings::kSettingCount && tables_.HasItem(1, item); ++item)
        line += (line.empty() ? "" : "   ") + Name(item) + ": " + ChoiceDescription(tables_.Item(1, item));
    return line;
}

void StationeryPreview::Draw(const StationeryLayout& layout) {
    colours_.SetColour("n");
    windows_.DrawWindowFrame(2);
    const std::string title = " " + translator_.Translate(kTitle) + " ";
    windows_.screen().Locate(1, std::max(1, (kWindowColumns - static_cast<int>(title.size())) / 2 + 1));
    windows_.screen().Print(title);
    for (int row = 1; row <= ReceiptSettings::kPrintedRows; ++row) DrawRow(row, layout.onRow[static_cast<std::size_t>(row)]);

    colours_.SetColour("h");
    if (!layout.offSheet.empty()) PrintAt(kOffSheetRow, kLeftColumn, FitWidth(OffSheetLine(layout), kInnerWidth - 2));
    if (layout.fault != RowPlanFault::None) PrintAt(kPlanRow, kLeftColumn, translator_.Translate(RowPlanMessage(layout.fault)));
    colours_.SetColour("n");
    if (!layout.oldFormat) PrintAt(kNewFormatRow, kLeftColumn, translator_.Translate(kNewFormat));
    PrintAt(kChoicesRow, 1, FitWidth(Centred(ChoicesLine(), kInnerWidth), kInnerWidth));
    PrintAt(kKeysRow, 1, Centred(translator_.Translate(kCloseKeys), kInnerWidth));
}

std::string StationeryPreview::PreviewPopup(const std::optional<FieldInEdit>& edited) {
    if (windows_.ScreenRows() < kWindowRows || windows_.ScreenColumns() < kWindowColumns) {
        windows_.screen().console().Beep();  // no room: draw nothing over a screen we did not save
        return {};
    }
    PopupScope scope(keyboard_, colours_, windows_.screen().console(), "+ea", "");
    windows_.PushScreenRegion(1, 1, kWindowRows, kWindowColumns);
    Draw(LayOutStationery(CurrentValues(edited)));
    for (;;) {
        key::Code k = keyboard_.WaitKey();
        if (k == key::Esc || k == key::AltV) break;
    }
    windows_.PopScreenRegion();
    return {};
}

}  // namespace qp
