#include "editor/alignment_sheet.h"

#include "text/cp850.h"

namespace qp {
namespace {

const std::string kLineEnd = "\r\n";
const char kFormFeed = '\x0C';

std::string Line(const std::string& text) { return ControlBytesAsBlanks(text) + kLineEnd; }

// Line r: the row number right-aligned in two columns, then what is printed there.
std::string RowLine(int row, const std::string& names) {
    std::string line = (row < 10 ? " " : "") + std::to_string(row);
    return Line(names.empty() ? line : line + " " + names);
}

}  // namespace

// The 25 rows, a blank line, the Sí/No settings, the notes that apply, a form feed.
std::string AlignmentSheetBytes(const PrintedRows& rows) {
    std::string bytes;
    for (int row = 1; row <= ReceiptSettings::kPrintedRows; ++row)
        bytes += RowLine(row, rows.names[static_cast<std::size_t>(row)]);
    bytes += kLineEnd;
    for (const std::string& line : rows.choiceLines) bytes += Line(line);
    if (!rows.newFormatNote.empty()) bytes += Line(rows.newFormatNote);
    if (!rows.offSheet.empty()) bytes += Line(rows.offSheet);
    return bytes + kFormFeed;
}

ScriptResult MakeAlignmentSheet(ReceiptSettings& settings, FormTables& tables, Translator& translator) {
    settings.LoadReceiptSettings();
    ScriptResult result;
    if (settings.Reading().state == FileReading::State::Refused) {
        result.messages.push_back(RefusedFileMessage(translator, settings.Path(), settings.Reading()));
        result.exitCode = kScriptNoInput;
        return result;
    }
    const PrintedRows rows = DescribePrintedRows(HeldValues(tables), tables, translator);
    result.output = AlignmentSheetBytes(rows);
    if (!rows.planMessage.empty()) {
        result.messages.push_back({rows.planMessage, {}});
        result.exitCode = kScriptBadValue;
    }
    return result;
}

std::string AlignmentSheetShown(const std::string& bytes) {
    std::string shown;
    for (char c : bytes)
        if (c != '\r' && c != kFormFeed) shown += c;
    return shown;
}

}  // namespace qp
