// A text help file (AJUDA\topic.HLP) of any bytes, paged with the pager's
// keys on consoles of several heights: the pager never reads outside its
// file's records and gives back the screen it covered.
#include "fuzz_support.h"
#include "screen/colours.h"
#include "screen/help.h"
#include "screen/memory_console.h"

using namespace qp;

namespace {

constexpr const char* kKeys[] = {"Down", "Up", "PgDn", "PgUp", "Home", "End", "Down", "PgDn", "F1", "x"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const int rows = in.ConsumeIntegralInRange(5, 50);
    const int columns = in.ConsumeIntegralInRange(3, 132);
    const std::string keys = in.ConsumeRandomLengthString(64);
    const std::string page = in.ConsumeRemainingBytesAsString();

    const auto& dir = fuzz::Scratch();
    // The pager opens its files relative to the current directory, as the program runs in RootDir.
    static const bool inScratch = chdir(dir.Dir().c_str()) == 0;
    fuzz::Check(inScratch, "cannot work in the scratch directory");
    dir.Write("AJUDA/TEMA.HLP", page);
    dir.Write("AJUDA/QPMENUEX.HLP", page.substr(0, page.size() / 2));

    MemoryConsole console(rows, columns);
    fuzz::Scribble(console, 'a', 5);
    const std::vector<Cell> before = fuzz::Snapshot(console);
    Screen screen(console);
    Colours colours(screen, fuzz::DefaultColours());
    SystemPlatform platform;
    Windows windows(screen, colours, platform, dir.Dir());
    Help help(windows, platform, "DOS", "CAT");
    fuzz::PressKeys(console, keys, kKeys);
    console.PressKeys({"Esc", "Esc"});
    help.ShowHelp("TEMA");
    fuzz::Check(fuzz::Snapshot(console) == before, "the pager did not give back the screen");
    fuzz::Check(windows.WindowDepth() == 0, "the pager left a window open");
    return 0;
}
