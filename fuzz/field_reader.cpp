// Sequential fields (language and form files): fields and lines taken in any
// order always come to an end, line numbers only grow, and an unquoted field
// never holds a separator.
#include "fuzz_support.h"
#include "text/field_reader.h"

using namespace qp;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string steps = in.ConsumeRandomLengthString(64);
    const std::string bytes = in.ConsumeRemainingBytesAsString();
    FieldReader reader(bytes);
    int line = reader.LineNumber();
    // Every call but a peek moves on, so this many are always enough.
    std::size_t budget = 2 * bytes.size() + steps.size() + 8;
    for (std::size_t i = 0; !reader.AtEnd(); ++i) {
        fuzz::Check(budget-- > 0, "the reader does not come to an end");
        const char step = i < steps.size() ? steps[i] : 'f';
        if (step == 'l') {
            std::optional<char> opening = reader.LineOpening();
            fuzz::Check(!opening || (*opening != ' ' && *opening != '\t' && *opening != '\r' && *opening != '\n'),
                        "a line opens with a blank or a line end");
            fuzz::Check(reader.LineOpening() == opening, "looking moved the reader");
        } else if (step == 's') {
            reader.SkipLine();
        } else {
            const bool quoted = reader.LineOpening() == '"';
            std::optional<std::string> field = reader.NextField();
            fuzz::Check(field.has_value(), "no field before the end");
            // A lone LF in a file with a CR is dropped, as a tab is.
            if (!quoted)
                fuzz::Check(field->find_first_of(",\r\n\t") == std::string::npos, "an unquoted field holds a separator");
            fuzz::Check(field->find('\x1A') == std::string::npos, "a field runs past the end of the file");
        }
        const int now = reader.LineNumber();
        fuzz::Check(now >= line, "line numbers went back");
        line = now;
    }
    fuzz::Check(!reader.NextField().has_value(), "a field after the end");
    fuzz::Check(reader.ReadField().empty(), "text after the end");
    return 0;
}
