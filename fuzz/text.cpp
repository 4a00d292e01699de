// Text utilities: upper-casing keeps the length and never touches bytes
// below 64; paragraphs keep every character but the blanks they re-space,
// and lines left-aligned are exactly the width; the item stack gives back
// what was pushed, in reverse order.
#include "format/text_utils.h"
#include "fuzz_support.h"
#include "text/cp850.h"

using namespace qp;

namespace {

std::string WithoutBlanks(std::string_view text) {
    std::string out;
    for (char c : text)
        if (c != ' ') out += c;
    return out;
}

bool HasControls(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) < 32) return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const int indent = in.ConsumeIntegralInRange(-100, 100);
    const int width = in.ConsumeIntegralInRange(-2, 120);
    const std::string alignment = in.ConsumeRandomLengthString(3);
    std::vector<std::string> items;
    for (int i = in.ConsumeIntegralInRange(0, 6); i > 0; --i) items.push_back(in.ConsumeRandomLengthString(64));
    const std::string text = in.ConsumeRemainingBytesAsString();

    TextUtils utils;
    for (bool fold : {false, true}) {
        utils.FoldAccents = fold;
        const std::string upper = utils.UpperText(text);
        fuzz::Check(upper.size() == text.size(), "upper-casing changed the length");
        for (std::size_t i = 0; i < text.size(); ++i)
            if (static_cast<unsigned char>(text[i]) < 64 || static_cast<unsigned char>(text[i]) > 237)
                fuzz::Check(upper[i] == text[i], "upper-casing changed a byte outside its tables");
    }

    std::string laidOut = text;
    FormatParagraph(laidOut, indent, width, alignment);
    // Alignment letters follow the shared rule, not the display upper-casing.
    const std::string upperAlignment = UpperForCompare(alignment);
    if (width >= 1 && upperAlignment != "N")
        fuzz::Check(WithoutBlanks(laidOut) == WithoutBlanks(text), "a paragraph lost or gained characters");
    if (width >= 1 && (upperAlignment == "E" || upperAlignment == "L" || upperAlignment == "I") && !HasControls(text))
        fuzz::Check(laidOut.size() % static_cast<std::size_t>(width) == 0, "a left-aligned line is not the width");

    for (const std::string& item : items) utils.PushItem(item);
    for (auto it = items.rbegin(); it != items.rend(); ++it)
        fuzz::Check(utils.PopItem() == *it, "the item stack gave back another item");
    return 0;
}
