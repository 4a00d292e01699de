// The texts of the messages a mode gives, in order, for tables that name
// them as the operator reads them.
#pragma once

#include <string>
#include <vector>

#include "editor/receipt_messages.h"

namespace qp::testing {

inline std::vector<std::string> Texts(const std::vector<Message>& messages) {
    std::vector<std::string> texts;
    for (const Message& message : messages) texts.push_back(message.text);
    return texts;
}

}  // namespace qp::testing
