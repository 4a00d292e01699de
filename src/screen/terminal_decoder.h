// Turns the bytes an xterm-compatible terminal sends into the key and mouse
// events a Windows console would give for the same keys. No I/O here: the
// caller feeds bytes and says how much time passed, so that every case can be
// driven from a table.
#pragma once

#include <deque>
#include <string>
#include <string_view>

#include "screen/console.h"

namespace qp {

struct DecodedEvent {
    InputEvent event;
    // Set for a bracketed paste: the pasted text (code page 850, lines ending
    // in CR LF) that goes on the clipboard; `event` is then the Ctrl+V press.
    bool paste = false;
    std::string pasted;
};

class TerminalDecoder {
public:
    // An Esc alone is only known to be a key once no other byte has followed it
    // for this long; keys sent by the terminal arrive well within it.
    static constexpr int kLoneEscMilliseconds = 40;

    void Feed(std::string_view bytes);
    // No byte has arrived for `milliseconds` since the last Feed: an unfinished
    // sequence is then taken as the keys typed (a lone Esc, Alt+[ ...).
    void TimePassed(int milliseconds);
    bool Next(DecodedEvent& out);
    // True while decoded events wait to be taken with Next.
    bool HasEvents() const { return !events_.empty(); }
    // True while bytes wait for the rest of a sequence.
    bool HasIncompleteInput() const { return !buffer_.empty() || inPaste_; }
    // Drops decoded events; an unfinished sequence is kept so that its tail is not
    // read as typed characters.
    void DropDecoded() { events_.clear(); }

private:
    void Decode(bool timedOut);
    bool TakePastedBytes(std::size_t& pos);

    std::string buffer_;
    bool inPaste_ = false;
    std::string paste_;  // the UTF-8 pasted so far
    std::deque<DecodedEvent> events_;
};

}  // namespace qp
