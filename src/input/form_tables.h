// The form tables: screens, their items and the pop-up lists, as read from
// the form definition file. Screens, items and lists are numbered from 1.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "text/cp850.h"

namespace qp {

// Flags bits of an item.
enum ItemFlag : std::int16_t {
    kStartBlank = 1,   // the edit starts from a blank text
    kHiddenEntry = 2,  // starts blank, masked while typed, never displayed
    kSkipped = 4,      // never edited, only displayed
    kCursorAtEnd = 8,  // the edit starts after the last non-blank character
};

struct FormItem {
    std::int16_t Row = 0;
    std::int16_t Column = 0;
    std::int16_t Length = 0;
    std::int16_t WrapWidth = 0;
    std::int16_t DescWidth = 0;
    std::int16_t Flags = 0;
    std::int16_t HookCode = 0;
    std::int16_t ListNo = 0;
    std::string Label;
    std::string Options;
    std::string Value;  // always exactly Length characters

    // Every assignment is left-aligned, padded with blanks and cut to Length.
    void Assign(std::string_view text) { Value = FitWidth(text, Length > 0 ? static_cast<std::size_t>(Length) : 0); }
    bool Has(ItemFlag flag) const { return (Flags & flag) != 0; }
};

struct FormScreen {
    std::string ScreenExitKeys;
    std::int16_t ItemCount = 0;
    std::int16_t ParentScreen = 0;
    std::int16_t WindowTop = 0;
    std::int16_t WindowLeft = 0;
    std::int16_t WindowBottom = 0;
    std::int16_t WindowRight = 0;
    std::vector<FormItem> items;  // items[0] is item 1; ItemCount of them
};

struct FormList {
    // 0 record file, 1 key number, 2-5 window top/left/bottom/right,
    // 6 screen run first, 7 list opened with F4 from this one.
    std::array<std::int16_t, 8> fields {};
    std::string Title;
};

struct FormTables {
    std::int16_t ScreenCount = 0;
    std::int16_t MaxItems = 0;
    std::vector<FormScreen> screens;  // screens[0] is screen 1
    std::vector<FormList> lists;      // lists[0] is list 0 (unused), lists[l] list l

    bool HasScreen(int s) const { return s >= 1 && s <= static_cast<int>(screens.size()); }
    bool HasItem(int s, int i) const {
        return HasScreen(s) && i >= 1 && i <= static_cast<int>(screens[static_cast<std::size_t>(s - 1)].items.size());
    }
    bool HasList(int l) const { return l >= 1 && l < static_cast<int>(lists.size()); }
    FormScreen& Screen(int s) { return screens.at(static_cast<std::size_t>(s - 1)); }
    FormItem& Item(int s, int i) { return Screen(s).items.at(static_cast<std::size_t>(i - 1)); }
    FormList& List(int l) { return lists.at(static_cast<std::size_t>(l)); }
};

}  // namespace qp
