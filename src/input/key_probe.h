// The key probe: shows the key code of each key pressed and the console event
// behind it, so that a terminal that sends odd sequences can be diagnosed.
#pragma once

#include <string>

#include "input/keyboard.h"
#include "screen/console.h"

namespace qp {

// Runs until Esc is pressed twice in a row (a single Esc is shown like any
// other key). Returns the program's exit code, 0.
int RunKeyProbe(Console& console, Keyboard& keyboard);

// A readable name for a key code as ReadKeyEvent gives it: "Ctrl+Left", "F4", "Alt+X", "'a'".
std::string KeyCodeName(key::Code code);

}  // namespace qp
