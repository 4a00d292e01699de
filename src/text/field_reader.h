// Sequential field reading, shared by the language file and the form file:
// fields are separated by commas or line ends; a field that begins with a
// double quote runs to the next quote; Ctrl-Z ends the file.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace qp {

class FieldReader {
public:
    explicit FieldReader(std::string bytes);

    // The next field. Reading past the end gives an empty field.
    std::string ReadField();
    // The next field, or nothing when the end was reached before it: lets a
    // caller tell a record cut short from one with empty fields.
    std::optional<std::string> NextField();
    // True once nothing is left to read (after the last field, or at Ctrl-Z).
    bool AtEnd() const;

    // Line-wise access for callers that skip comment lines between records.
    // The rest of the current line, without its line end (nothing at the end).
    std::optional<std::string> PeekLine() const;
    void SkipLine();
    // 1-based number of the line the next read starts on, for messages.
    int LineNumber() const;

private:
    std::string QuotedField();
    std::string UnquotedField();
    // Steps over the comma or line end that follows a field, if any.
    void SkipSeparator();
    // Length of the line end at `at` (CR LF, CR or LF), 0 when there is none.
    std::size_t LineEndLength(std::size_t at) const;

    std::string bytes_;  // cut at the first Ctrl-Z
    std::size_t pos_ = 0;
    // A comma just before the end still announces one (empty) field.
    bool fieldAfterComma_ = false;
    // LineNumber's running count, so that numbering every record stays linear.
    mutable std::size_t linesCountedTo_ = 0;
    mutable int linesBefore_ = 0;
};

}  // namespace qp
