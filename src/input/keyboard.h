// Key reading: console events become key codes; Alt+keypad composition; the
// hot keys of the calculator and the calendar; pending keystrokes; the
// exit-key set that ends a field entry, and the field mask.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "input/key_codes.h"
#include "input/refusal.h"
#include "screen/console.h"

namespace qp {

struct KeyRead {
    key::Code key = 0;
    std::int16_t column = 0;
    std::int16_t row = 0;
    std::int16_t button = 0;  // 0 when the event was no click
};

class Keyboard {
public:
    explicit Keyboard(Console& console) : console_(console) {}

    // Never blocks: key 0 when nothing is queued or the event was ignored.
    KeyRead ReadKeyEvent();
    // Waits for a key or a click (folded into column x 256 + button x 64 + row); never 0.
    key::Code WaitKey();
    // For a loop with nothing to do until the operator acts: blocks until the
    // console may have input; at once while keystrokes are pending.
    void WaitForInput();
    // A click as one key code: column x 256 + button x 64 + row, cut to 16 bits.
    static key::Code ClickCode(int column, int button, int row);
    // The console events the latest ReadKeyEvent took from the queue (for the key probe).
    const std::vector<InputEvent>& EventsOfLastRead() const { return lastEvents_; }
    void FlushKeyboard();

    // Command letters "+", "-", "E", "A", "D", "H", "V" over a list such as "d,1b=4f00".
    void SetExitKeys(std::string_view commands, std::string_view list);
    bool ExitKeysEmpty() const { return exitKeys_.empty(); }
    // The code to return when `code` ends an edit, or nothing when it is not an exit key.
    std::optional<key::Code> ExitKeyResult(key::Code code) const;
    bool IsExitKey(key::Code code) const { return ExitKeyResult(code).has_value(); }
    key::Code FieldMask() const { return fieldMask_; }

    std::string& PendingKeys() { return pendingKeys_; }
    int MouseState() const { return mouseState_; }

    // Registered by the program: each returns the text to type into the field.
    void SetHotKeyHandlers(std::function<std::string()> calculator, std::function<std::string()> calendar);
    // One more pop-up on a key of its own (replacing an earlier handler of
    // that key), guarded like those two against opening inside itself.
    void AddHotKey(key::Code code, std::function<std::string()> handler);

    // Who is told why something was refused: one listener at a time, null
    // for none. Every refusal goes through here, whoever reads the keys.
    void SetRefusalListener(RefusalListener* listener) { refusalListener_ = listener; }
    RefusalListener* refusalListener() const { return refusalListener_; }
    // Tells the listener, if any; the next key read tells it the operator moved on.
    void ReportRefusal(const Refusal& refusal);
    // A pop-up that the console cannot show whole: beeps and reports it.
    // `name` is the pop-up's name in Catalan; rows and columns what it needs.
    void RefusePopup(const std::string& name, int rows, int columns);

    Console& console() { return console_; }

private:
    struct KeySet {
        std::vector<key::Code> keys;
        std::vector<key::Code> results;
    };
    // One console event as the key rules see it.
    struct Taken {
        enum class Kind { Nothing, Key, Mouse } kind = Kind::Nothing;
        key::Code code = 0;  // character, or scan x 256
        std::uint16_t control = 0;
        InputEvent event;
    };
    static constexpr std::size_t kMaxSavedSets = 64;

    void ProbeMouse();
    Taken TakeEvent();
    Taken ComposeAltKeypad(Taken first);
    static key::Code ApplyModifiers(key::Code code, std::uint16_t control);
    void RunHotKey(key::Code code);
    void NoteKeyRead();
    void AppendExitKeys(std::string_view list);
    void RemoveExitKeys(std::string_view list);

    Console& console_;
    std::string pendingKeys_;
    int mouseState_ = 0;
    int mouseColumn_ = 0;  // position of the latest mouse event
    int mouseRow_ = 0;
    struct HotKey {
        std::function<std::string()> handler;
        bool open = false;  // running now: the key does not open it again
    };
    // A map: a handler may register more keys without moving the one running.
    std::map<key::Code, HotKey> hotKeys_;
    std::vector<key::Code> exitKeys_;
    std::vector<key::Code> exitKeyResults_;
    std::vector<KeySet> saved_;  // a stack: nested pop-ups each get back their own set
    key::Code fieldMask_ = 0;
    std::vector<InputEvent> lastEvents_;
    RefusalListener* refusalListener_ = nullptr;
    bool refusalPending_ = false;  // a refusal was reported and no key read since
};

// Makes `listener` the keyboard's for as long as the scope lasts, then gives
// the keyboard back the one it had.
class RefusalListenerScope {
public:
    RefusalListenerScope(Keyboard& keyboard, RefusalListener& listener)
        : keyboard_(keyboard), previous_(keyboard.refusalListener()) {
        keyboard_.SetRefusalListener(&listener);
    }
    ~RefusalListenerScope() { keyboard_.SetRefusalListener(previous_); }
    RefusalListenerScope(const RefusalListenerScope&) = delete;
    RefusalListenerScope& operator=(const RefusalListenerScope&) = delete;

private:
    Keyboard& keyboard_;
    RefusalListener* previous_;
};

}  // namespace qp
