#include "input/choices.h"

#include "text/cp850.h"

namespace qp {

std::vector<Choice> ParseChoices(std::string_view list) {
    std::vector<Choice> choices;
    std::size_t bar = list.find('|');
    while (bar != std::string_view::npos) {
        std::size_t next = list.find('|', bar + 1);
        std::string_view option = list.substr(bar + 1, next == std::string_view::npos ? std::string_view::npos : next - bar - 1);
        std::size_t comma = option.find(',');
        Choice c;
        c.code = std::string(option.substr(0, comma));
        if (comma != std::string_view::npos) c.description = std::string(option.substr(comma + 1));
        choices.push_back(std::move(c));
        bar = next;
    }
    return choices;
}

std::optional<std::size_t> FindChoice(const std::vector<Choice>& choices, std::string_view value, std::size_t width) {
    for (std::size_t i = 0; i < choices.size(); ++i)
        if (FitWidth(choices[i].code, width) == value) return i;
    return std::nullopt;
}

}  // namespace qp
