#include "editor/printer_popup.h"

#include <algorithm>

#include "editor/sheet_printing.h"
#include "input/popup_scope.h"
#include "text/cp850.h"

namespace qp {
namespace {

// Catalan, shown through Translate.
const std::string kTitle = "IMPRESSORA";
const std::string kKeys = "Intro: imprimeix   Esc: torna";
const std::string kDefault = "(per defecte)";

// Over the preview's paper rows, inside an 80-column screen.
constexpr int kTop = 5;
constexpr int kMostShown = 12;
constexpr int kWidest = 70;
constexpr int kScreenColumns = 80;

int Width(const std::string& text) { return static_cast<int>(text.size()); }

// The first printer shown, so that the current one is in sight.
std::size_t FirstShown(std::size_t first, std::size_t current, int shown) {
    const auto rows = static_cast<std::size_t>(shown);
    if (current < first) return current;
    if (current >= first + rows) return current + 1 - rows;
    return first;
}

}  // namespace

PrinterPopup::PrinterPopup(Windows& windows, Colours& colours, Keyboard& keyboard, Translator& translator)
    : windows_(windows), colours_(colours), keyboard_(keyboard), translator_(translator) {}

std::string PrinterPopup::Label(const PrinterList& printers, std::size_t i) {
    std::string label = SystemTextShown(printers.names[i]);
    if (i == 0 && printers.firstIsDefault) label += " " + translator_.Translate(kDefault);
    return label;
}

PrinterPopup::Layout PrinterPopup::LayOut(const PrinterList& printers) {
    int widest = std::max(Width(translator_.Translate(kTitle)) + 2, Width(translator_.Translate(kKeys)));
    for (std::size_t i = 0; i < printers.names.size(); ++i) widest = std::max(widest, Width(Label(printers, i)));
    Layout layout;
    layout.shown = std::min(static_cast<int>(printers.names.size()), kMostShown);
    layout.width = std::min(widest + 2, kWidest);
    return layout;
}

void PrinterPopup::Draw(const PrinterList& printers, const Layout& layout, std::size_t first, std::size_t current) {
    const auto inner = static_cast<std::size_t>(layout.width - 2);
    for (int row = 0; row < layout.shown; ++row) {
        const std::size_t i = first + static_cast<std::size_t>(row);
        colours_.SetColour(i == current ? "u" : "n");
        windows_.LocateInWindow(1 + row, 1);
        windows_.screen().Print(" " + FitWidth(Label(printers, i), inner) + " ");
    }
}

std::optional<std::string> PrinterPopup::ChoosePrinter(const PrinterList& printers) {
    PopupScope scope(keyboard_, colours_, windows_.screen().console(), "+ea", "");
    const Layout layout = LayOut(printers);
    const int left = (kScreenColumns - (layout.width + 2)) / 2 + 1;
    windows_.PushScreenRegion(kTop, left, kTop + layout.shown + 2, left + layout.width + 1);
    colours_.SetColour("n");
    windows_.DrawWindowFrame(1);
    const std::string title = " " + translator_.Translate(kTitle) + " ";
    windows_.screen().Locate(kTop, left + 1 + std::max(0, (layout.width - Width(title)) / 2));
    windows_.screen().Print(title);
    const std::string keys = translator_.Translate(kKeys);
    const std::string centring(static_cast<std::size_t>(std::max(0, (layout.width - Width(keys)) / 2)), ' ');
    windows_.LocateInWindow(layout.shown + 1, 1);
    windows_.screen().Print(FitWidth(centring + keys, static_cast<std::size_t>(layout.width)));

    const std::size_t last = printers.names.size() - 1;
    const auto page = static_cast<std::size_t>(layout.shown);
    std::size_t current = 0;
    std::size_t first = 0;
    std::optional<std::string> chosen;
    for (bool open = true; open;) {
        first = FirstShown(first, current, layout.shown);
        Draw(printers, layout, first, current);
        switch (keyboard_.WaitKey()) {
        case key::Up: current -= current > 0 ? 1 : 0; break;
        case key::Down: current += current < last ? 1 : 0; break;
        case key::PgUp: current -= std::min(current, page); break;
        case key::PgDn: current = std::min(last, current + page); break;
        case key::Home: current = 0; break;
        case key::End: current = last; break;
        case key::Enter:
            chosen = printers.names[current];
            open = false;
            break;
        case key::Esc: open = false; break;
        default: break;
        }
    }
    windows_.PopScreenRegion();
    return chosen;
}

}  // namespace qp
