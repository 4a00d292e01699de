// The form engine: runs one screen of the form tables, taking the operator
// from item to item with the field editor and asking the program's hooks to
// draw, accept and leave.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "input/field_editor.h"
#include "input/form_hooks.h"
#include "input/form_tables.h"
#include "input/key_codes.h"
#include "input/keyboard.h"
#include "screen/colours.h"
#include "screen/help.h"
#include "screen/windows.h"

namespace qp {

// The item whose field is being edited, with its text as typed so far.
struct FieldInEdit {
    std::int16_t screen = 0;
    std::int16_t item = 0;
    std::string text;
};

class FormEngine {
public:
    // Opens a pop-up list and returns 0 when the operator chose a line,
    // anything else when the list was cancelled or could not be shown.
    using ListBrowserFn = std::function<std::int16_t(std::int16_t list)>;

    // menuName is the session's help topic; without a list browser, F4 on an
    // item with a list counts as a cancelled list.
    FormEngine(FormTables& tables, FormHooks& hooks, FieldEditor& editor, Keyboard& keyboard, Windows& windows,
               Colours& colours, Help& help, std::string menuName, ListBrowserFn listBrowser = {})
        : tables_(tables), hooks_(hooks), editor_(editor), keyboard_(keyboard), windows_(windows), colours_(colours),
          help_(help), menuName_(std::move(menuName)), listBrowser_(std::move(listBrowser)) {}

    // Runs a screen until it is left; key (out) is the key that ended it. A
    // negative screen number runs that screen as the continuation of a
    // linked one. leaveOnPgUp / leaveOnPgDn: 0 keeps the operator in the
    // screen on PgUp at the first item / PgDn at the last.
    void RunScreen(std::int16_t screen, std::int16_t leaveOnPgUp, std::int16_t leaveOnPgDn, key::Code& key);

    // The last completed field edit; cleared when a screen is left.
    const std::string& EditedText() const { return editedText_; }
    std::int16_t EditedScreen() const { return editedScreen_; }
    std::int16_t EditedItem() const { return editedItem_; }
    // The field being edited now, if any (for a pop-up opened from it).
    std::optional<FieldInEdit> FieldBeingEdited() const;
    // The screen that PgUp or PgDn asked to reach through linked screens; 0 = none.
    std::int16_t TargetScreen() const { return targetScreen_; }
    void SetTargetScreen(std::int16_t screen) { targetScreen_ = screen; }

private:
    struct Run {
        std::int16_t screen = 0;
        bool top = true;  // false for the continuation of a linked screen
        std::int16_t leaveOnPgUp = 0;
        std::int16_t leaveOnPgDn = 0;
        int first = 1;
        int last = 0;
    };
    // What the navigation decided for the current item.
    struct Step {
        int item = 0;  // 0 or past the last item: leave the screen
        key::Code key = 0;
    };

    FormScreen& ScreenOf(const Run& run) { return tables_.Screen(run.screen); }
    int ItemCountOf(const Run& run);
    void FindEditableRange(Run& run);
    bool ReachesTarget(std::int16_t screen);
    bool EndsLinkedRun(key::Code key) const;
    void OpenWindow(const FormScreen& screen);
    // Runs the item loop from `first`; returns the key that leaves the screen.
    key::Code RunItems(Run& run, key::Code key);
    // Edits item c until it is accepted; returns the key to navigate with
    // (a list choice may have moved c).
    key::Code EditItem(Run& run, int& c, key::Code key);
    // F4: 0 when the list gave a choice, with item and key set for navigation.
    std::int16_t OpenItemList(Run& run, int& c, key::Code& key);
    void ShowEditedText(const Run& run, int c, const std::string& text);
    // F1: the topic's help page, or why there is none.
    void ShowScreenHelp();
    Step Navigate(Run& run, int c, key::Code key);
    int ItemAtClick(const Run& run, key::Code click);
    int NextEditable(const Run& run, int c);
    void Beep();

    FormTables& tables_;
    FormHooks& hooks_;
    FieldEditor& editor_;
    Keyboard& keyboard_;
    Windows& windows_;
    Colours& colours_;
    Help& help_;
    std::string menuName_;
    ListBrowserFn listBrowser_;

    std::string editedText_;
    std::int16_t editedScreen_ = 0;
    std::int16_t editedItem_ = 0;
    std::int16_t targetScreen_ = 0;
    std::int16_t editingScreen_ = 0;  // the item whose field is open, 0 between edits
    std::int16_t editingItem_ = 0;
};

}  // namespace qp
