#include "editor/alignment_sheet.h"

namespace qp {
namespace {

const std::string kLineEnd = "\r\n";
const char kFormFeed = '\x0C';

// Line r: the row number right-aligned in two columns, then what is printed there.
std::string RowLine(int row, const std::string& names) {
    std::string line = (row < 10 ? " " : "") + std::to_string(row);
    return (names.empty() ? line : line + " " + names) + kLineEnd;
}

}  // namespace

// The 25 rows, a blank line, the Sí/No settings, the notes that apply, a form feed.
std::string AlignmentSheetBytes(const PrintedRows& rows) {
    std::string bytes;
    for (int row = 1; row <= ReceiptSettings::kPrintedRows; ++row)
        bytes += RowLine(row, rows.names[static_cast<std::size_t>(row)]);
    bytes += kLineEnd;
    for (const std::string& line : rows.choiceLines) bytes += line + kLineEnd;
    if (!rows.newFormatNote.empty()) bytes += rows.newFormatNote + kLineEnd;
    if (!rows.offSheet.empty()) bytes += rows.offSheet + kLineEnd;
    return bytes + kFormFeed;
}

ScriptResult MakeAlignmentSheet(ReceiptSettings& settings, FormTables& tables, Translator& translator) {
    settings.LoadReceiptSettings();
    const PrintedRows rows = DescribePrintedRows(HeldValues(tables), tables, translator);
    ScriptResult result;
    result.output = AlignmentSheetBytes(rows);
    if (!rows.planMessage.empty()) {
        result.problems.push_back(rows.planMessage);
        result.exitCode = kScriptBadValue;
    }
    return result;
}

}  // namespace qp
