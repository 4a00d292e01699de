// Sequential field reading, shared by the language file and the form file:
// fields are separated by commas or line ends; a field that begins with a
// double quote runs to the next quote; Ctrl-Z ends the file. Lines end as the
// suite's other programs end them: where the file holds a CR, at CR or CR LF,
// and a lone LF is dropped from an unquoted field as a tab is; a file with no
// CR (made on Linux) has its lines end at LF.
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
    // The next field added to the end of `out`, or passed over: false, and
    // nothing done, when the end was reached before it. For readers that
    // keep a few fields of many, without a string for each.
    bool AppendField(std::string& out);
    bool SkipField();
    // True once nothing is left to read (after the last field, or at Ctrl-Z).
    bool AtEnd() const;

    // Line-wise access for callers that skip comment lines between records.
    // The first byte of the rest of the current line that is not a blank (a
    // space, a tab, a LF that does not end the line); nothing when the rest
    // of the line is blank or the file has ended. Looks no further than that
    // byte, so that a caller may ask before every record of a long line.
    std::optional<char> LineOpening() const;
    void SkipLine();
    // 1-based number of the line the next read starts on, for messages.
    int LineNumber() const;

private:
    // The next field, added to `out` unless it is null.
    bool Field(std::string* out);
    void QuotedField(std::string* out);
    void UnquotedField(std::string* out);
    // Steps over the comma or line end that follows a field, if any.
    void SkipSeparator();
    // Length of the line end at `at` (CR LF, CR, or LF in a file without CR),
    // 0 when there is none.
    std::size_t LineEndLength(std::size_t at) const;
    // A space, a tab, or a LF that does not end a line.
    bool IsBlank(std::size_t at) const;

    std::string bytes_;  // cut at the first Ctrl-Z
    bool lfEndsLines_ = false;  // the file holds no CR
    std::size_t pos_ = 0;
    // A comma just before the end still announces one (empty) field.
    bool fieldAfterComma_ = false;
    // LineNumber's running count, so that numbering every record stays linear.
    mutable std::size_t linesCountedTo_ = 0;
    mutable int linesBefore_ = 0;
};

}  // namespace qp
