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
            std::optional<std::string> peeked = reader.PeekLine();
            fuzz::Check(peeked.has_value(), "no line to peek before the end");
            fuzz::Check(peeked->find_first_of("\r\n") == std::string::npos, "a peeked line holds its line end");
            fuzz::Check(reader.PeekLine() == peeked, "peeking moved the reader");
        } else if (step == 's') {
            reader.SkipLine();
        } else {
            const bool quoted = [&] {
                std::optional<std::string> rest = reader.PeekLine();
                std::size_t first = rest ? rest->find_first_not_of(" \t") : std::string::npos;
                return first != std::string::npos && (*rest)[first] == '"';
            }();
            std::optional<std::string> field = reader.NextField();
            fuzz::Check(field.has_value(), "no field before the end");
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
