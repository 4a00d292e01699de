// The language file: any bytes, looked up for texts taken from the input and
// from the file itself, in every language. What the translator gives from its
// index of the file must be what a scan of the file from the top, record by
// record, gives for each text.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fuzz_support.h"
#include "text/language.h"
#include "text/field_reader.h"

using namespace qp;

namespace {

// The lookup without an index: the first record whose key is the text
// decides; a record cut short by the end of the file leaves the text as it is,
// and so does a language without a column.
class RecordScan {
public:
    RecordScan(const std::string& bytes, const std::string& text) : text_(text) {
        FieldReader reader(bytes);
        while (!reader.AtEnd()) {
            const std::string key = reader.ReadField();
            if (reader.AtEnd()) return;
            for (auto& field : fields_) field = reader.NextField();
            if (key == text) {
                found_ = true;
                return;
            }
        }
    }

    std::string TranslationFor(const std::string& code) const {
        const int column = code == "GLG" ? 1 : code == "OCI" ? 2 : code == "SPA" ? 3 : 0;
        if (!found_ || !fields_[2] || column == 0) return text_;
        return fields_[column - 1]->substr(0, kLongestTranslation);
    }

private:
    std::string text_;
    bool found_ = false;
    std::optional<std::string> fields_[3];
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    std::vector<std::string> texts;
    for (int i = 0; i < 3; ++i) texts.push_back(in.ConsumeRandomLengthString(32));
    const std::string bytes = in.ConsumeRemainingBytesAsString();
    fuzz::Scratch().Write("LOCALE/QPLAYOUT.LNG", bytes);

    // The file's own keys (every fourth field), so that repeated keys and cut
    // records are met wherever they are.
    FieldReader fields(bytes);
    for (int i = 0; texts.size() < 40 && !fields.AtEnd(); ++i) {
        std::string field = fields.ReadField();
        if (i % 4 == 0) texts.push_back(std::move(field));
    }

    std::vector<RecordScan> scans;
    for (const std::string& text : texts) scans.emplace_back(bytes, text);
    SystemPlatform platform;
    for (const char* code : {"SPA", "GLG", "OCI", "XYZ", "CAT"}) {
        Translator translator(platform, fuzz::Scratch().Dir(), code, "QPLAYOUT");
        for (std::size_t i = 0; i < texts.size(); ++i)
            fuzz::Check(translator.Translate(texts[i]) == scans[i].TranslationFor(code),
                        std::string("the index and the scan differ in ") + code);
    }
    return 0;
}
