// What a program supplies to the form engine: drawing, showing and accepting
// its items and screens, and the lines of its pop-up lists.
#pragma once

#include <cstdint>
#include <string>

#include "input/key_codes.h"

namespace qp {

class FormHooks {
public:
    virtual ~FormHooks() = default;
    virtual void DrawScreen(std::int16_t screen) = 0;
    virtual void ShowItemValue(std::int16_t screen, std::int16_t item) = 0;
    // 0 accepts the text, anything else refuses it.
    virtual std::int16_t AcceptItem(std::int16_t screen, std::int16_t item, const std::string& text, key::Code key) = 0;
    // 0 lets the operator leave the screen, anything else keeps them in it.
    virtual std::int16_t AcceptScreen(std::int16_t screen, key::Code key) = 0;
    // May change the list number (0: open the list again) and the item.
    virtual void AfterListChoice(std::int16_t& list, std::int16_t& screen, std::int16_t& item) = 0;
    // Before a list opens: a non-zero result aborts it; fills the start key and the key range.
    virtual std::int16_t ListStart(std::int16_t list, std::string& startKey, std::string& keyRange) = 0;
    // The line shown for the record just read; empty leaves the record out.
    virtual std::string ListLine(std::int16_t list) = 0;
};

}  // namespace qp
