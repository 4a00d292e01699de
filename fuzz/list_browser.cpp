// Browse.tmp as another list left it, browsed with the list browser's keys:
// a damaged cache never sends the browser past its end or into a loop, an
// entry chosen is one the file holds, and the screen is given back.
#include "fuzz_support.h"
#include "format/text_utils.h"
#include "input/field_editor.h"
#include "input/list_browser.h"
#include "records/builtin_engine.h"
#include "screen/help.h"
#include "screen/memory_console.h"

using namespace qp;

namespace {

class NoHooks : public FormHooks {
public:
    void DrawScreen(std::int16_t) override {}
    void ShowItemValue(std::int16_t, std::int16_t) override {}
    std::int16_t AcceptItem(std::int16_t, std::int16_t, const std::string&, key::Code) override { return 0; }
    std::int16_t AcceptScreen(std::int16_t, key::Code) override { return 0; }
    void AfterListChoice(std::int16_t&, std::int16_t&, std::int16_t&) override {}
    std::int16_t ListStart(std::int16_t, std::string&, std::string&) override { return 0; }
    std::string ListLine(std::int16_t) override { return {}; }
};

constexpr const char* kKeys[] = {"Up", "Down", "PgUp", "PgDn", "Left", "Right", "Down", "PgDn", "Enter", "Esc", "F4"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const int top = in.ConsumeIntegralInRange(1, 20);
    const int left = in.ConsumeIntegralInRange(1, 70);
    const int bottom = in.ConsumeIntegralInRange(top + 2, 25);
    const int right = in.ConsumeIntegralInRange(left + 2, 80);
    const std::string title = in.ConsumeRandomLengthString(100);
    const std::string keys = in.ConsumeRandomLengthString(64);
    const std::string cache = in.ConsumeRemainingBytesAsString();

    const auto& dir = fuzz::Scratch();
    dir.Write("Browse.tmp", cache);
    MemoryConsole console;
    fuzz::Scribble(console, 'a', 3);
    const std::vector<Cell> before = fuzz::Snapshot(console);
    Screen screen(console);
    Colours colours(screen, fuzz::DefaultColours());
    SystemPlatform platform;
    Windows windows(screen, colours, platform, dir.Dir());
    Keyboard keyboard(console);
    TextUtils textUtils;
    FieldEditor editor(keyboard, windows, colours, textUtils);
    Help help(windows, platform, "DOS", "CAT");
    FormTables tables;
    tables.lists.resize(2);
    FormList& list = tables.List(1);
    list.fields = {0, 0, static_cast<std::int16_t>(top), static_cast<std::int16_t>(left),
                   static_cast<std::int16_t>(bottom), static_cast<std::int16_t>(right), 0, 0};
    list.Title = title;
    NoHooks hooks;
    FormEngine engine(tables, hooks, editor, keyboard, windows, colours, help, "");
    BuiltinEngine manager;
    Random random(7);
    RecordFiles records(manager, windows, platform, random, "CAT");
    ListPopup popup(tables, hooks, engine, records, keyboard, windows, colours, platform, dir.Dir());

    fuzz::PressKeys(console, keys, kKeys);
    console.PressKey("Esc");
    const std::int16_t result = popup.ListBrowser(1);
    fuzz::Check(result == 0 || result == -1, "a list without a record file gave " + std::to_string(result));
    if (result == 0)
        fuzz::Check(cache.find(popup.SelectedListLine()) != std::string::npos, "the line chosen is not in the file");
    fuzz::Check(fuzz::Snapshot(console) == before, "the list did not give back the screen");
    fuzz::Check(windows.WindowDepth() == 0 && !dir.Has("WinPush.tmp"), "the list left a window open");
    fuzz::Check(!dir.Has("Browse.tmp"), "Browse.tmp outlived the list");
    return 0;
}
