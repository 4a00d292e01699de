#include "input/keyboard.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "input/idle_console.h"
#include "input/key_probe.h"
#include "input/refusal_recorder.h"
#include "screen/key_names.h"
#include "screen/memory_console.h"
#include "screen/terminal_decoder.h"

namespace qp {
namespace {

// A console whose queue looks empty on every other poll, as a real one does
// between two key strokes; records whether mouse reporting was on while polling.
class GappyConsole : public MemoryConsole {
public:
    bool PollEvent(InputEvent& event) override {
        reportingSeen_.push_back(mouseReporting());
        gap_ = !gap_;
        if (gap_ && QueuedEvents() > 0) return false;
        return MemoryConsole::PollEvent(event);
    }
    bool ReportingWasOffWhilePolling() const {
        for (bool on : reportingSeen_)
            if (!on) return true;
        return false;
    }

private:
    bool gap_ = false;
    std::vector<bool> reportingSeen_;
};

InputEvent RawKey(unsigned char character, std::uint8_t scan, std::uint16_t control) {
    InputEvent e;
    e.character = character;
    e.scan = scan;
    e.control = control;
    return e;
}

InputEvent MouseMove(int column, int row) {
    InputEvent e;
    e.kind = InputEvent::Kind::Mouse;
    e.column = column;
    e.row = row;
    e.action = 1;
    return e;
}

struct NamedKeyCase {
    const char* name;
    key::Code code;
};

TEST(KeyboardCodes, NamedKeysGiveTheirCodes) {
    const NamedKeyCase cases[] = {
        {"a", 'a'},           {"Enter", key::Enter},     {"Esc", key::Esc},         {"Ctrl+A", 1},
        {"Up", key::Up},      {"Keypad5", key::Keypad5}, {"Shift+Tab", key::BackTab},
        {"Alt+F4", 0x6B00},   {"Ctrl+F4", 0x6100},       {"Shift+F1", 0x5400},      {"Alt+F10", 0x7100},
        {"Ctrl+F1", 0x5E00},  {"Shift+F10", 0x5D00},     {"Ctrl+Home", 0x7700},     {"Shift+Home", 0x4700},
        {"Ctrl+Left", 0x7300}, {"Ctrl+Right", 0x7400},   {"Ctrl+End", key::End},
        {"Alt+E", key::Euro}, {"AltGr+E", key::Euro},    {"Alt+F", key::AltF},      {"Alt+Q", 0x1000},
        {"Alt+M", 0x3200},    {"Alt+1", '1'},            {"Alt+X", key::AltX},      {"Alt+C", key::AltC},
        {"Alt+F11", key::F11}, {"Ctrl+F11", key::F11},   {"Shift+F12", key::F12},   {"Ctrl+F12", key::F12},
    };
    for (const auto& c : cases) {
        MemoryConsole console;
        Keyboard keyboard(console);
        console.PressKey(c.name);
        console.PressKey("z");  // nothing may be swallowed after the key
        EXPECT_EQ(keyboard.WaitKey(), c.code) << c.name;
        EXPECT_EQ(keyboard.WaitKey(), 'z') << c.name;
    }
}

TEST(KeyboardCodes, ModifierKeysAloneGiveNothingAndAreSkipped) {
    MemoryConsole console;
    Keyboard keyboard(console);
    for (int scan : {0x1D, 0x2A, 0x36, 0x38, 0x3A, 0x45, 0x46})
        console.Queue(RawKey(0, static_cast<std::uint8_t>(scan), kShift));
    console.PressKey("b");
    EXPECT_EQ(keyboard.ReadKeyEvent().key, 'b');  // the ignored ones cost no extra read
    console.Queue(RawKey(0, 0x38, kLeftAlt));
    EXPECT_EQ(keyboard.ReadKeyEvent().key, 0);
    EXPECT_EQ(console.QueuedEvents(), 0u);
}

TEST(KeyboardCodes, CharactersAboveAsciiAreNotNegative) {
    MemoryConsole console;
    Keyboard keyboard(console);
    console.TypeText("\x82\xff");
    EXPECT_EQ(keyboard.ReadKeyEvent().key, 0x82);
    EXPECT_EQ(keyboard.ReadKeyEvent().key, 0xFF);
    keyboard.PendingKeys() = "\x90";
    EXPECT_EQ(keyboard.ReadKeyEvent().key, 0x90);
}

TEST(KeyboardPending, PendingKeysComeBeforeConsoleInput) {
    MemoryConsole console;
    Keyboard keyboard(console);
    console.PressKey("z");
    keyboard.PendingKeys() = "12";
    EXPECT_EQ(keyboard.ReadKeyEvent().key, '1');
    EXPECT_EQ(keyboard.ReadKeyEvent().key, '2');
    EXPECT_EQ(console.QueuedEvents(), 1u);
    EXPECT_EQ(keyboard.ReadKeyEvent().key, 'z');
    EXPECT_TRUE(keyboard.PendingKeys().empty());
}

TEST(KeyboardPending, FlushDiscardsConsoleInputButKeepsPendingKeys) {
    MemoryConsole console;
    Keyboard keyboard(console);
    console.TypeText("abc");
    keyboard.PendingKeys() = "7";
    keyboard.FlushKeyboard();
    EXPECT_EQ(console.QueuedEvents(), 0u);
    EXPECT_EQ(keyboard.ReadKeyEvent().key, '7');
    EXPECT_EQ(keyboard.ReadKeyEvent().key, 0);
}

struct ComposeCase {
    const char* what;
    std::vector<std::uint8_t> keypadScans;  // pressed with left Alt held
    key::Code composed;
};

TEST(KeyboardAltKeypad, DigitsComposeACharacterAndTheEndingKeyIsDropped) {
    const ComposeCase cases[] = {
        {"1,3,0 is e acute", {0x4F, 0x51, 0x52}, 130},
        {"2566 MOD 256", {0x50, 0x4C, 0x4D, 0x4D}, 6},
        {"leading zero", {0x52, 0x49, 0x4F}, 91},
        {"long strings wrap", {0x48, 0x48, 0x48, 0x48, 0x48, 0x48, 0x48, 0x48, 0x48, 0x48, 0x48, 0x48}, 0x38},
    };
    for (const auto& c : cases) {
        GappyConsole console;
        Keyboard keyboard(console);
        for (std::uint8_t scan : c.keypadScans) {
            console.Queue(RawKey(0, 0x38, kLeftAlt));  // the Alt key repeating
            console.Queue(RawKey(0, scan, kLeftAlt));
        }
        console.PressKey("x");  // first key after Alt is released: ends the composition
        console.PressKey("y");
        EXPECT_EQ(keyboard.WaitKey(), c.composed) << c.what;
        EXPECT_EQ(keyboard.WaitKey(), 'y') << c.what;
    }
}

// Alt held over a key of the cursor block (and every extended key a terminal
// sends, as its keypad cannot be told from the cursor block) is that key: the
// letter and the digit typed after it both arrive.
TEST(KeyboardAltKeypad, AltWithACursorKeyIsThatKeyAndSwallowsNothing) {
    struct CursorCase {
        const char* what;
        std::string bytes;  // what a terminal sends; empty: the console event below
        std::uint8_t scan;
        key::Code code;
    };
    const CursorCase cases[] = {
        {"Up", "\x1b[1;3A", 0x48, key::Up},          {"Down", "\x1b[1;3B", 0x50, key::Down},
        {"Left", "\x1b[1;3D", 0x4B, key::Left},      {"Right", "\x1b[1;3C", 0x4D, key::Right},
        {"Home", "\x1b[1;3H", 0x47, key::Home},      {"End", "\x1b[1;3F", 0x4F, key::End},
        {"PgUp", "\x1b[5;3~", 0x49, key::PgUp},      {"PgDn", "\x1b[6;3~", 0x51, key::PgDn},
        {"Ins", "\x1b[2;3~", 0x52, key::Ins},        {"Del", "\x1b[3;3~", 0x53, key::Del},
        {"keypad 5", "\x1b[1;3E", 0x4C, key::Keypad5},
        {"Esc then Down", "\x1b\x1b[B", 0x50, key::Down}, {"Esc then Home", "\x1b\x1bOH", 0x47, key::Home},
        {"Windows gray Down", "", 0x50, key::Down},   {"Windows gray Ins", "", 0x52, key::Ins},
    };
    for (const auto& c : cases) {
        GappyConsole console;
        Keyboard keyboard(console);
        if (c.bytes.empty()) {
            console.Queue(RawKey(0, 0x38, kLeftAlt));
            console.Queue(RawKey(0, c.scan, kLeftAlt | kEnhanced));
        } else {
            TerminalDecoder decoder;
            decoder.Feed(c.bytes);
            for (DecodedEvent d; decoder.Next(d);) console.Queue(d.event);
        }
        console.PressKeys({"d", "7", "y"});
        EXPECT_EQ(keyboard.WaitKey(), c.code) << c.what;
        EXPECT_EQ(keyboard.WaitKey(), 'd') << c.what;
        EXPECT_EQ(keyboard.WaitKey(), '7') << c.what;
        EXPECT_EQ(keyboard.WaitKey(), 'y') << c.what;
    }
}

TEST(KeyboardAltKeypad, OtherAltKeysAreNotComposition) {
    MemoryConsole console;
    Keyboard keyboard(console);
    console.Queue(RawKey(0, 0x4F, kRightAlt | kLeftCtrl));  // AltGr does not compose
    console.PressKeys({"Alt+F4", "y"});
    EXPECT_EQ(keyboard.WaitKey(), key::End);
    EXPECT_EQ(keyboard.WaitKey(), key::AltF4);
    EXPECT_EQ(keyboard.WaitKey(), 'y');
}

TEST(KeyboardAltKeypad, EmptyQueueDoesNotBlockWhenNoCompositionIsUnderWay) {
    MemoryConsole console;
    Keyboard keyboard(console);
    console.setStarvationLimit(5);
    console.PressKey("Alt+F");
    EXPECT_EQ(keyboard.ReadKeyEvent().key, key::AltF);
    EXPECT_EQ(keyboard.ReadKeyEvent().key, 0);
}

// A key loop with nothing else to do waits for the console after each empty
// poll (on a terminal or a Windows console that blocks until input comes);
// keys already pending are delivered without any wait.
TEST(KeyboardIdle, KeyLoopsWaitBetweenEmptyPolls) {
    struct IdleCase {
        const char* what;
        std::function<void(IdleConsole&, Keyboard&)> run;
        bool waits;
    };
    const IdleCase cases[] = {
        {"WaitKey",
         [](IdleConsole& console, Keyboard& keyboard) {
             console.PressKeys({"a", "Enter"});
             EXPECT_EQ(keyboard.WaitKey(), 'a');
             EXPECT_EQ(keyboard.WaitKey(), key::Enter);
         },
         true},
        {"Alt+keypad composition",
         [](IdleConsole& console, Keyboard& keyboard) {
             console.Queue(RawKey(0, 0x4F, kLeftAlt));
             console.Queue(RawKey(0, 0x51, kLeftAlt));
             console.PressKey("x");
             EXPECT_EQ(keyboard.WaitKey(), 13);
         },
         true},
        {"key probe",
         [](IdleConsole& console, Keyboard& keyboard) {
             console.PressKeys({"a", "Esc", "Esc"});
             EXPECT_EQ(RunKeyProbe(console, keyboard), 0);
         },
         true},
        {"pending keys",
         [](IdleConsole&, Keyboard& keyboard) {
             keyboard.PendingKeys() = "12";
             EXPECT_EQ(keyboard.WaitKey(), '1');
             EXPECT_EQ(keyboard.WaitKey(), '2');
         },
         false},
    };
    for (const auto& c : cases) {
        IdleConsole console;
        Keyboard keyboard(console);
        c.run(console, keyboard);
        EXPECT_EQ(console.waits(), console.emptyPolls()) << c.what;
        EXPECT_EQ(console.waits() > 0, c.waits) << c.what;
    }
}

TEST(KeyboardMouse, ClicksFoldIntoOneCode) {
    struct ClickCase {
        int column, row, button;
        key::Code code;
    };
    const ClickCase cases[] = {
        {10, 5, 1, 2629},
        {10, 5, 2, 2693},
        {1, 1, 1, 321},
        {200, 5, 2, -14203},  // 51333 cut to 16 bits, still not 0
    };
    for (const auto& c : cases) {
        MemoryConsole console(25, 220);
        Keyboard keyboard(console);
        console.Queue(MouseMove(3, 3));
        console.Click(c.column, c.row, c.button);
        EXPECT_EQ(keyboard.WaitKey(), c.code) << c.column << "," << c.row << "," << c.button;
    }
}

TEST(KeyboardMouse, ReadReportsPositionAndButtonOfAClick) {
    MemoryConsole console;
    Keyboard keyboard(console);
    console.Queue(MouseMove(4, 7));
    console.Click(10, 5, 2);
    KeyRead move = keyboard.ReadKeyEvent();
    EXPECT_EQ(move.key, 0);
    EXPECT_EQ(move.button, 0);
    EXPECT_EQ(move.column, 4);
    EXPECT_EQ(move.row, 7);
    KeyRead click = keyboard.ReadKeyEvent();
    EXPECT_EQ(click.key, 0);
    EXPECT_EQ(click.button, 2);
    EXPECT_EQ(click.column, 10);
    EXPECT_EQ(click.row, 5);
}

TEST(KeyboardMouse, ReportingIsOnWhileWaitingAndOffAfterAKey) {
    GappyConsole console;
    Keyboard keyboard(console);
    EXPECT_EQ(keyboard.MouseState(), 0);
    console.Queue(MouseMove(2, 2));
    console.PressKey("a");
    EXPECT_EQ(keyboard.WaitKey(), 'a');
    EXPECT_FALSE(console.ReportingWasOffWhilePolling());
    EXPECT_FALSE(console.mouseReporting());
    EXPECT_EQ(keyboard.MouseState(), 2);
    console.Click(5, 5);
    keyboard.WaitKey();
    EXPECT_FALSE(console.ReportingWasOffWhilePolling());
    EXPECT_EQ(keyboard.MouseState(), 2);
    // A movement is no key: reporting stays on.
    console.Queue(MouseMove(2, 2));
    keyboard.ReadKeyEvent();
    EXPECT_EQ(keyboard.MouseState(), 1);
    EXPECT_TRUE(console.mouseReporting());
}

TEST(KeyboardMouse, WithoutAMouseClicksAreIgnored) {
    MemoryConsole console;
    console.setMouseButtons(0);
    Keyboard keyboard(console);
    console.Click(10, 5);
    console.PressKey("a");
    EXPECT_EQ(keyboard.WaitKey(), 'a');
    EXPECT_EQ(keyboard.MouseState(), 3);
    EXPECT_FALSE(console.mouseReporting());
}

struct ExitKeyStep {
    const char* commands;
    const char* list;
};

struct ExitKeyCase {
    const char* what;
    std::vector<ExitKeyStep> steps;
    std::vector<std::pair<key::Code, key::Code>> expected;  // code, result
    std::vector<key::Code> absent;
};

TEST(KeyboardExitKeys, ListsAndCommands) {
    const ExitKeyCase cases[] = {
        {"leading comma adds code 0", {{"+ea", ",3b00"}}, {{0, 0}, {key::F1, key::F1}}, {0x3B}},
        {"result after =", {{"a", "d=4f00"}}, {{key::Enter, key::End}}, {key::End}},
        {"typical list",
         {{"ea", "d,1b,4800,5000,4900,5100,4b00,4d00"}},
         {{key::Enter, key::Enter}, {key::Esc, key::Esc}, {key::Up, key::Up}, {key::Right, key::Right}},
         {0, key::F1}},
        {"upper-case commands, mixed-case hex", {{"EA", "1B,4B00=4d00"}}, {{key::Esc, key::Esc}, {key::Left, key::Right}}, {}},
        {"A appends", {{"ea", "d"}, {"a", "1b"}}, {{key::Enter, key::Enter}, {key::Esc, key::Esc}}, {}},
        {"E empties", {{"ea", "d"}, {"e", ""}}, {}, {key::Enter}},
        {"D removes the first occurrence with its result",
         {{"ea", "1b=1,d,1b=2"}, {"d", "1b"}},
         {{key::Esc, 2}, {key::Enter, key::Enter}},
         {}},
        {"D of a missing code changes nothing", {{"ea", "d"}, {"d", "1b"}}, {{key::Enter, key::Enter}}, {key::Esc}},
        {"codes are signed 16-bit", {{"ea", "ffff,12345"}}, {{-1, -1}, {0x2345, 0x2345}}, {}},
        {"trailing comma opens no item", {{"ea", "d,1b,"}}, {{key::Enter, key::Enter}}, {0}},
        {"empty result reads 0", {{"ea", "d="}}, {{key::Enter, 0}}, {}},
        {"blanks around codes", {{"ea", " d , 1b = 3b00"}}, {{key::Enter, key::Enter}, {key::Esc, key::F1}}, {}},
        {"unknown letters ignored", {{"qeza", "d"}}, {{key::Enter, key::Enter}}, {}},
    };
    for (const auto& c : cases) {
        MemoryConsole console;
        Keyboard keyboard(console);
        for (const auto& step : c.steps) keyboard.SetExitKeys(step.commands, step.list);
        EXPECT_EQ(keyboard.ExitKeysEmpty(), c.expected.empty()) << c.what;
        for (auto [code, result] : c.expected) {
            ASSERT_TRUE(keyboard.ExitKeyResult(code).has_value()) << c.what << " code " << code;
            EXPECT_EQ(*keyboard.ExitKeyResult(code), result) << c.what << " code " << code;
        }
        for (key::Code code : c.absent) EXPECT_FALSE(keyboard.IsExitKey(code)) << c.what << " code " << code;
    }
}

TEST(KeyboardExitKeys, NestedSavesGiveEachCallerItsOwnSetBack) {
    MemoryConsole console;
    Keyboard keyboard(console);
    keyboard.SetExitKeys("ea", "1b");           // the screen's set
    keyboard.SetExitKeys("+ea", "d");           // a field edit
    keyboard.SetExitKeys("+ea", "3b00");        // a pop-up opened from the field
    keyboard.SetExitKeys("+ea", "4800");        // and one opened from that pop-up
    keyboard.SetExitKeys("-", "");
    EXPECT_TRUE(keyboard.IsExitKey(key::F1));
    EXPECT_FALSE(keyboard.IsExitKey(key::Up));
    keyboard.SetExitKeys("-", "");
    EXPECT_TRUE(keyboard.IsExitKey(key::Enter));
    EXPECT_FALSE(keyboard.IsExitKey(key::F1));
    keyboard.SetExitKeys("-", "");
    EXPECT_TRUE(keyboard.IsExitKey(key::Esc));
    EXPECT_FALSE(keyboard.IsExitKey(key::Enter));
    keyboard.SetExitKeys("-", "");  // nothing saved: the set stays
    EXPECT_TRUE(keyboard.IsExitKey(key::Esc));
}

TEST(KeyboardExitKeys, FieldMaskCommands) {
    MemoryConsole console;
    Keyboard keyboard(console);
    EXPECT_EQ(keyboard.FieldMask(), 0);
    keyboard.SetExitKeys("h", "");
    EXPECT_EQ(keyboard.FieldMask(), 'X');
    keyboard.SetExitKeys("V", "");
    EXPECT_EQ(keyboard.FieldMask(), 0);
}

TEST(KeyboardHotKeys, WithoutHandlersTheKeyIsJustReturned) {
    MemoryConsole console;
    Keyboard keyboard(console);
    console.PressKeys({"Alt+X", "Alt+C"});
    EXPECT_EQ(keyboard.WaitKey(), key::AltX);
    EXPECT_EQ(keyboard.WaitKey(), key::AltC);
    EXPECT_TRUE(keyboard.PendingKeys().empty());
}

TEST(KeyboardHotKeys, ResultIsTypedAfterTheHotKeyAndReentryIsGuarded) {
    MemoryConsole console;
    Keyboard keyboard(console);
    int calculatorRuns = 0, calendarRuns = 0;
    std::vector<key::Code> seenInsideCalculator;
    keyboard.SetHotKeyHandlers(
        [&] {
            ++calculatorRuns;
            for (key::Code k = 0; k != key::Enter;) seenInsideCalculator.push_back(k = keyboard.WaitKey());
            return std::string("12");
        },
        [&] {
            ++calendarRuns;
            return std::string("0301");
        });
    // Inside the calculator a second Alt+X is a plain key; Alt+C opens the calendar,
    // whose text the calculator's own next read picks up.
    console.PressKeys({"Alt+X", "Alt+X", "Alt+C", "Enter"});
    EXPECT_EQ(keyboard.WaitKey(), key::AltX);
    EXPECT_EQ(calculatorRuns, 1);
    EXPECT_EQ(calendarRuns, 1);
    EXPECT_EQ(seenInsideCalculator, (std::vector<key::Code> {key::AltX, key::AltC, '0', '3', '0', '1', key::Enter}));
    EXPECT_EQ(keyboard.PendingKeys(), "12");
    EXPECT_EQ(keyboard.WaitKey(), '1');
    EXPECT_EQ(keyboard.WaitKey(), '2');
    console.PressKey("Alt+X");  // the guard is lifted once the calculator is closed
    console.PressKey("Enter");
    EXPECT_EQ(keyboard.WaitKey(), key::AltX);
    EXPECT_EQ(calculatorRuns, 2);
}

TEST(KeyboardHotKeys, AHandlerLeavingByAnExceptionDoesNotLockTheHotKey) {
    MemoryConsole console;
    console.setStarvationLimit(10);
    Keyboard keyboard(console);
    int runs = 0;
    keyboard.SetHotKeyHandlers(
        [&] {
            ++runs;
            return std::string(1, static_cast<char>(keyboard.WaitKey()));  // the script runs out here
        },
        nullptr);
    console.PressKey("Alt+X");
    EXPECT_THROW(keyboard.WaitKey(), InputScriptExhausted);
    console.PressKeys({"Alt+X", "q"});
    EXPECT_EQ(keyboard.WaitKey(), key::AltX);
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(keyboard.WaitKey(), 'q');
}

// What the listener hears while keys are read: each refusal, and "next key"
// once, for the first key or click read after it.
TEST(KeyboardRefusals, TheListenerHearsEachRefusalAndTheKeyAfterIt) {
    struct Case {
        const char* name;
        std::function<void(MemoryConsole&, Keyboard&)> run;
        std::vector<std::string> heard;
    };
    auto read = [](Keyboard& keyboard) { keyboard.ReadKeyEvent(); };
    const Case cases[] = {
        {"a refusal, then a key",
         [&](MemoryConsole& c, Keyboard& k) {
             k.ReportRefusal(Refusal(Refusal::Kind::FieldFull));
             c.TypeText("ab");
             read(k);
             read(k);
         },
         {"FieldFull", "next key"}},
        {"keys without a refusal tell nothing",
         [&](MemoryConsole& c, Keyboard& k) {
             c.TypeText("ab");
             read(k);
             read(k);
         },
         {}},
        {"a pending keystroke is a key",
         [&](MemoryConsole&, Keyboard& k) {
             k.ReportRefusal(Refusal(Refusal::Kind::NoHelp));
             k.PendingKeys() = "1";
             read(k);
         },
         {"NoHelp", "next key"}},
        {"a mouse movement is none, a click is one",
         [&](MemoryConsole& c, Keyboard& k) {
             read(k);  // turns mouse reporting on
             k.ReportRefusal(Refusal(Refusal::Kind::NoHelp));
             c.Queue(MouseMove(5, 5));
             read(k);
             c.Click(5, 5);
             read(k);
         },
         {"NoHelp", "next key"}},
        {"a hot key's own refusal comes after the key that opened it",
         [&](MemoryConsole& c, Keyboard& k) {
             k.AddHotKey(key::AltX, [&k] {
                 k.RefusePopup("La calculadora", 25, 26);
                 return std::string();
             });
             k.ReportRefusal(Refusal(Refusal::Kind::FieldFull));
             c.PressKeys({"Alt+X", "a"});
             read(k);
             read(k);
         },
         {"FieldFull", "next key", "PopupTooLarge La calculadora 26x25", "next key"}},
    };
    for (const Case& c : cases) {
        MemoryConsole console;
        Keyboard keyboard(console);
        testing::RefusalRecorder recorder;
        {
            RefusalListenerScope listening(keyboard, recorder);
            c.run(console, keyboard);
        }
        EXPECT_EQ(recorder.log, c.heard) << c.name;
        EXPECT_EQ(keyboard.refusalListener(), nullptr) << c.name << ": the scope gives the keyboard back";
    }
}

}  // namespace
}  // namespace qp
