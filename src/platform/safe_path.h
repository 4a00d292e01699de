// Where text becomes a path. The program builds paths from what files and
// environment variables hold, and those bytes may be anybody's: a NUL byte
// cuts a path where the system reads it (so that "notes.txt\0" + name opens
// notes.txt itself), and no control byte belongs in a file name. One rule
// decides which text may name a file, for the session's settings and, as a
// last line, for every call the platform makes to the system.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qp {

// Why `text` may not name a file; nothing when it may. Refused: a NUL or any
// other control byte (0x00-0x1F, 0x7F); with Windows names also a ":" that is
// not a drive's ("C:"), which would name a stream inside a file.
std::optional<std::string> PathRefusal(std::string_view text, bool windowsNames);

// Text that passed PathRefusal: the only kind of path the platform hands to
// the system.
class SafePath {
public:
    // Nothing, with `refusal` saying why, for text that may not name a file.
    static std::optional<SafePath> From(std::string text, bool windowsNames, std::string* refusal = nullptr);

    const std::string& text() const { return text_; }

private:
    explicit SafePath(std::string text) : text_(std::move(text)) {}
    std::string text_;
};

}  // namespace qp
