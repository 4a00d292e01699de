#include "platform/printing.h"

namespace qp {
namespace {

// The count of continuation bytes a UTF-8 lead byte announces; -1 for a byte
// that cannot start a character.
int ContinuationBytes(unsigned char lead) {
    if (lead < 0x80) return 0;
    if (lead >= 0xC2 && lead <= 0xDF) return 1;
    if (lead >= 0xE0 && lead <= 0xEF) return 2;
    if (lead >= 0xF0 && lead <= 0xF4) return 3;
    return -1;
}

}  // namespace

bool IsPossiblePrinterName(const std::string& name) {
    if (name.empty()) return false;
    for (std::size_t i = 0; i < name.size();) {
        const auto lead = static_cast<unsigned char>(name[i]);
        if (lead < 0x20 || lead == 0x7F) return false;
        const int extra = ContinuationBytes(lead);
        if (extra < 0 || i + static_cast<std::size_t>(extra) >= name.size()) return false;
        for (int k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(name[i + static_cast<std::size_t>(k)]) & 0xC0) != 0x80) return false;
        // U+0080 to U+009F are control characters too (0x9B starts a terminal's sequences).
        if (lead == 0xC2 && static_cast<unsigned char>(name[i + 1]) < 0xA0) return false;
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

}  // namespace qp
