#include "editor/receipt_editor.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "editor/printed_rows.h"
#include "editor/receipt_messages.h"
#include "format/numbers.h"
#include "text/cp850.h"

namespace qp {
namespace {

constexpr int kMessageRow = 12;
constexpr int kTitleRow = 1;
// The switch governs the six items after it: the five rows and the
// counterfoil follow it, the duplicate is the seventh and goes the other way.
constexpr int kSwitchedItems = 6;

int ValueColumn(const FormItem& item) { return item.Column + static_cast<int>(item.Label.size()); }

void SetSkipped(FormItem& item, bool skipped) {
    item.Flags = static_cast<std::int16_t>(skipped ? (item.Flags | kSkipped) : (item.Flags & ~kSkipped));
}

}  // namespace

int TitleColumn(int length) {
    int twice = 82 - length;  // twice the exact column
    int column = twice / 2;
    if (twice % 2 != 0) {
        // Between two columns: take the even one.
        int lower = (twice - 1) / 2;
        if (twice < 0) lower = column - 1;
        column = lower % 2 == 0 ? lower : lower + 1;
    }
    // A title wider than the console starts at its left edge.
    return std::max(column, 1);
}

ReceiptEditor::ReceiptEditor(FormTables& tables, ReceiptSettings& settings, Windows& windows, Colours& colours,
                             Keyboard& keyboard, Translator& translator, UserPreferences& preferences,
                             std::string sessionTitle)
    : tables_(tables),
      settings_(settings),
      windows_(windows),
      colours_(colours),
      keyboard_(keyboard),
      translator_(translator),
      preferences_(preferences),
      sessionTitle_(std::move(sessionTitle)) {}

EditResult ReceiptEditor::EditReceiptLayout(FormEngine& engine) {
    colours_.SetColour("n");
    ClearScreen();
    settings_.LoadReceiptSettings();
    saved_ = false;
    lastFailure_.reset();
    refusal_.clear();
    leaveHint_ = false;

    EditResult result;
    if (settings_.Reading().state == FileReading::State::Refused) {
        // The defaults on the form would be taken for the file's settings,
        // and a save would put them in its place.
        result.outcome = EditResult::Outcome::Refused;
        result.message = RefusedFileMessage(translator_, settings_.Path(), settings_.Reading());
        ShowMessage(result.message.text);
        return result;
    }
    RefusalListenerScope listening(keyboard_, *this);
    engine.RunScreen(1, 0, 0, result.key);
    if (saved_) {
        result.outcome = EditResult::Outcome::Saved;
    } else if (lastFailure_) {
        // The operator gave up after a save failed: the edits are not stored.
        result.outcome = EditResult::Outcome::SaveFailed;
        result.message = *lastFailure_;
    }
    return result;
}

void ReceiptEditor::ClearScreen() {
    Screen& screen = windows_.screen();
    int columns = windows_.ScreenColumns();
    for (int row = 1; row <= windows_.ScreenRows(); ++row) {
        screen.Locate(row, 1);
        screen.PrintBlanks(columns);
    }
    screen.Locate(1, 1);
}

void ReceiptEditor::DrawScreen(std::int16_t screen) {
    if (!tables_.HasScreen(screen)) return;
    colours_.SetColour("rh");
    if (screen == 1) {
        windows_.screen().Locate(kTitleRow, TitleColumn(static_cast<int>(sessionTitle_.size())));
        windows_.screen().Print(sessionTitle_);
    }
    const int count = std::min<int>(tables_.Screen(screen).ItemCount, static_cast<int>(tables_.Screen(screen).items.size()));
    colours_.SetColour("n");
    for (int i = 1; i <= count; ++i) {
        const FormItem& item = tables_.Item(screen, i);
        windows_.LocateInWindow(item.Row, item.Column);
        windows_.screen().Print(item.Label);
    }
    colours_.SetColour("h");
    for (int i = 1; i <= count; ++i) ShowItemValue(screen, static_cast<std::int16_t>(i));
    if (screen == 1) ShowStatus();
}

void ReceiptEditor::ApplyOldFormatSwitch(std::int16_t screen, std::int16_t item) {
    const bool oldFormat = IsYes(tables_.Item(screen, item).Value);
    for (int k = 1; k <= kSwitchedItems + 1; ++k) {
        // A form with fewer items after the switch simply has fewer to switch.
        if (!tables_.HasItem(screen, item + k)) break;
        bool followsSwitch = k <= kSwitchedItems;
        SetSkipped(tables_.Item(screen, item + k), followsSwitch ? !oldFormat : oldFormat);
    }
}

void ReceiptEditor::ShowItemValue(std::int16_t screen, std::int16_t item) {
    if (!tables_.HasItem(screen, item)) return;
    if (tables_.Item(screen, item).HookCode == kOldFormatSwitch) {
        ApplyOldFormatSwitch(screen, item);
        // The items it governs change colour with it.
        for (int k = 1; k <= kSwitchedItems + 1 && tables_.HasItem(screen, item + k); ++k)
            PrintValue(tables_.Item(screen, item + k));
    }
    PrintValue(tables_.Item(screen, item));
}

// A value the operator cannot edit now is shown in the normal colour, so
// that the highlight marks the ones that apply.
void ReceiptEditor::PrintValue(const FormItem& shown) {
    windows_.LocateInWindow(shown.Row, ValueColumn(shown));
    if (shown.Has(kHiddenEntry)) return;
    const bool displayOnly = shown.Has(kSkipped);
    if (displayOnly) colours_.SetColour("+n");
    Screen& out = windows_.screen();
    if (shown.HookCode == kRowNumber) {
        out.Print(FormatNumber(preferences_, "Z9", static_cast<double>(NumericValue(shown.Value))));
    } else if (!shown.Options.empty()) {
        out.Print(FitWidth(ChoiceDescription(shown), static_cast<std::size_t>(std::max(0, shown.Length + shown.DescWidth))));
    } else if (shown.WrapWidth > 0) {
        PrintWrapped(shown);
    } else {
        out.Print(shown.Value);
    }
    if (displayOnly) colours_.SetColour("-");
}

void ReceiptEditor::PrintWrapped(const FormItem& item) {
    Console& console = windows_.screen().console();
    const int row = console.CursorRow();
    const int column = console.CursorColumn();
    const auto width = static_cast<std::size_t>(item.WrapWidth);
    for (std::size_t start = 0, piece = 0; start < item.Value.size(); start += width, ++piece) {
        windows_.screen().Locate(row + static_cast<int>(piece), column);
        windows_.screen().Print(std::string_view(item.Value).substr(start, width));
    }
}

std::int16_t ReceiptEditor::AcceptItem(std::int16_t screen, std::int16_t item, const std::string& text, key::Code) {
    if (!tables_.HasItem(screen, item)) return 0;
    FormItem& target = tables_.Item(screen, item);
    // Marked before the checks: a refused text still counts as a change.
    const bool changed = text != target.Value;
    if (changed) settings_.SetModified();
    if (target.HookCode == kRowNumber && InvalidNumberText(text, "")) return -1;
    target.Assign(text);
    ShowItemValue(screen, item);
    // Rows being mended want the plan shown; with the old format turned off
    // the rest of the way out is still to come.
    if (changed && tables_.HasItem(1, 1) && IsYes(tables_.Item(1, 1).Value)) leaveHint_ = false;
    if (screen == 1) ShowStatus();
    return 0;
}

std::int16_t ReceiptEditor::AcceptScreen(std::int16_t screen, key::Code key) {
    if (screen != 1) return 0;
    if (tables_.HasItem(1, 1) && IsYes(tables_.Item(1, 1).Value)) {
        RowPlanFault fault = settings_.CheckRowPlan();
        if (fault != RowPlanFault::None) {
            ShowPlanMessage(fault);
            return -1;
        }
    }
    // Esc leaves without saving; so does a screen in which nothing changed.
    if (key == key::Esc || !settings_.Modified()) return 0;
    return Save() ? 0 : -1;
}

// Saved while the form is still open, so that a failure is shown over it and
// the operator, back on the screen with every edit, can try again or leave.
bool ReceiptEditor::Save() {
    SaveResult result = settings_.SaveReceiptSettings();
    if (result.ok()) {
        saved_ = true;
        return true;
    }
    // The values now merged from the file are what the operator must see.
    RedrawValues();
    if (result.plan != RowPlanFault::None) {
        ShowPlanMessage(result.plan);
        return false;
    }
    lastFailure_ = SaveFailureMessage(translator_, settings_.Path(), result.status);
    ShowMessage(lastFailure_->text);
    return false;
}

void ReceiptEditor::RedrawValues() {
    if (!tables_.HasScreen(1)) return;
    colours_.SetColour("+h");
    const int count = std::min<int>(tables_.Screen(1).ItemCount, static_cast<int>(tables_.Screen(1).items.size()));
    for (int i = 1; i <= count; ++i) ShowItemValue(1, static_cast<std::int16_t>(i));
    colours_.SetColour("-");
}

void ReceiptEditor::ShowMessage(const std::string& text) {
    // Keys typed before the box appeared must not dismiss it unread; a key
    // typed once it shows (even while the beep still sounds) answers it, so the
    // typed-ahead input is discarded before the box is drawn, not after.
    keyboard_.FlushKeyboard();
    windows_.ShowMessageBox(kMessageRow, text);
    keyboard_.console().Beep();
    keyboard_.WaitKey();
    windows_.PopScreenRegion();
}

// Back on the screen after the box, the operator is told the way out too.
void ReceiptEditor::ShowPlanMessage(RowPlanFault fault) {
    ShowMessage(translator_.Translate(RowPlanMessage(fault)));
    leaveHint_ = true;
    ShowStatus();
}

void ReceiptEditor::Refused(const Refusal& refusal) {
    refusal_ = RefusalText(translator_, refusal);
    ShowStatus();
}

void ReceiptEditor::KeyAfterRefusal() {
    refusal_.clear();
    ShowStatus();
}

bool ReceiptEditor::FormWindowIsCurrent() {
    if (!tables_.HasScreen(1) || windows_.WindowDepth() == 0) return false;
    const FormScreen& form = tables_.Screen(1);
    const Rect window {form.WindowTop, form.WindowLeft, form.WindowBottom, form.WindowRight};
    return windows_.CurrentWindow() == window && form.WindowBottom - form.WindowTop - 1 >= kStatusRow;
}

// Drawn only over the form's own window: over a pop-up it would be lost when
// the pop-up gives back what it covered, and spoil the pop-up meanwhile.
void ReceiptEditor::ShowStatus() {
    if (!FormWindowIsCurrent()) return;
    std::string text;
    bool problem = true;
    if (!refusal_.empty()) {
        text = refusal_;
    } else if (leaveHint_) {
        text = LeaveWithoutSavingText(translator_);
    } else {
        PrintedRows rows = DescribePrintedRows(HeldValues(tables_), tables_, translator_);
        text = rows.planStatus;
        problem = !rows.planSound;
    }
    const Rect window = windows_.CurrentWindow();
    const int width = window.right - window.left - 1;
    const std::string shown = text.substr(0, static_cast<std::size_t>(std::max(0, width - 2)));
    const int blanks = (width - static_cast<int>(shown.size())) / 2;

    Console& console = windows_.screen().console();
    const int cursorRow = console.CursorRow();
    const int cursorColumn = console.CursorColumn();
    colours_.SetColour(problem ? "+h" : "+n");
    windows_.LocateInWindow(kStatusRow, 1);
    windows_.screen().Print(FitWidth(std::string(static_cast<std::size_t>(blanks), ' ') + shown,
                                     static_cast<std::size_t>(width)));
    colours_.SetColour("-");
    console.SetCursor(cursorRow, cursorColumn);
}

void ReceiptEditor::AfterListChoice(std::int16_t&, std::int16_t&, std::int16_t&) {}

std::int16_t ReceiptEditor::ListStart(std::int16_t, std::string&, std::string&) { return 0; }

std::string ReceiptEditor::ListLine(std::int16_t) { return {}; }

}  // namespace qp
