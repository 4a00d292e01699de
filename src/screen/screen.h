// Text output above the console backends: the current colour, and printing
// at the cursor, clipped at the right edge and never scrolling.
#pragma once

#include <cstdint>
#include <string_view>

#include "screen/console.h"

namespace qp {

class Screen {
public:
    explicit Screen(Console& console) : console_(console) {}

    Console& console() { return console_; }

    std::uint8_t Attribute() const { return attr_; }
    void SetAttribute(std::uint8_t attr) { attr_ = attr; }
    void SetForeground(int colour) { attr_ = static_cast<std::uint8_t>((attr_ & 0xF0) | (colour & 0x0F)); }
    void SetBackground(int colour) { attr_ = static_cast<std::uint8_t>((attr_ & 0x0F) | ((colour & 0x0F) << 4)); }

    // Moves the cursor (absolute, 1-based); positions outside the buffer are ignored per coordinate.
    void Locate(int row, int column);
    // Writes code page 850 text at the cursor in the current colour and moves
    // the cursor after it (at most to the last column).
    void Print(std::string_view text);
    // The same, given Unicode characters (arrows and other glyphs outside the code page).
    void PrintU32(std::u32string_view text);
    // Writes `count` blanks in the current colour.
    void PrintBlanks(int count);

    // True when the operator sees every cell from row 1, column 1 to row
    // `bottom`, column `right`: a pop-up that must be seen whole opens only then.
    bool ShowsWhole(int bottom, int right) {
        return bottom <= console_.VisibleRows() && right <= console_.VisibleColumns();
    }

private:
    Console& console_;
    std::uint8_t attr_ = 0x07;
};

}  // namespace qp
