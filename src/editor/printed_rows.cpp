#include "editor/printed_rows.h"

#include <algorithm>

#include "editor/receipt_messages.h"
#include "text/cp850.h"

namespace qp {
namespace {

constexpr int kFirstRowItem = 2;
constexpr int kLastRowItem = 6;
constexpr int kFirstChoiceItem = 7;

// Catalan, shown through Translate. What items 2 to 6 print; a block's line
// ("1/5") is added here, so that no translation carries a number. 0xA3 is "ú".
const std::array<std::string, kLastRowItem - kFirstRowItem + 1> kFieldNames = {
    "N\xA3m. rebut", "Data", "Concepte", "Domicili", "Nom",
};
const std::string kOffSheet = "Fora del paper";
const std::string kRow = "fila";
const std::string kRows = "files";
const std::string kNewFormat = "El format nou no fa servir aquestes files.";
const std::string kNamesBetween = " / ";
const std::string kChoicesBetween = "   ";
// The status line's words.
const std::string kPlanRight = "Les files s\xA2n correctes";
const std::string kAnd = "i";
const std::string kOffPaper = "fora del paper";
const std::string kGoesAfter = "ha d'anar despr\x82s de";
const std::string kEndsBefore = "ha d'acabar abans de la fila";
const std::string kProblemsBetween = "; ";

// An item's label without its leader dots and colon.
std::string LabelName(FormTables& tables, int item) {
    if (!tables.HasItem(1, item)) return {};
    const std::string& label = tables.Item(1, item).Label;
    std::size_t end = label.find_last_not_of(" .:");
    return end == std::string::npos ? std::string() : label.substr(0, end + 1);
}

class Describer {
public:
    Describer(const SettingValues& values, FormTables& tables, Translator& translator)
        : values_(values), tables_(tables), translator_(translator) {
        for (std::size_t k = 0; k < kFieldNames.size(); ++k) fieldNames_[k] = PrintedText(kFieldNames[k]);
    }

    PrintedRows Describe() {
        PrintedRows rows;
        rows.layout = LayOutStationery(values_);
        for (int row = 1; row <= ReceiptSettings::kPrintedRows; ++row)
            rows.names[static_cast<std::size_t>(row)] = RowNames(row, rows.layout.onRow[static_cast<std::size_t>(row)]);
        rows.offSheet = OffSheetLine(rows.layout);
        if (rows.layout.fault != RowPlanFault::None) rows.planMessage = translator_.Translate(RowPlanMessage(rows.layout.fault));
        if (!rows.layout.oldFormat) rows.newFormatNote = PrintedText(kNewFormat);
        rows.choiceLines = ChoiceLines();
        const std::vector<std::string> problems = rows.layout.oldFormat ? PlanProblems(rows.layout) : std::vector<std::string>();
        rows.planSound = problems.empty();
        rows.planStatus = PlanStatus(rows, problems);
        return rows;
    }

private:
    // A text of the language file, no longer than a printed line: each is
    // written on many rows, and a translation of megabytes would make the
    // sheet (and the preview, at every key) hundreds of them.
    std::string PrintedText(const std::string& catalan) { return translator_.Translate(catalan).substr(0, kPrintedLineWidth); }

    const std::string& FieldName(int item) { return fieldNames_[static_cast<std::size_t>(item - kFirstRowItem)]; }

    // What `item` prints on paper row `row`: its name, and for a block of
    // several rows which of them this is.
    std::string FieldNameOnRow(int item, int row) {
        const int count = ReceiptSettings::RowCount(item);
        if (count == 1) return FieldName(item);
        const long line = row - NumericValue(values_[static_cast<std::size_t>(item - 1)]) + 1;
        return FieldName(item) + " " + std::to_string(line) + "/" + std::to_string(count);
    }

    std::string RowNames(int row, const std::vector<int>& items) {
        std::string names;
        for (int item : items) names += (names.empty() ? "" : kNamesBetween) + FieldNameOnRow(item, row);
        return names;
    }

    std::string OffSheetLine(const StationeryLayout& layout) {
        std::string line;
        for (const StationeryLayout::OffSheet& off : layout.offSheet) {
            line += line.empty() ? PrintedText(kOffSheet) + ": " : "; ";
            line += FieldName(off.item) + ", " + PrintedText(off.first == off.last ? kRow : kRows) + " " +
                    std::to_string(off.first);
            if (off.last != off.first) line += "-" + std::to_string(off.last);
        }
        return line;
    }

    // "fila 4", "files 22-27".
    std::string RowsText(long first, long last) {
        if (first == last) return PrintedText(kRow) + " " + std::to_string(first);
        return PrintedText(kRows) + " " + std::to_string(first) + "-" + std::to_string(last);
    }

    // "Data", "Data i Concepte", "Data, Concepte i Domicili".
    std::string NameList(const std::vector<int>& items) {
        std::string list;
        for (std::size_t k = 0; k < items.size(); ++k) {
            if (k > 0) list += k + 1 < items.size() ? ", " : " " + PrintedText(kAnd) + " ";
            list += FieldName(items[k]);
        }
        return list;
    }

