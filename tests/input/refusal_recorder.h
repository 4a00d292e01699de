// A refusal listener that writes down what it is told, one line each:
// "FieldFull", "NotAChoice Sí/No", "ValueRefused 1.2", "PopupTooLarge La
// calculadora 26x25", "NoHelp", and "next key" for the key after a refusal.
#pragma once

#include <string>
#include <vector>

#include "input/refusal.h"

namespace qp::testing {

class RefusalRecorder : public RefusalListener {
public:
    void Refused(const Refusal& refusal) override { log.push_back(Line(refusal)); }
    void KeyAfterRefusal() override { log.push_back("next key"); }

    static std::string Line(const Refusal& refusal) {
        switch (refusal.kind) {
        case Refusal::Kind::FieldFull: return "FieldFull";
        case Refusal::Kind::NotAChoice: return "NotAChoice " + refusal.text;
        case Refusal::Kind::ValueRefused:
            return "ValueRefused " + std::to_string(refusal.screen) + "." + std::to_string(refusal.item);
        case Refusal::Kind::PopupTooLarge:
            return "PopupTooLarge " + refusal.text + " " + std::to_string(refusal.columns) + "x" +
                   std::to_string(refusal.rows);
        case Refusal::Kind::NoHelp: return "NoHelp";
        }
        return "?";
    }

    std::vector<std::string> log;
};

}  // namespace qp::testing
