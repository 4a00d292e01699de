// The terminal's input bytes, in chunks of any size with pauses anywhere:
// with the Esc bytes taken out, every printable ASCII byte sent comes out as
// that character, in order, and nothing else printable is made up; with them
// left in, decoding never stalls and pastes stay bounded.
#include "fuzz_support.h"
#include "screen/terminal_decoder.h"

using namespace qp;

namespace {

// Feeds the bytes cut where `cuts` says, with a pause of its choosing after some chunks.
std::vector<DecodedEvent> Decode(std::string_view bytes, std::string_view cuts) {
    TerminalDecoder decoder;
    std::vector<DecodedEvent> events;
    auto drain = [&] {
        DecodedEvent e;
        while (decoder.Next(e)) events.push_back(e);
    };
    std::size_t at = 0;
    for (std::size_t i = 0; at < bytes.size(); ++i) {
        const auto cut = i < cuts.size() ? static_cast<unsigned char>(cuts[i]) : 255;
        const std::size_t length = std::min<std::size_t>(1 + cut % 16, bytes.size() - at);
        decoder.Feed(bytes.substr(at, length));
        at += length;
        if (cut & 0x80) decoder.TimePassed(cut & 0x40 ? TerminalDecoder::kLoneEscMilliseconds : 5);
        drain();
    }
    decoder.TimePassed(TerminalDecoder::kLoneEscMilliseconds);
    drain();
    return events;
}

bool Printable(unsigned char c) { return c >= 0x20 && c < 0x7F; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string cuts = in.ConsumeRandomLengthString(64);
    const std::string bytes = in.ConsumeRemainingBytesAsString();

    for (const DecodedEvent& e : Decode(bytes, cuts))
        fuzz::Check(e.pasted.size() <= 2 * bytes.size(), "a paste longer than what was sent");

    std::string plain;
    for (char c : bytes)
        if (c != '\x1b') plain += c;
    std::string sent;
    for (char c : plain)
        if (Printable(static_cast<unsigned char>(c))) sent += c;
    std::string typed;
    for (const DecodedEvent& e : Decode(plain, cuts)) {
        fuzz::Check(!e.paste, "a paste without its start sequence");
        if (e.event.kind == InputEvent::Kind::Key && Printable(e.event.character) && (e.event.control & kLeftCtrl) == 0)
            typed += static_cast<char>(e.event.character);
    }
    fuzz::Check(typed == sent, "typed \"" + typed + "\" for \"" + sent + "\"");
    return 0;
}
