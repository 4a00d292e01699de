#include "screen/terminal_decoder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "case_name.h"
#include "screen/key_names.h"

namespace qp {
namespace {

std::string Key(unsigned ch, unsigned sc, unsigned control = 0) {
    char text[64];
    std::snprintf(text, sizeof text, "key ch=%02X scan=%02X ctl=%04X", ch, sc, control);
    return text;
}

std::string Mouse(int column, int row, int button, int action, unsigned control = 0) {
    char text[64];
    std::snprintf(text, sizeof text, "mouse %d,%d button=%d action=%d ctl=%04X", column, row, button, action, control);
    return text;
}

std::string Describe(const InputEvent& e) {
    return e.kind == InputEvent::Kind::Key ? Key(e.character, e.scan, e.control)
                                           : Mouse(e.column, e.row, e.button, e.action, e.control);
}

std::vector<std::string> DrainDescribed(TerminalDecoder& decoder) {
    std::vector<std::string> out;
    DecodedEvent d;
    while (decoder.Next(d)) out.push_back(Describe(d.event));
    return out;
}

// Feeds each chunk as a separate read (no time passing between them), then
// optionally lets the lone-Esc time pass.
std::vector<std::string> Decode(const std::vector<std::string>& chunks, bool timeOut) {
    TerminalDecoder decoder;
    for (const std::string& chunk : chunks) decoder.Feed(chunk);
    if (timeOut) decoder.TimePassed(TerminalDecoder::kLoneEscMilliseconds);
    return DrainDescribed(decoder);
}

struct Case {
    const char* what;
    std::vector<std::string> chunks;
    bool timeOut;
    std::vector<std::string> expected;
};

constexpr unsigned S = kShift, C = kLeftCtrl, A = kLeftAlt, E = kEnhanced;

const Case kCases[] = {
    // Characters carry the scan code of their key; shifted ones carry Shift.
    {"letter", {"a"}, false, {Key('a', 0x1E)}},
    {"capital", {"A"}, false, {Key('A', 0x1E, S)}},
    {"digit and its shifted sign", {"1!"}, false, {Key('1', 0x02), Key('!', 0x02, S)}},
    {"several keys in one read", {"ab\x1b[Ac"}, false, {Key('a', 0x1E), Key('b', 0x30), Key(0, scan::Up, E), Key('c', 0x2E)}},
    {"Enter", {"\r"}, false, {Key(13, scan::Enter)}},
    {"Tab", {"\t"}, false, {Key(9, scan::Tab)}},
    {"DEL is Backspace", {"\x7f"}, false, {Key(8, scan::Backspace)}},
    {"BS is Backspace", {"\x08"}, false, {Key(8, scan::Backspace)}},
    {"Ctrl+A", {"\x01"}, false, {Key(1, 0x1E, C)}},
    {"Ctrl+Z", {"\x1a"}, false, {Key(26, 0x2C, C)}},
    {"Ctrl+V", {"\x16"}, false, {Key(22, 0x2F, C)}},
    // UTF-8 from the terminal becomes code page 850.
    {"e acute", {"\xc3\xa9"}, false, {Key(0x82, 0)}},
    {"n tilde and c cedilla", {"\xc3\xb1\xc3\xa7"}, false, {Key(0xA4, 0), Key(0x87, 0)}},
    {"UTF-8 split over two reads", {"\xc3", "\xa9"}, false, {Key(0x82, 0)}},
    {"UTF-8 lead waits for the rest", {"\xc3"}, false, {}},
    {"Latin-1 byte alone", {"\xe9"}, true, {Key(0x82, 0)}},
    {"Latin-1 byte before ASCII", {"\xe9" "a"}, false, {Key(0x82, 0), Key('a', 0x1E)}},
    {"character outside the code page", {"\xe4\xb8\x80" "a"}, false, {Key('a', 0x1E)}},
    {"overlong UTF-8 types no letter", {"\xc1\xa9"}, false, {Key(0xB5, 0), Key(0xB8, 0)}},
    {"overlong UTF-8 slash", {"\xe0\x80\xaf"}, false, {Key(0x85, 0), Key(0xEE, 0)}},
    // Cursor keys: xterm CSI and SS3, rxvt and the Linux console.
    {"Up", {"\x1b[A"}, false, {Key(0, scan::Up, E)}},
    {"Up in application mode", {"\x1bOA"}, false, {Key(0, scan::Up, E)}},
    {"Ctrl+Left", {"\x1b[1;5D"}, false, {Key(0, scan::Left, C | E)}},
    {"Ctrl+Right", {"\x1b[1;5C"}, false, {Key(0, scan::Right, C | E)}},
    {"Shift+Home", {"\x1b[1;2H"}, false, {Key(0, scan::Home, S | E)}},
    {"Home and End", {"\x1b[H\x1b[F"}, false, {Key(0, scan::Home, E), Key(0, scan::End, E)}},
    {"Home and End as SS3", {"\x1bOH\x1bOF"}, false, {Key(0, scan::Home, E), Key(0, scan::End, E)}},
    {"Home 1~ and rxvt 7~", {"\x1b[1~\x1b[7~"}, false, {Key(0, scan::Home, E), Key(0, scan::Home, E)}},
    {"End 4~ and rxvt 8~", {"\x1b[4~\x1b[8~"}, false, {Key(0, scan::End, E), Key(0, scan::End, E)}},
    {"Ins Del PgUp PgDn", {"\x1b[2~\x1b[3~\x1b[5~\x1b[6~"}, false,
     {Key(0, scan::Ins, E), Key(0, scan::Del, E), Key(0, scan::PgUp, E), Key(0, scan::PgDn, E)}},
    {"Ctrl+Del", {"\x1b[3;5~"}, false, {Key(0, scan::Del, C | E)}},
    {"Ctrl+Home", {"\x1b[1;5H"}, false, {Key(0, scan::Home, C | E)}},
    {"keypad 5", {"\x1b[E"}, false, {Key(0, scan::Keypad5, E)}},
    {"rxvt Shift+Up", {"\x1b[a"}, false, {Key(0, scan::Up, S | E)}},
    {"rxvt Ctrl+Left", {"\x1bOd"}, false, {Key(0, scan::Left, C | E)}},
    {"keypad Enter", {"\x1bOM"}, false, {Key(13, scan::Enter)}},
    // Function keys with their modifiers.
    {"F1 to F4 as SS3", {"\x1bOP\x1bOQ\x1bOR\x1bOS"}, false,
     {Key(0, 0x3B), Key(0, 0x3C), Key(0, 0x3D), Key(0, 0x3E)}},
    {"Shift+F1", {"\x1b[1;2P"}, false, {Key(0, 0x3B, S)}},
    {"Alt+F4", {"\x1b[1;3S"}, false, {Key(0, 0x3E, A)}},
    {"Ctrl+F4", {"\x1b[1;5S"}, false, {Key(0, 0x3E, C)}},
    {"F5 F6 F10", {"\x1b[15~\x1b[17~\x1b[21~"}, false, {Key(0, 0x3F), Key(0, 0x40), Key(0, 0x44)}},
    {"F11 F12", {"\x1b[23~\x1b[24~"}, false, {Key(0, scan::F11), Key(0, scan::F12)}},
    {"Ctrl+F5 and Shift+F10", {"\x1b[15;5~\x1b[21;2~"}, false, {Key(0, 0x3F, C), Key(0, 0x44, S)}},
    {"meta counts as Alt", {"\x1b[1;9P"}, false, {Key(0, 0x3B, A)}},
    {"rxvt F1 11~", {"\x1b[11~"}, false, {Key(0, 0x3B)}},
    {"rxvt Ctrl+F4", {"\x1b[14^"}, false, {Key(0, 0x3E, C)}},
    {"rxvt Shift+Ins", {"\x1b[2$"}, false, {Key(0, scan::Ins, S | E)}},
    {"rxvt Ctrl+Shift+Del", {"\x1b[3@"}, false, {Key(0, scan::Del, C | S | E)}},
    {"rxvt Shift+F3 and Shift+F10", {"\x1b[25~\x1b[34~"}, false, {Key(0, 0x3D, S), Key(0, 0x44, S)}},
    {"Linux console F1 and F5", {"\x1b[[A\x1b[[E"}, false, {Key(0, 0x3B), Key(0, 0x3F)}},
    {"back-tab", {"\x1b[Z"}, false, {Key(0, scan::Tab, S)}},
    // Alt as an ESC prefix; the lone Esc.
    {"Alt+x", {"\x1bx"}, false, {Key('x', 0x2D, A)}},
    {"Alt+Shift+X", {"\x1bX"}, false, {Key('X', 0x2D, A | S)}},
    {"Alt+e acute", {"\x1b\xc3\xa9"}, false, {Key(0x82, 0, A)}},
    {"rxvt Alt+Up", {"\x1b\x1b[A"}, false, {Key(0, scan::Up, A | E)}},
    {"xterm Alt+Down then a letter", {"\x1b[1;3Bd"}, false, {Key(0, scan::Down, A | E), Key('d', 0x20)}},
    {"xterm Alt+PgUp and Alt+keypad 5", {"\x1b[5;3~\x1b[1;3E"}, false, {Key(0, scan::PgUp, A | E), Key(0, scan::Keypad5, A | E)}},
    {"Esc waits for what follows", {"\x1b"}, false, {}},
    {"lone Esc after the timeout", {"\x1b"}, true, {Key(27, scan::Esc)}},
    {"two Escs", {"\x1b\x1b"}, true, {Key(27, scan::Esc), Key(27, scan::Esc)}},
    {"Esc then a key sequence", {"\x1b\x1b[B"}, false, {Key(0, scan::Down, A | E)}},
    {"split read still an arrow", {"\x1b", "[A"}, false, {Key(0, scan::Up, E)}},
    {"split in three", {"\x1b", "[1;", "5C"}, false, {Key(0, scan::Right, C | E)}},
    {"ESC [ alone is Alt+[", {"\x1b["}, true, {Key('[', 0x1A, A)}},
    // What is not a key is dropped without taking the next keys with it.
    {"focus report", {"\x1b[Iq"}, false, {Key('q', 0x10)}},
    {"device attributes reply", {"\x1b[?1;2cq"}, false, {Key('q', 0x10)}},
    {"unknown tilde code", {"\x1b[99~q"}, false, {Key('q', 0x10)}},
    {"sequence broken off by another", {"\x1b[1\x1b[B"}, false, {Key(0, scan::Down, E)}},
    {"unfinished sequence at the timeout", {"\x1b[1;5"}, true, {}},
    // SGR mouse: clicks are reported on release, presses deliver nothing.
    {"left press", {"\x1b[<0;10;5M"}, false, {}},
    {"left release", {"\x1b[<0;10;5m"}, false, {Mouse(10, 5, 1, 8)}},
    {"right release", {"\x1b[<2;3;4m"}, false, {Mouse(3, 4, 2, 8)}},
    {"middle release", {"\x1b[<1;3;4m"}, false, {}},
    {"drag", {"\x1b[<32;11;5M"}, false, {Mouse(11, 5, 1, 1)}},
    {"wheel", {"\x1b[<64;1;1M\x1b[<65;1;1M"}, false, {}},
    {"Ctrl+click", {"\x1b[<16;120;40m"}, false, {Mouse(120, 40, 1, 8, C)}},
    {"mouse report split", {"\x1b[<0;1", "2;7m"}, false, {Mouse(12, 7, 1, 8)}},
};

class DecoderTable : public ::testing::TestWithParam<Case> {};

TEST_P(DecoderTable, GivesTheConsoleEvents) {
    const Case& c = GetParam();
    EXPECT_EQ(Decode(c.chunks, c.timeOut), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Keys, DecoderTable, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& p) { return CaseName(p.param.what); });

TEST(TerminalDecoder, ShortPauseDoesNotEndAnEscapeSequence) {
    TerminalDecoder decoder;
    decoder.Feed("\x1b");
    decoder.TimePassed(TerminalDecoder::kLoneEscMilliseconds - 1);
    decoder.Feed("[B");
    EXPECT_EQ(DrainDescribed(decoder), std::vector<std::string> {Key(0, scan::Down, E)});
}

TEST(TerminalDecoder, LoneEscTimeoutIsAtMostFiftyMilliseconds) {
    EXPECT_LE(TerminalDecoder::kLoneEscMilliseconds, 50);
}

struct PasteCase {
    const char* what;
    std::vector<std::string> chunks;
    std::string clipboard;
};

const PasteCase kPastes[] = {
    {"accented text", {"\x1b[200~h\xc3\xa9llo\x1b[201~"}, "h\x82llo"},
    {"line breaks become CR LF", {"\x1b[200~a\rb\nc\r\nd\x1b[201~"}, "a\r\nb\r\nc\r\nd"},
    {"control bytes are removed", {"\x1b[200~x\x1b[Ay\x07\tz\x1b[201~"}, "x[Ay\tz"},
    {"paste arriving in pieces", {"\x1b[200~ab", "c", "d\x1b[20", "1~"}, "abcd"},
    {"empty paste", {"\x1b[200~\x1b[201~"}, ""},
};

class PasteTable : public ::testing::TestWithParam<PasteCase> {};

TEST_P(PasteTable, PutsTheTextOnTheClipboardAndPressesCtrlV) {
    const PasteCase& c = GetParam();
    TerminalDecoder decoder;
    for (const std::string& chunk : c.chunks) {
        decoder.Feed(chunk);
        decoder.TimePassed(TerminalDecoder::kLoneEscMilliseconds * 2);  // a slow paste is still one paste
    }
    decoder.Feed("q");
    DecodedEvent d;
    ASSERT_TRUE(decoder.Next(d)) << c.what;
    EXPECT_TRUE(d.paste);
    EXPECT_EQ(d.pasted, c.clipboard) << c.what;
    EXPECT_EQ(Describe(d.event), Key(22, 0x2F, C));
    ASSERT_TRUE(decoder.Next(d));
    EXPECT_FALSE(d.paste);
    EXPECT_EQ(Describe(d.event), Key('q', 0x10));
    EXPECT_FALSE(decoder.Next(d));
}

INSTANTIATE_TEST_SUITE_P(Pastes, PasteTable, ::testing::ValuesIn(kPastes),
                         [](const ::testing::TestParamInfo<PasteCase>& p) { return CaseName(p.param.what); });

TEST(TerminalDecoder, LongPasteInManyReadsIsCappedAndNeverTyped) {
    TerminalDecoder decoder;
    decoder.Feed("\x1b[200~");
    const std::string block(4096, 'x');
    for (int i = 0; i < 600; ++i) decoder.Feed(block);  // 2.4 MB
    decoder.Feed("\x1b[201~q");
    DecodedEvent d;
    ASSERT_TRUE(decoder.Next(d));
    EXPECT_TRUE(d.paste);
    EXPECT_EQ(d.pasted.size(), std::size_t {1} << 20);
    EXPECT_EQ(d.pasted.find_first_not_of('x'), std::string::npos);
    ASSERT_TRUE(decoder.Next(d));
    EXPECT_EQ(Describe(d.event), Key('q', 0x10));
    EXPECT_FALSE(decoder.Next(d));
}

TEST(TerminalDecoder, DroppingDecodedKeysKeepsAnUnfinishedSequence) {
    TerminalDecoder decoder;
    decoder.Feed("abc\x1b[");
    decoder.DropDecoded();
    decoder.Feed("A");
    EXPECT_EQ(DrainDescribed(decoder), std::vector<std::string> {Key(0, scan::Up, E)});
    EXPECT_FALSE(decoder.HasIncompleteInput());
}

}  // namespace
}  // namespace qp
