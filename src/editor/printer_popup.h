// The printer pop-up of the stationery preview: the system's printers, the
// default one first and current; Enter chooses, Esc goes back.
#pragma once

#include <optional>
#include <string>

#include "input/keyboard.h"
#include "platform/printing.h"
#include "screen/colours.h"
#include "screen/windows.h"
#include "text/language.h"

namespace qp {

class PrinterPopup {
public:
    PrinterPopup(Windows& windows, Colours& colours, Keyboard& keyboard, Translator& translator);

    // The printer chosen (its name as the system gives it), or nothing on Esc.
    // `printers` holds one name at least.
    std::optional<std::string> ChoosePrinter(const PrinterList& printers);

private:
    struct Layout {
        int shown = 0;  // the list rows of the window
        int width = 0;  // the window's inner width
    };
    Layout LayOut(const PrinterList& printers);
    std::string Label(const PrinterList& printers, std::size_t i);
    void Draw(const PrinterList& printers, const Layout& layout, std::size_t first, std::size_t current);

    Windows& windows_;
    Colours& colours_;
    Keyboard& keyboard_;
    Translator& translator_;
};

}  // namespace qp
