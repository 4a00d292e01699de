#include "platform/safe_path.h"

#include <cstdio>

namespace qp {
namespace {

std::string HexByte(unsigned char byte) {
    char text[5];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

bool IsDriveColon(std::string_view text, std::size_t at) {
    if (at != 1) return false;
    const char drive = text[0];
    return (drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z');
}

}  // namespace

std::optional<std::string> PathRefusal(std::string_view text, bool windowsNames) {
    for (std::size_t at = 0; at < text.size(); ++at) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte == 0) return std::string("holds a NUL byte");
        if (byte < 0x20 || byte == 0x7F) return "holds the control byte " + HexByte(byte);
        if (windowsNames && byte == ':' && !IsDriveColon(text, at))
            return std::string("holds a \":\" that is no drive's");
    }
    return std::nullopt;
}

std::optional<SafePath> SafePath::From(std::string text, bool windowsNames, std::string* refusal) {
    if (std::optional<std::string> why = PathRefusal(text, windowsNames)) {
        if (refusal) *refusal = *why;
        return std::nullopt;
    }
    return SafePath(std::move(text));
}

}  // namespace qp
