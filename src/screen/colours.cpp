#include "screen/colours.h"

#include "text/cp850.h"

namespace qp {
namespace {

bool Contains(const std::string& code, char letter) { return code.find(letter) != std::string::npos; }

// Colour numbers of 16 or more (and negative ones) mean "keep what the console has".
bool IsConsoleColour(int colour) { return colour >= 0 && colour < 16; }

}  // namespace

void Colours::SetColour(std::string_view code) {
    if (IsBlank(code)) return;
    const std::string upper = UpperForCompare(code);

    if (Contains(upper, '+')) stack_.push_back(static_cast<char>(current_));

    int next = 0;
    if (Contains(upper, '-')) {
        if (!stack_.empty()) {
            next = static_cast<unsigned char>(stack_.back());
            stack_.pop_back();
        }
    } else if (Contains(upper, 'U')) {
        next = 4;
    } else {
        next = (Contains(upper, 'R') ? 2 : 0) + (Contains(upper, 'N') ? 1 : 0);
    }

    const auto& row = table_[static_cast<std::size_t>(next)];
    if (IsConsoleColour(row[0])) screen_.SetForeground(row[0]);
    if (IsConsoleColour(row[1])) screen_.SetBackground(row[1]);
    current_ = next;
}

}  // namespace qp
