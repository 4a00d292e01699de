// The language file: any bytes, looked up for texts taken from the file
// itself and from the input. A translation is the text itself or one of the
// file's fields, and a language without a column never changes a text.
#include "fuzz_support.h"
#include "session/language.h"
#include "text/field_reader.h"

using namespace qp;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    static constexpr const char* kCodes[] = {"SPA", "GLG", "OCI", "XYZ", "CAT"};
    const std::string code = kCodes[in.ConsumeIntegralInRange<std::size_t>(0, 4)];
    const std::string asked = in.ConsumeRandomLengthString(32);
    const std::string bytes = in.ConsumeRemainingBytesAsString();
    fuzz::Scratch().Write("LOCALE/QPLAYOUT.LNG", bytes);

    std::vector<std::string> texts {asked};
    FieldReader fields(bytes);
    for (int i = 0; i < 12 && !fields.AtEnd(); ++i) texts.push_back(fields.ReadField());

    SystemPlatform platform;
    Translator translator(platform, fuzz::Scratch().Dir(), code, "QPLAYOUT");
    for (const std::string& text : texts) {
        const std::string shown = translator.Translate(text);
        if (code == "XYZ" || code == "CAT") fuzz::Check(shown == text, "a language without a column changed a text");
        fuzz::Check(shown == text || shown.size() <= bytes.size(), "a translation that is not in the file");
    }
    return 0;
}
