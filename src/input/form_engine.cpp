#include "input/form_engine.h"

#include <utility>

#include <algorithm>
#include <cstdlib>
#include <set>

#include "text/cp850.h"

namespace qp {

namespace {

constexpr std::string_view kHelpKey = ",3b00";

int ValueColumn(const FormItem& item) { return item.Column + static_cast<int>(item.Label.size()); }

// Characters per display row of an item's value.
int RowWidth(const FormItem& item) { return std::max<int>(1, item.WrapWidth != 0 ? item.WrapWidth : item.Length); }

// Display rows of an item's value; a short last row counts too.
int RowCount(const FormItem& item) {
    if (item.WrapWidth <= 0) return 1;
    return std::max(1, (item.Length + item.WrapWidth - 1) / item.WrapWidth);
}

}  // namespace

int FormEngine::ItemCountOf(const Run& run) {
    const FormScreen& screen = ScreenOf(run);
    return std::clamp<int>(screen.ItemCount, 0, static_cast<int>(screen.items.size()));
}

void FormEngine::FindEditableRange(Run& run) {
    int n = ItemCountOf(run);
    run.first = n + 1;
    run.last = 0;
    for (int i = 1; i <= n; ++i) {
        if (!tables_.Item(run.screen, i).Has(kSkipped)) {
            run.first = std::min(run.first, i);
            run.last = i;
        }
    }
}

bool FormEngine::ReachesTarget(std::int16_t screen) {
    std::set<int> seen {screen};
    int s = tables_.Screen(screen).ParentScreen;
    // A chain that loops back on itself never reaches a screen outside the loop.
    while (tables_.HasScreen(s) && seen.insert(s).second) {
        if (s == targetScreen_) return true;
        s = tables_.Screen(s).ParentScreen;
    }
    return false;
}

bool FormEngine::EndsLinkedRun(key::Code key) const {
    switch (key) {
    case key::PgUp:
    case key::PgDn:
    case key::End:
    case key::CtrlB:
    case key::Enter:
    case key::Down:
    case key::Up: return true;
    default: return false;
    }
}

void FormEngine::OpenWindow(const FormScreen& screen) {
    colours_.SetColour("+n");
    windows_.PushScreenRegion(screen.WindowTop, screen.WindowLeft, screen.WindowBottom, screen.WindowRight);
    windows_.DrawWindowFrame(2);
    colours_.SetColour("-");
}

void FormEngine::Beep() { keyboard_.console().Beep(); }

void FormEngine::RunScreen(std::int16_t screen, std::int16_t leaveOnPgUp, std::int16_t leaveOnPgDn, key::Code& key) {
    Run run;
    run.top = screen >= 0;
    run.screen = static_cast<std::int16_t>(std::abs(screen));
    run.leaveOnPgUp = leaveOnPgUp;
    run.leaveOnPgDn = leaveOnPgDn;
    if (!tables_.HasScreen(run.screen)) return;

    const FormScreen& form = ScreenOf(run);
    int depthBefore = windows_.WindowDepth();
    if (form.WindowTop != 0) OpenWindow(form);
    // Only a window that really opened is closed again, never the caller's.
    bool ownWindow = windows_.WindowDepth() > depthBefore;
    hooks_.DrawScreen(run.screen);

    FindEditableRange(run);
    bool leaving = run.first > run.last;
    if (!leaving && targetScreen_ != 0) {
        if (targetScreen_ != run.screen && ReachesTarget(run.screen)) {
            key::Code linked = key;
            RunScreen(static_cast<std::int16_t>(-form.ParentScreen), leaveOnPgUp, leaveOnPgDn, linked);
            key = linked;
            leaving = EndsLinkedRun(linked);
        } else {
            targetScreen_ = 0;
        }
    }

    for (;;) {
        if (!leaving) key = RunItems(run, key);
        if (hooks_.AcceptScreen(run.screen, key) == 0) break;
        FindEditableRange(run);
        leaving = run.first > run.last;
    }

    if (ownWindow) windows_.PopScreenRegion();
    editedText_.clear();
    editedScreen_ = 0;
    editedItem_ = 0;
}

std::optional<FieldInEdit> FormEngine::FieldBeingEdited() const {
    const std::string* text = editor_.TextBeingEdited();
    if (editingItem_ == 0 || text == nullptr) return std::nullopt;
    return FieldInEdit {editingScreen_, editingItem_, *text};
}

int FormEngine::NextEditable(const Run& run, int c) {
    for (int i = c + 1; i <= run.last; ++i)
        if (!tables_.Item(run.screen, i).Has(kSkipped)) return i;
    return run.last;
}

key::Code FormEngine::RunItems(Run& run, key::Code key) {
    int c = run.first;
    while (c >= run.first && c <= run.last) {
        key = EditItem(run, c, key);
        Step step = Navigate(run, c, key);
        // Staying on an item that a hook made display-only would never end:
        // go on to the next editable one.
        if (step.item == c && c >= run.first && c <= run.last && tables_.Item(run.screen, c).Has(kSkipped))
            step.item = NextEditable(run, c);
        c = step.item;
        key = step.key;
    }
    return key;
}

key::Code FormEngine::EditItem(Run& run, int& c, key::Code key) {
    keyboard_.SetExitKeys("+ea", ScreenOf(run).ScreenExitKeys + std::string(kHelpKey));
    const FormItem& start = tables_.Item(run.screen, c);
    const bool startsBlank = (start.Flags & (kStartBlank | kHiddenEntry)) != 0;
    const bool hidden = start.Has(kHiddenEntry);
    std::string text = startsBlank ? std::string(static_cast<std::size_t>(std::max<int>(start.Length, 0)), ' ') : start.Value;
    if (hidden) keyboard_.SetExitKeys("h", "");
    if (start.DescWidth != 0 && !start.Has(kSkipped)) {
        windows_.LocateInWindow(start.Row, ValueColumn(start) + RowWidth(start));
        windows_.screen().PrintBlanks(start.DescWidth);
    }

    int position = 0;  // 0: where the item's flags put the cursor
    for (;;) {
        std::int16_t result = 0;
        FormItem& item = tables_.Item(run.screen, c);
        // An item that is only displayed was not edited: there is nothing to accept,
        // and the key that brought the cursor here moves it on.
        const bool edited = !item.Has(kSkipped);
        if (edited) {
            editor_.SetFieldChoices(item.Options);
            int row = item.Row;
            int column = ValueColumn(item);
            int width = item.WrapWidth;
            if (position == 0)
                position = (item.Has(kCursorAtEnd) ? static_cast<int>(TrimTrailingBlanks(text).size()) : 0) + 1;
            const std::int16_t outerScreen = std::exchange(editingScreen_, run.screen);
            const std::int16_t outerItem = std::exchange(editingItem_, static_cast<std::int16_t>(c));
            editor_.EditField(row, column, width, text, position, key);
            editingScreen_ = outerScreen;
            editingItem_ = outerItem;
            editedText_ = text;
            editedScreen_ = run.screen;
            editedItem_ = static_cast<std::int16_t>(c);
        }
        if (key == key::F1) {
            ShowScreenHelp();
            // Reading the help loses nothing: the entry goes on with the text
            // and the cursor as the operator left them.
            if (edited) continue;
            key = 0;
        } else if (key == key::F4) {
            key = 0;
            if (item.ListNo > 0) result = OpenItemList(run, c, key);
        } else if (edited) {
            if (item.DescWidth != 0) ShowEditedText(run, c, text);
            if (key != key::Esc) {
                // A blank start left blank keeps the value the item had.
                const std::string& accepted = (IsBlank(text) && (item.Flags & (kStartBlank | kHiddenEntry)) != 0) ? item.Value : text;
                result = hooks_.AcceptItem(run.screen, static_cast<std::int16_t>(c), std::string(accepted), key);
                if (result != 0) {
                    Refusal refused(Refusal::Kind::ValueRefused);
                    refused.screen = run.screen;
                    refused.item = static_cast<std::int16_t>(c);
                    keyboard_.ReportRefusal(refused);
                }
            } else {
                hooks_.ShowItemValue(run.screen, static_cast<std::int16_t>(c));
            }
        }
        FindEditableRange(run);
        if (result == 0) break;
        Beep();
        position = 0;
    }

    if (hidden) keyboard_.SetExitKeys("v", "");
    keyboard_.SetExitKeys("-", "");
    return key;
}

void FormEngine::ShowScreenHelp() {
    const std::string topic = TrimTrailingBlanks(menuName_);
    const HelpOutcome outcome = topic.empty() ? HelpOutcome::NoPage : help_.ShowHelp(topic);
    if (outcome == HelpOutcome::NoPage) {
        keyboard_.ReportRefusal(Refusal(Refusal::Kind::NoHelp));
    } else if (outcome == HelpOutcome::NoRoom) {
        Refusal refusal(Refusal::Kind::PopupTooLarge);
        refusal.text = "L'ajuda";
        refusal.rows = kHelpLeastRows;
        refusal.columns = keyboard_.console().VisibleColumns();
        keyboard_.ReportRefusal(refusal);
    }
}

std::int16_t FormEngine::OpenItemList(Run& run, int& c, key::Code& key) {
    std::int16_t list = tables_.Item(run.screen, c).ListNo;
    for (;;) {
        std::int16_t result = listBrowser_ ? listBrowser_(list) : std::int16_t {1};
        if (result != 0) return result;
        const std::int16_t savedList = list;
        const int savedItem = c;
        std::int16_t screen = run.screen;
        std::int16_t item = static_cast<std::int16_t>(c);
        hooks_.AfterListChoice(list, screen, item);
        if (item >= 1 && item <= ItemCountOf(run)) c = item;
        FindEditableRange(run);
        if (list == 0) {
            list = savedList;
            continue;
        }
        if (c == savedItem)
            key = (c == run.last && ScreenOf(run).ParentScreen == 0) ? key::Enter : key::Down;
        else if (c < run.last && tables_.Item(run.screen, c).Has(kSkipped))
            key = key::Down;
        return 0;
    }
}

void FormEngine::ShowEditedText(const Run& run, int c, const std::string& text) {
    const FormItem& item = tables_.Item(run.screen, c);
    Screen& screen = windows_.screen();
    int width = RowWidth(item);
    // A hidden entry is never shown, not even as it was typed.
    std::string shown = item.Has(kHiddenEntry) ? std::string(text.size(), ' ') : text;
    for (std::size_t k = 0; k * static_cast<std::size_t>(width) < shown.size(); ++k) {
        windows_.LocateInWindow(item.Row + static_cast<int>(k), ValueColumn(item));
        screen.Print(std::string_view(shown).substr(k * static_cast<std::size_t>(width), static_cast<std::size_t>(width)));
    }
    windows_.LocateInWindow(item.Row, ValueColumn(item) + width);
    screen.PrintBlanks(item.DescWidth);
}

int FormEngine::ItemAtClick(const Run& run, key::Code click) {
    const FormScreen& form = tables_.Screen(run.screen);
    int r = (-click % 100) - form.WindowTop;
    int k = (-click / 100) - form.WindowLeft;
    for (int i = 1; i <= ItemCountOf(run); ++i) {
        const FormItem& item = tables_.Item(run.screen, i);
        if (item.Has(kSkipped)) continue;
        bool onRow = r >= item.Row && r < item.Row + RowCount(item);
        int right = ValueColumn(item) + RowWidth(item) + item.DescWidth;
        if (onRow && k >= item.Column && k < right) return i;
    }
    return 0;
}

FormEngine::Step FormEngine::Navigate(Run& run, int c, key::Code key) {
    const Step leave {0, key};
    switch (key) {
    case key::PgUp:
        if (c > run.first || run.leaveOnPgUp == 0) return {run.first, key};
        targetScreen_ = run.screen;
        return leave;
    case key::PgDn:
        if (c < run.last || run.leaveOnPgDn == 0) return {run.last, key};
        targetScreen_ = run.screen;
        return leave;
    case key::End:
    case key::CtrlB: return leave;
    case key::Esc: return c > run.first ? Step {run.first, key} : leave;
    case key::Enter:
    case key::Down:
    case key::F2: {
        std::int16_t parent = ScreenOf(run).ParentScreen;
        if ((c == run.last || key == key::F2) && parent != 0) {
            RunScreen(static_cast<std::int16_t>(-parent), run.leaveOnPgUp, run.leaveOnPgDn, key);
            if (EndsLinkedRun(key)) return {0, key};
        }
        if (key == key::Down && c < run.last) return {c + 1, key};
        if (key == key::Enter) return {c + 1, key};
        return {c, key};
    }
    case key::Up:
        if (c > run.first) return {c - 1, key};
        if (!run.top) return {0, key::Esc};
        return {c, key};
    case 0: return {c, key};
    default: break;
    }
    if (key < 0) {
        int clicked = ItemAtClick(run, key);
        return {clicked != 0 ? clicked : c, key};
    }
    return leave;
}

}  // namespace qp
