// A field's choices, as a form item's Options give them: "|S,Sí|N,No", each a
// code (what the field holds) and a description (what the operator sees).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qp {

struct Choice {
    std::string code;
    std::string description;
};

// The choices of an options list; none for an ordinary field.
std::vector<Choice> ParseChoices(std::string_view list);

// The choice that `value` (a field's text, `width` characters) holds: its code
// padded to the width, byte for byte. None when the value is no choice's code
// exactly: the suite's programs read "s" as no choice at all, so it must not
// be shown as "Sí".
std::optional<std::size_t> FindChoice(const std::vector<Choice>& choices, std::string_view value, std::size_t width);

}  // namespace qp
