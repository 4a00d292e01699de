#include "input/field_editor.h"

#include <algorithm>
#include <utility>

#include "text/cp850.h"

namespace qp {

namespace {

constexpr std::string_view kWordDelimiters = " ,.;:";
constexpr char32_t kLeftArrow = U'\u25C4';
constexpr char32_t kRightArrow = U'\u25BA';
constexpr int kInsertCursor = 50;
constexpr int kOverwriteCursor = 100;

bool IsDelimiter(char ch) { return kWordDelimiters.find(ch) != std::string_view::npos; }

// Characters that the operator can type into a field.
bool IsTypable(key::Code k) { return (k >= 32 && k <= 126) || (k >= 128 && k <= 254); }

// Codes that the clipboard may carry but a field must not hold.
bool IsControlByte(unsigned char b) { return b < 32 || b == 127 || b == 255; }

}  // namespace

int WordLeft(std::string_view text, int position) {
    int size = static_cast<int>(text.size());
    position = std::min(position, size + 1);
    if (position <= 1) return 1;
    bool wasWord = !IsDelimiter(text[static_cast<std::size_t>(position - 2)]);
    for (int q = position - 2; q >= 1; --q) {
        bool isWord = !IsDelimiter(text[static_cast<std::size_t>(q - 1)]);
        // A stop at the first position goes to 1, not just right of it.
        if (wasWord && !isWord) return q == 1 ? 1 : q + 1;
        wasWord = isWord;
    }
    return 1;
}

int WordRight(std::string_view text, int position) {
    int cap = static_cast<int>(text.size()) + 1;
    if (position < 1) position = 1;
    if (position >= cap) return cap;
    bool wasWord = !IsDelimiter(text[static_cast<std::size_t>(position - 1)]);
    for (int q = position + 1; q < cap; ++q) {
        bool isWord = !IsDelimiter(text[static_cast<std::size_t>(q - 1)]);
        if (!wasWord && isWord) return q;
        wasWord = isWord;
    }
    return cap;
}

void FieldEditor::SetUpChoices(Edit& e) {
    std::size_t capacity = static_cast<std::size_t>(e.capacity());
    for (const Choice& choice : e.choices)
        e.choiceWidth = std::max(e.choiceWidth, static_cast<int>(choice.description.size()));
    e.current = FindChoice(e.choices, *e.text, capacity);
    PrintArrows(e, true);
}

void FieldEditor::Pick(Edit& e, std::size_t choice) {
    e.current = choice;
    e.picked = true;
    e.redraw = true;
}

std::string FieldEditor::ShownChoice(const Edit& e) const {
    return e.current ? e.choices[*e.current].description : TrimBlanks(*e.text);
}

void FieldEditor::PrintArrows(const Edit& e, bool visible) {
    Screen& screen = windows_.screen();
    // A field at the console's left edge has no room for the left arrow.
    if (windows_.WindowInnerLeft() + e.column - 2 >= 1) {
        windows_.LocateInWindow(e.row, e.column - 1);
        screen.PrintU32(std::u32string(1, visible ? kLeftArrow : U' '));
    }
    windows_.LocateInWindow(e.row, e.column + e.choiceWidth);
    screen.PrintU32(std::u32string(1, visible ? kRightArrow : U' '));
}

void FieldEditor::Redraw(Edit& e) {
    Screen& screen = windows_.screen();
    std::string& text = *e.text;
    int capacity = e.capacity();
    if (e.isChoice() && e.picked) text = FitWidth(e.choices[*e.current].code, static_cast<std::size_t>(capacity));
    key::Code mask = keyboard_.FieldMask();
    for (int k = 0; 1 + k * e.width <= capacity; ++k) {
        windows_.LocateInWindow(e.row + k, e.column);
        int start = k * e.width;
        int count = std::min(e.width, capacity - start);
        if (mask != 0) {
            // width - 1 on every row: a one-row field (width = length + 1) shows one per character.
            screen.Print(std::string(static_cast<std::size_t>(std::max(e.width - 1, 0)), static_cast<char>(mask)));
        } else if (e.isChoice()) {
            // A description never wraps: it is shown on the first row only.
            if (k == 0)
                screen.Print(FitWidth(ShownChoice(e), static_cast<std::size_t>(e.choiceWidth)));
        } else {
            screen.Print(std::string_view(text).substr(static_cast<std::size_t>(start), static_cast<std::size_t>(count)));
        }
    }
}

int FieldEditor::CursorSizeForMode() const {
    return keyboard_.console().InsertToggle() ? kInsertCursor : kOverwriteCursor;
}

void FieldEditor::PlaceCursor(const Edit& e) {
    int line = (e.position - 1) / e.width;
    int row = e.row + line;
    int column = e.column + (e.position - 1) % e.width;
    // After the last character of a full row the cursor stays at that row's end.
    if (e.position == e.cap && column == e.column && line > 0) {
        row -= 1;
        column = e.column + e.width;
    }
    windows_.LocateInWindow(row, column);
    keyboard_.console().SetCursorSize(e.isChoice() ? 0 : CursorSizeForMode());
}

key::Code FieldEditor::ReadKey(const Edit& e) {
    Console& console = keyboard_.console();
    key::Code k = 0;
    while (k == 0) {
        KeyRead read = keyboard_.ReadKeyEvent();
        k = read.key;
        if (k == key::Ins) {
            console.SetInsertToggle(!console.InsertToggle());
            if (!e.isChoice()) console.SetCursorSize(CursorSizeForMode());
            k = 0;
        } else if (k == 0 && read.button != 0) {
            k = static_cast<key::Code>(-(read.column * 100 + read.row));
        } else if (k == 0) {
            keyboard_.WaitForInput();
        }
    }
    console.SetCursorSize(0);
    return k;
}

std::optional<key::Code> FieldEditor::MouseKey(Edit& e, key::Code key) const {
    int c = -key / 100;
    int r = -key % 100;
    int fieldRow = windows_.WindowInnerTop() + e.row - 1;
    int fieldColumn = windows_.WindowInnerLeft() + e.column - 1;
    if (e.isChoice()) {
        if (r != fieldRow) return key;
        if (c == fieldColumn - 1) return key::Left;
        if (c == fieldColumn + e.choiceWidth) return key::Right;
        if (c >= fieldColumn && c < fieldColumn + e.choiceWidth) return std::nullopt;
        return key;
    }
    // Every row the field is drawn on takes clicks, the last one too when it is short.
    int rows = std::max(1, (e.capacity() + e.width - 1) / e.width);
    if (r < fieldRow || r >= fieldRow + rows || c < fieldColumn || c >= fieldColumn + e.width) return key;
    int position = (r - fieldRow) * e.width + (c - fieldColumn) + 1;
    if (position > e.cap) return key;
    e.position = position;
    return std::nullopt;
}

void FieldEditor::TypeCharacter(Edit& e, char ch) {
    std::string& text = *e.text;
    std::size_t at = static_cast<std::size_t>(e.position - 1);
    if (e.position >= e.cap) return RefuseNoRoom();
    if (keyboard_.console().InsertToggle()) {
        // Insert only while the text has a blank to give up at its end.
        if (text.back() != ' ') return RefuseNoRoom();
        text.pop_back();
        text.insert(at, 1, ch);
        e.redraw = true;
    } else {
        text[at] = ch;
        if (keyboard_.FieldMask() == 0) {
            windows_.LocateInWindow(e.row + (e.position - 1) / e.width, e.column + (e.position - 1) % e.width);
            windows_.screen().Print(std::string(1, ch));
        }
    }
    e.position += 1;
}

void FieldEditor::RefuseNoRoom() { keyboard_.ReportRefusal(Refusal(Refusal::Kind::FieldFull)); }

void FieldEditor::RefuseForChoices(const Edit& e) {
    Refusal refusal(Refusal::Kind::NotAChoice);
    for (const Choice& choice : e.choices) refusal.text += (refusal.text.empty() ? "" : "/") + choice.description;
    keyboard_.ReportRefusal(refusal);
}

void FieldEditor::SelectByLetter(Edit& e, unsigned char ch) {
    bool folding = textUtils_.FoldAccents;
    textUtils_.FoldAccents = true;
    char wanted = textUtils_.UpperText(std::string(1, static_cast<char>(ch)))[0];
    std::size_t n = e.choices.size();
    // From the choice after the current one; with none current, from the first.
    std::size_t from = e.current ? *e.current : n - 1;
    std::optional<std::size_t> found;
    for (std::size_t step = 1; step <= n && !found; ++step) {
        std::size_t i = (from + step) % n;
        const std::string& description = e.choices[i].description;
        if (!description.empty() && textUtils_.UpperText(description.substr(0, 1))[0] == wanted) found = i;
    }
    textUtils_.FoldAccents = folding;
    if (found)
        Pick(e, *found);
    else
        RefuseForChoices(e);
    e.redraw = true;
}

void FieldEditor::Paste(Edit& e) {
    std::string clip = keyboard_.console().Clipboard();
    clip.erase(std::remove_if(clip.begin(), clip.end(), [](char c) { return IsControlByte(static_cast<unsigned char>(c)); }),
               clip.end());
    clip = TrimBlanks(clip);
    std::string& text = *e.text;
    std::size_t at = static_cast<std::size_t>(e.position - 1);
    for (std::size_t i = 0; i < clip.size() && at + i < text.size(); ++i) text[at + i] = clip[i];
    e.redraw = true;
}

FieldEditor::Outcome FieldEditor::ApplyOrdinaryKey(Edit& e, key::Code k) {
    std::string& text = *e.text;
    if (IsTypable(k)) {
        TypeCharacter(e, static_cast<char>(k));
        return Outcome::Consumed;
    }
    switch (k) {
    case key::Right: e.position = std::min(e.position + 1, e.cap); break;
    case key::Left: e.position = std::max(e.position - 1, 1); break;
    case key::Backspace:
        if (e.position > 1) {
            e.position -= 1;
            text.erase(static_cast<std::size_t>(e.position - 1), 1);
            text.push_back(' ');
            e.redraw = true;
        }
        break;
    case key::Del:
        if (e.position < e.cap) {
            text.erase(static_cast<std::size_t>(e.position - 1), 1);
            text.push_back(' ');
            e.redraw = true;
        }
        break;
    case key::Home: e.position = 1; break;
    case key::End: e.position = static_cast<int>(TrimTrailingBlanks(text).size()) + 1; break;
    case key::CtrlHome:
    case key::CtrlY:
        text.assign(text.size(), ' ');
        e.position = 1;
        e.redraw = true;
        break;
    case key::Up:
    case key::BackTab:
        if (e.position <= e.width) return Outcome::MayEnd;
        e.position -= e.width;
        break;
    case key::Down:
        if (e.position > e.cap - e.width) return Outcome::MayEnd;
        e.position += e.width;
        break;
    case key::CtrlLeft:
        if (e.position <= 1) return Outcome::MayEnd;
        e.position = WordLeft(text, e.position);
        break;
    case key::CtrlRight:
        if (e.position >= e.cap) return Outcome::MayEnd;
        e.position = WordRight(text, e.position);
        break;
    case key::CtrlC:
        // A masked entry (a password) never leaves the field.
        if (keyboard_.FieldMask() == 0) keyboard_.console().SetClipboard(TrimBlanks(text));
        break;
    case key::CtrlV: Paste(e); break;
    default: return Outcome::MayEnd;
    }
    return Outcome::Consumed;
}

FieldEditor::Outcome FieldEditor::ApplyChoiceKey(Edit& e, key::Code k) {
    std::size_t n = e.choices.size();
    switch (k) {
    case ' ':
    case key::Right: Pick(e, e.current ? (*e.current + 1) % n : 0); return Outcome::Consumed;
    case key::Left: Pick(e, e.current ? (*e.current + n - 1) % n : n - 1); return Outcome::Consumed;
    case key::Home: e.position = 1; return Outcome::Consumed;
    case key::End: e.position = static_cast<int>(TrimTrailingBlanks(*e.text).size()) + 1; return Outcome::Consumed;
    case key::Backspace:
    case key::Del:
    case key::CtrlHome:
    case key::CtrlY:
    case key::CtrlV: RefuseForChoices(e); return Outcome::Consumed;
    case key::CtrlC: keyboard_.console().SetClipboard(ShownChoice(e)); return Outcome::Consumed;
    default: break;
    }
    if (IsTypable(k)) {
        SelectByLetter(e, static_cast<unsigned char>(k));
        return Outcome::Consumed;
    }
    return Outcome::MayEnd;
}

std::optional<key::Code> FieldEditor::EndingKey(key::Code k) const {
    switch (k) {
    case key::BackTab: k = key::Up; break;
    case key::Tab: k = key::Enter; break;
    case key::Enter:
        if (keyboard_.IsExitKey(key::End)) k = key::End;
        break;
    case key::CtrlF4:
    case key::AltF4: k = key::Esc; break;
    default: break;
    }
    if (keyboard_.ExitKeysEmpty()) return k;
    if (auto result = keyboard_.ExitKeyResult(k)) return result;
    // A click outside the field always ends the entry.
    if (k < 0) return k;
    return std::nullopt;
}

void FieldEditor::EditField(int& row, int& column, int& width, std::string& text, int& position, key::Code& key) {
    Console& console = keyboard_.console();
    Edit e;
    e.cap = static_cast<int>(text.size()) + 1;
    // 0 means where the cursor stands, expressed in the current window.
    if (row == 0) row = console.CursorRow() - (windows_.WindowInnerTop() - 1);
    if (column == 0) column = console.CursorColumn() - (windows_.WindowInnerLeft() - 1);
    if (width <= 0) width = e.cap;
    position = std::clamp(position, 1, e.cap);
    e.row = row;
    e.column = column;
    e.width = width;
    e.text = &text;
    e.position = position;
    e.choices = ParseChoices(fieldChoices_);
    if (e.isChoice()) SetUpChoices(e);
    // A pop-up may run a nested edit: the outer one is the current one again after it.
    const std::string* outer = std::exchange(editing_, &text);

    colours_.SetColour("u");
    e.redraw = true;
    for (;;) {
        if (e.redraw) Redraw(e);
        e.redraw = false;
        PlaceCursor(e);
        key::Code k = ReadKey(e);
        if (k < 0) {
            std::optional<key::Code> translated = MouseKey(e, k);
            if (!translated) continue;
            k = *translated;
        }
        if (ApplyKey(e, k) == Outcome::Consumed) continue;
        if (std::optional<key::Code> ending = EndingKey(k)) {
            key = *ending;
            break;
        }
    }

    editing_ = outer;
    colours_.SetColour("h");
    if (e.isChoice()) PrintArrows(e, false);
    windows_.LocateInWindow(row, column);
    position = e.position;
}

FieldEditor::Outcome FieldEditor::ApplyKey(Edit& e, key::Code k) {
    return e.isChoice() ? ApplyChoiceKey(e, k) : ApplyOrdinaryKey(e, k);
}

}  // namespace qp
