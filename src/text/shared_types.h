// Small value types that several layers hand to each other.
#pragma once

#include <array>
#include <cstdint>

namespace qp {

// Five colour rows of the terminal, each a foreground and a background
// console colour (0..15); [row][0] foreground, [row][1] background.
using ColourTable = std::array<std::array<std::int16_t, 2>, 5>;

}  // namespace qp
