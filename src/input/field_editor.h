// The field editor: the operator types into a fixed-length text shown on one
// or several rows, or picks one of a list of choices shown between arrows.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "format/text_utils.h"
#include "input/choices.h"
#include "input/key_codes.h"
#include "input/keyboard.h"
#include "screen/colours.h"
#include "screen/windows.h"

namespace qp {

class FieldEditor {
public:
    FieldEditor(Keyboard& keyboard, Windows& windows, Colours& colours, TextUtils& textUtils)
        : keyboard_(keyboard), windows_(windows), colours_(colours), textUtils_(textUtils) {}

    // "|S,Si|N,No": choices with their code and description; empty for an
    // ordinary field. Stays in force for every following edit.
    void SetFieldChoices(std::string_view list) { fieldChoices_ = std::string(list); }
    const std::string& FieldChoices() const { return fieldChoices_; }

    // Edits `text` in place until a key that ends the entry. row and column
    // are relative to the current window (0: where the cursor is); width is
    // the characters per row (0: one row); position is the cursor (1 to
    // length + 1). On return: the key that ended the edit, translated, and
    // negative (-(column x 100 + row)) for a click outside the field.
    void EditField(int& row, int& column, int& width, std::string& text, int& position, key::Code& key);
    // The text of the edit in progress, as typed so far (for a pop-up opened
    // from inside it); null between edits.
    const std::string* TextBeingEdited() const { return editing_; }

private:
    // One edit in progress.
    struct Edit {
        int row = 0, column = 0, width = 0, cap = 0;
        std::string* text = nullptr;
        int position = 1;
        std::vector<Choice> choices;  // empty for an ordinary field
        // The choice shown; none while the text matches no choice, which is
        // then shown as it is.
        std::optional<std::size_t> current;
        // The text becomes the current choice's code only once the operator
        // picks one: passing through a field leaves its value as it was.
        bool picked = false;
        int choiceWidth = 0;          // longest description
        bool redraw = true;
        int capacity() const { return cap - 1; }
        bool isChoice() const { return !choices.empty(); }
    };
    enum class Outcome { Consumed, MayEnd };

    void SetUpChoices(Edit& e);
    void Redraw(Edit& e);
    void PlaceCursor(const Edit& e);
    key::Code ReadKey(const Edit& e);
    // A click inside the field moves the cursor (nothing returned); on a
    // choice field's arrows it becomes Left or Right; elsewhere it stays.
    std::optional<key::Code> MouseKey(Edit& e, key::Code key) const;
    Outcome ApplyKey(Edit& e, key::Code key);
    Outcome ApplyOrdinaryKey(Edit& e, key::Code key);
    Outcome ApplyChoiceKey(Edit& e, key::Code key);
    void TypeCharacter(Edit& e, char ch);
    void SelectByLetter(Edit& e, unsigned char ch);
    // Nothing changes; the keyboard's listener is told why.
    void RefuseNoRoom();
    void RefuseForChoices(const Edit& e);
    void Pick(Edit& e, std::size_t choice);
    std::string ShownChoice(const Edit& e) const;
    void Paste(Edit& e);
    void PrintArrows(const Edit& e, bool visible);
    // The key after the ending translations; nothing when the edit goes on.
    std::optional<key::Code> EndingKey(key::Code key) const;
    int CursorSizeForMode() const;

    Keyboard& keyboard_;
    Windows& windows_;
    Colours& colours_;
    TextUtils& textUtils_;
    std::string fieldChoices_;
    const std::string* editing_ = nullptr;
};

// Cursor jumps over words; delimiters are " ,.;:". Positions are 1-based
// and run to length + 1.
int WordLeft(std::string_view text, int position);
int WordRight(std::string_view text, int position);

}  // namespace qp
