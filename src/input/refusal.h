// Why the form, a field or a pop-up refused what the operator did. The
// generic layers only say what happened; the program that runs them says it
// to the operator in its own words.
#pragma once

#include <cstdint>
#include <string>

namespace qp {

struct Refusal {
    enum class Kind {
        FieldFull,      // a character typed where the field has no room left
        NotAChoice,     // a key that a field of choices does not take
        ValueRefused,   // the program refused an item's text (its hook knows why)
        PopupTooLarge,  // a pop-up larger than the part of the console that is seen
        NoHelp,         // F1 on a screen whose help topic names no page
    };
    explicit Refusal(Kind what) : kind(what) {}

    Kind kind;
    // ValueRefused: the item.
    std::int16_t screen = 0;
    std::int16_t item = 0;
    // NotAChoice: the choices, as shown ("Sí/No"). PopupTooLarge: the
    // pop-up's name, in Catalan ("La calculadora").
    std::string text;
    // PopupTooLarge: the console it needs.
    int rows = 0;
    int columns = 0;
};

// Implemented by the program that tells the operator why.
class RefusalListener {
public:
    virtual ~RefusalListener() = default;
    virtual void Refused(const Refusal& refusal) = 0;
    // The first key after a refusal: the operator has moved on.
    virtual void KeyAfterRefusal() = 0;
};

}  // namespace qp
