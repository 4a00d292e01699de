// Key codes and exit-key lists: console events of any kind become key codes
// without the reader stalling; exit-key lists of any text parse; a set saved
// with "+" comes back with "-"; key names either name a key or are refused.
#include "fuzz_support.h"
#include "input/keyboard.h"
#include "screen/key_names.h"
#include "screen/memory_console.h"

using namespace qp;

namespace {

constexpr key::Code kProbes[] = {0, 8, 13, 27, 0x3B00, 0x3E00, 0x4800, 0x5000, 0x4B00, 0x4D00, -1, -32768, 32767, 0x4F00};

std::vector<bool> ExitKeysNow(const Keyboard& keyboard) {
    std::vector<bool> now;
    for (key::Code code : kProbes) now.push_back(keyboard.IsExitKey(code));
    return now;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string commands = in.ConsumeRandomLengthString(16);
    const std::string list = in.ConsumeRandomLengthString(64);
    const std::string outer = in.ConsumeRandomLengthString(32);
    const std::string name = in.ConsumeRandomLengthString(24);

    MemoryConsole console;
    console.setStarvationLimit(1000);
    Keyboard keyboard(console);
    keyboard.SetExitKeys("ea", outer);
    const std::vector<bool> before = ExitKeysNow(keyboard);
    keyboard.SetExitKeys("+", "");
    keyboard.SetExitKeys(commands, list);
    for (key::Code code : kProbes) keyboard.ExitKeyResult(code);
    keyboard.SetExitKeys("-", "");
    // The commands may have saved and restored sets of their own, in pairs or not.
    if (commands.find_first_of("+-") == std::string::npos)
        fuzz::Check(ExitKeysNow(keyboard) == before, "the saved set did not come back");

    if (std::optional<InputEvent> event = KeyEventFromName(name)) console.Queue(*event);

    // Raw console events, each from eight bytes of the input.
    int events = 0;
    while (in.remaining_bytes() >= 8) {
        InputEvent e;
        const auto kind = in.ConsumeIntegral<std::uint8_t>();
        e.kind = kind & 1 ? InputEvent::Kind::Mouse : InputEvent::Kind::Key;
        e.character = in.ConsumeIntegral<unsigned char>();
        e.scan = in.ConsumeIntegral<std::uint8_t>();
        e.control = in.ConsumeIntegral<std::uint8_t>() & 0x1F;
        e.column = in.ConsumeIntegralInRange(-2, 300);
        e.row = in.ConsumeIntegralInRange(-2, 100);
        e.button = in.ConsumeIntegralInRange(0, 3);
        e.action = (kind & 2) ? 8 : 1;
        console.Queue(e);
        ++events;
    }
    // Every read takes at least one event; a held Alt waits for more, which
    // the in-memory console reports once its queue has been empty for long.
    try {
        for (int reads = 0; console.QueuedEvents() > 0; ++reads) {
            fuzz::Check(reads <= events + 1, "reads that take no event");
            KeyRead read = keyboard.ReadKeyEvent();
            if (read.button != 0) Keyboard::ClickCode(read.column, read.button, read.row);
        }
    } catch (const InputScriptExhausted&) {
    }
    return 0;
}
