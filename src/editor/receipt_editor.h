// The receipt layout editor: runs screen 1 of the form through the form
// engine, supplies the program's hooks (title, old-format switch, numeric
// rows, option descriptions, row plan check) and stores the settings.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "editor/receipt_messages.h"
#include "editor/receipt_settings.h"
#include "format/preferences.h"
#include "input/form_engine.h"
#include "input/form_hooks.h"
#include "input/form_tables.h"
#include "input/keyboard.h"
#include "input/refusal.h"
#include "screen/colours.h"
#include "screen/windows.h"
#include "text/language.h"

namespace qp {

// Hook codes of the form file that this program gives a meaning to.
enum ReceiptHook : std::int16_t {
    kPlainItem = 0,
    kOldFormatSwitch = 1,
    kRowNumber = 2,
};

struct EditResult {
    enum class Outcome {
        Saved,          // something changed and Tarn.ini now holds it
        NothingToSave,  // left with Esc, or nothing changed
        SaveFailed,     // a save failed, the operator was told and then left with Esc; Tarn.ini is as it was
        Refused,        // Tarn.ini is there but may not be used: the operator was told, the form never ran
    };
    Outcome outcome = Outcome::NothingToSave;
    key::Code key = 0;  // the key that ended the screen
    Message message;    // why saving failed, or why Tarn.ini was refused
};

// The row of the form's window where the status line says how the plan
// stands, or why something was just refused: the empty row between the note
// and the separator.
constexpr int kStatusRow = 15;

class ReceiptEditor : public FormHooks, public RefusalListener {
public:
    // sessionTitle is the session's SessionTitle, shown centred on row 1.
    ReceiptEditor(FormTables& tables, ReceiptSettings& settings, Windows& windows, Colours& colours,
                  Keyboard& keyboard, Translator& translator, UserPreferences& preferences, std::string sessionTitle);

    // Loads the settings, runs screen 1 and stores the settings when it is
    // left with any key but Esc and something changed. A failed save keeps
    // the operator on the screen with the edits. A Tarn.ini that is there
    // but may not be used is named in a box before the form is shown, and
    // nothing more is done. `engine` must have been built with this editor
    // as its hooks.
    EditResult EditReceiptLayout(FormEngine& engine);

    void DrawScreen(std::int16_t screen) override;
    void ShowItemValue(std::int16_t screen, std::int16_t item) override;
    std::int16_t AcceptItem(std::int16_t screen, std::int16_t item, const std::string& text, key::Code key) override;
    std::int16_t AcceptScreen(std::int16_t screen, key::Code key) override;
    void AfterListChoice(std::int16_t& list, std::int16_t& screen, std::int16_t& item) override;
    std::int16_t ListStart(std::int16_t list, std::string& startKey, std::string& keyRange) override;
    std::string ListLine(std::int16_t list) override;

    // The status line says why, until the next key.
    void Refused(const Refusal& refusal) override;
    void KeyAfterRefusal() override;

private:
    void ClearScreen();
    void ApplyOldFormatSwitch(std::int16_t screen, std::int16_t item);
    void PrintValue(const FormItem& shown);
    void PrintWrapped(const FormItem& item);
    // The box of a refusal or failure: shown until a key is pressed.
    void ShowMessage(const std::string& text);
    void ShowPlanMessage(RowPlanFault fault);
    bool Save();
    void RedrawValues();
    // The status line as things stand: a refusal's reason, else after a plan
    // box how to leave without saving, else the plan.
    void ShowStatus();
    bool FormWindowIsCurrent();

    FormTables& tables_;
    ReceiptSettings& settings_;
    Windows& windows_;
    Colours& colours_;
    Keyboard& keyboard_;
    Translator& translator_;
    UserPreferences& preferences_;
    std::string sessionTitle_;
    bool saved_ = false;
    std::optional<Message> lastFailure_;  // why the last save failed, if it did
    std::string refusal_;      // the reason shown until the next key; empty when none
    // A plan box kept the operator in, and no value has changed since with
    // the old format on.
    bool leaveHint_ = false;
};

// The column at which a title of `length` characters is centred on an
// 80-column row: 41 less half the length, halves going to the even neighbour.
int TitleColumn(int length);

}  // namespace qp
