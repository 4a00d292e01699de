// Display upper-casing with optional accent folding, the item stack, and paragraph layout.
#pragma once

#include <string>
#include <string_view>

namespace qp {

class TextUtils {
public:
    bool FoldAccents = false;

    std::string UpperText(std::string_view text) const;
    void PushItem(std::string_view text);
    std::string PopItem();

private:
    std::string stack_;
};

// Replaces text by its lines of `width` characters laid out by `alignment`.
void FormatParagraph(std::string& text, int indent, int width, std::string_view alignment);

}  // namespace qp
