// Colour codes: "n" normal, "h" highlight, "rh" reverse, "u" underline;
// "+" saves the colour in use first, "-" brings the last saved one back.
#pragma once

#include <string>
#include <string_view>

#include "screen/screen.h"
#include "text/shared_types.h"

namespace qp {

class Colours {
public:
    Colours(Screen& screen, const ColourTable& table) : screen_(screen), table_(table) {}

    void SetColour(std::string_view code);
    int CurrentIndex() const { return current_; }

private:
    Screen& screen_;
    const ColourTable& table_;
    int current_ = 0;
    std::string stack_;  // one byte per saved index, newest last
};

}  // namespace qp
