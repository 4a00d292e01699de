// PC scan codes and readable key names, shared by the backends that have to
// invent console key events (the terminal decoder, the in-memory console).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "screen/console.h"

namespace qp {

namespace scan {
constexpr std::uint8_t Esc = 0x01, Backspace = 0x0E, Tab = 0x0F, Enter = 0x1C, Space = 0x39;
constexpr std::uint8_t F1 = 0x3B, F10 = 0x44, F11 = 0x57, F12 = 0x58;
constexpr std::uint8_t Home = 0x47, Up = 0x48, PgUp = 0x49, Left = 0x4B, Keypad5 = 0x4C, Right = 0x4D;
constexpr std::uint8_t End = 0x4F, Down = 0x50, PgDn = 0x51, Ins = 0x52, Del = 0x53;
}  // namespace scan

// The scan code of the key that types this character on a PC keyboard; 0 when none.
std::uint8_t ScanCodeForCharacter(unsigned char ch);

// A key event from a name such as "Enter", "F4", "Ctrl+Left", "Alt+X",
// "Shift+Tab", "a" (a single character stands for itself, code page 850).
std::optional<InputEvent> KeyEventFromName(std::string_view name);

}  // namespace qp
