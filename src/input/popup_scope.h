// What a pop-up borrows from the field it opens over: the exit keys, the
// colour and the cursor, all given back when the pop-up closes.
#pragma once

#include <string_view>

#include "input/keyboard.h"
#include "screen/colours.h"
#include "screen/console.h"

namespace qp {

class PopupScope {
public:
    PopupScope(Keyboard& keyboard, Colours& colours, Console& console, std::string_view exitCommands,
               std::string_view exitKeys)
        : keyboard_(keyboard), colours_(colours), console_(console), cursorSize_(console.CursorSize()) {
        keyboard_.SetExitKeys(exitCommands, exitKeys);
        colours_.SetColour("+n");
        console_.SetCursorSize(0);
    }
    ~PopupScope() {
        console_.SetCursorSize(cursorSize_);
        colours_.SetColour("-");
        keyboard_.SetExitKeys("-", "");
    }
    PopupScope(const PopupScope&) = delete;
    PopupScope& operator=(const PopupScope&) = delete;

private:
    Keyboard& keyboard_;
    Colours& colours_;
    Console& console_;
    int cursorSize_;
};

}  // namespace qp
