// Key codes: a character key is its code page 850 byte, an extended key its
// scan code x 256, a click column x 256 + button x 64 + row.
#pragma once

#include <cstdint>

namespace qp::key {

using Code = std::int16_t;

constexpr Code Backspace = 8, Tab = 9, Enter = 13, Esc = 27, CtrlB = 2, CtrlC = 3, CtrlV = 22, CtrlY = 25;
constexpr Code BackTab = 0x0F00;
constexpr Code F1 = 0x3B00, F2 = 0x3C00, F4 = 0x3E00, F9 = 0x4300, F10 = 0x4400, F11 = 0x5700, F12 = 0x5800;
constexpr Code Home = 0x4700, Up = 0x4800, PgUp = 0x4900, Left = 0x4B00, Keypad5 = 0x4C00, Right = 0x4D00;
constexpr Code End = 0x4F00, Down = 0x5000, PgDn = 0x5100, Ins = 0x5200, Del = 0x5300;
constexpr Code ShiftF1 = 0x5400, CtrlF1 = 0x5E00, CtrlF4 = 0x6100, AltF1 = 0x6800, AltF4 = 0x6B00;
constexpr Code CtrlLeft = 0x7300, CtrlRight = 0x7400, CtrlHome = 0x7700;
constexpr Code AltE = 0x1200, AltF = 0x2100, AltX = 0x2D00, AltC = 0x2E00, AltV = 0x2F00;
constexpr Code Euro = 213;

}  // namespace qp::key
