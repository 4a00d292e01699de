// What the pop-ups and the field editor run over: an in-memory console of the
// test's kind, the screen and colours on it, windows that save what they
// cover in a fresh directory, the keyboard and a field editor. A fixture
// derives from it; a single test may make one of its own.
#pragma once

#include "format/text_utils.h"
#include "input/field_editor.h"
#include "input/keyboard.h"
#include "platform/platform.h"
#include "platform/temp_dir.h"
#include "screen/colours.h"
#include "screen/memory_console.h"
#include "screen/screen.h"
#include "screen/windows.h"

namespace qp::testing {

template <typename ConsoleType = MemoryConsole>
struct InputRig {
    TempDir dir;
    ConsoleType console;
    Screen screen {console};
    ColourTable colourTable {{{7, 0}, {15, 0}, {0, 7}, {14, 1}, {12, 0}}};
    Colours colours {screen, colourTable};
    SystemPlatform platform;
    Windows windows {screen, colours, platform, dir.Dir()};
    Keyboard keyboard {console};
    TextUtils textUtils;
    FieldEditor editor {keyboard, windows, colours, textUtils};
};

}  // namespace qp::testing