    std::string BlockRows(int item) {
        const long first = NumericValue(values_[static_cast<std::size_t>(item - 1)]);
        return RowsText(first, first + ReceiptSettings::RowCount(item) - 1);
    }

    // Each thing wrong with the plan in a few words, the most telling first.
    // A block that starts before the one above it ends either shares a row
    // with it, or lies wholly above it, or both are off the paper where they
    // meet; the name's margin is the rest of the rule: whenever the rule
    // fails, something is said.
    std::vector<std::string> PlanProblems(const StationeryLayout& layout) {
        std::vector<std::string> problems;
        for (const StationeryLayout::SharedRows& shared : layout.shared)
            problems.push_back(NameList(shared.items) + ": " + RowsText(shared.first, shared.last));
        std::vector<int> offItems;
        for (const StationeryLayout::OffSheet& off : layout.offSheet)
            if (std::find(offItems.begin(), offItems.end(), off.item) == offItems.end()) offItems.push_back(off.item);
        for (int item : offItems)
            problems.push_back(FieldName(item) + ": " + BlockRows(item) + ", " + PrintedText(kOffPaper));
        if (layout.aboveItsPredecessor != 0) {
            const int item = layout.aboveItsPredecessor;
            problems.push_back(FieldName(item) + " " + PrintedText(kGoesAfter) + " " + FieldName(item - 1));
        }
        // The name's block on the paper, but with no row left below it.
        if (layout.fault == RowPlanFault::Margin && offItems.empty())
            problems.push_back(FieldName(kLastRowItem) + ": " + BlockRows(kLastRowItem) + ", " +
                               PrintedText(kEndsBefore) + " " + std::to_string(ReceiptSettings::kPrintedRows));
        return problems;
    }

    std::string PlanStatus(const PrintedRows& rows, const std::vector<std::string>& problems) {
        constexpr std::size_t kWidth = kPlanStatusWidth;
        if (!rows.layout.oldFormat) return rows.newFormatNote.substr(0, kWidth);
        if (problems.empty()) return PrintedText(kPlanRight).substr(0, kWidth);
        // Whole problems only, after the first.
        std::string line = problems.front().substr(0, kWidth);
        for (std::size_t k = 1; k < problems.size(); ++k) {
            if (line.size() + kProblemsBetween.size() + problems[k].size() > kWidth) break;
            line += kProblemsBetween + problems[k];
        }
        return line;
    }

    std::vector<std::string> ChoiceLines() {
        std::vector<std::string> choices;
        for (int item = kFirstChoiceItem; item <= ReceiptSettings::kSettingCount && tables_.HasItem(1, item); ++item) {
            // The item's options, with the value described here.
            FormItem choice = tables_.Item(1, item);
            choice.Assign(values_[static_cast<std::size_t>(item - 1)]);
            choices.push_back(LabelName(tables_, item) + ": " + ChoiceDescription(choice));
        }
        std::string joined;
        for (const std::string& choice : choices) joined += (joined.empty() ? "" : kChoicesBetween) + choice;
        if (static_cast<int>(joined.size()) > kPrintedLineWidth) return choices;
        return {joined};
    }

    const SettingValues& values_;
    FormTables& tables_;
    Translator& translator_;
    std::array<std::string, kFieldNames.size()> fieldNames_;
};

}  // namespace

namespace {

// Consecutive rows with the same two or more items make one entry.
std::vector<StationeryLayout::SharedRows> SharedRowsOf(const StationeryLayout& layout) {
    std::vector<StationeryLayout::SharedRows> shared;
    for (int row = 1; row <= ReceiptSettings::kPrintedRows; ++row) {
        const std::vector<int>& items = layout.onRow[static_cast<std::size_t>(row)];
        if (items.size() < 2) continue;
        if (!shared.empty() && shared.back().last == row - 1 && shared.back().items == items)
            shared.back().last = row;
        else
            shared.push_back({items, row, row});
    }
    return shared;
}

int BlockAboveItsPredecessor(const SettingValues& values) {
    for (int item = kFirstRowItem + 1; item <= kLastRowItem; ++item) {
        const long first = NumericValue(values[static_cast<std::size_t>(item - 1)]);
        const long previous = NumericValue(values[static_cast<std::size_t>(item - 2)]);
        if (first + ReceiptSettings::RowCount(item) - 1 < previous) return item;
    }
    return 0;
}

}  // namespace

StationeryLayout LayOutStationery(const SettingValues& values) {
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
    layout.shared = SharedRowsOf(layout);
    layout.aboveItsPredecessor = BlockAboveItsPredecessor(values);
    return layout;
}

SettingValues HeldValues(FormTables& tables) {
    SettingValues values;
    for (int k = 0; k < ReceiptSettings::kSettingCount && tables.HasItem(1, k + 1); ++k)
        values[static_cast<std::size_t>(k)] = tables.Item(1, k + 1).Value;
    return values;
}

PrintedRows DescribePrintedRows(const SettingValues& values, FormTables& tables, Translator& translator) {
    return Describer(values, tables, translator).Describe();
}

}  // namespace qp
