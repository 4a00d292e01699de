// WinPush.tmp: whatever an earlier run or another program left in it, then
// pushes, pops and drawing chosen by the input. A pop puts back exactly the
// cells its push saved, and the file is gone once the stack is empty.
#include "fuzz_support.h"
#include "screen/colours.h"
#include "screen/memory_console.h"
#include "screen/windows.h"

using namespace qp;

namespace {

struct Pushed {
    Rect region;
    std::vector<Cell> cells;  // the region's cells at the push; empty when nothing was saved
};

std::vector<Cell> RegionCells(MemoryConsole& console, const Rect& r) {
    std::vector<Cell> cells;
    for (int row = r.top; row <= r.bottom; ++row)
        for (int column = r.left; column <= r.right; ++column) cells.push_back(console.ReadCell(row, column));
    return cells;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const bool wide = in.ConsumeBool();
    const std::string steps = in.ConsumeRandomLengthString(48);
    const std::string left = in.ConsumeRemainingBytesAsString();

    const auto& dir = fuzz::Scratch();
    dir.Write("WinPush.tmp", left);
    // Wide consoles reach coordinates that the file's two-digit fields cannot hold.
    MemoryConsole console(wide ? 40 : 25, wide ? 132 : 80);
    Screen screen(console);
    Colours colours(screen, fuzz::DefaultColours());
    SystemPlatform platform;
    Windows windows(screen, colours, platform, dir.Dir());

    std::vector<Pushed> pushed;
    for (std::size_t i = 0; i + 4 < steps.size(); i += 5) {
        auto at = [&](std::size_t k) { return static_cast<unsigned char>(steps[i + k]); };
        switch (at(0) % 4) {
            case 0: {
                // Mostly inside the console, sometimes just outside it.
                const int rows = console.Rows() + 2;
                const int columns = console.Columns() + 2;
                Rect r {at(1) % rows, at(2) % columns, at(3) % rows, at(4) % columns};
                const int depth = windows.WindowDepth();
                std::vector<Cell> before = RegionCells(console, r);
                windows.PushScreenRegion(r.top, r.left, r.bottom, r.right);
                const bool saved = windows.WindowDepth() == depth + 1;
                fuzz::Check(saved || windows.WindowDepth() == depth, "a push changed the depth by more than one");
                if (saved) fuzz::Check(windows.CurrentWindow() == r, "the pushed region is not the current window");
                pushed.push_back({r, saved ? before : std::vector<Cell>()});
                break;
            }
            case 1: {
                const int depth = windows.WindowDepth();
                windows.PopScreenRegion();
                if (pushed.empty()) {
                    fuzz::Check(windows.WindowDepth() == 0, "a foreign pop opened a window");
                    break;
                }
                Pushed last = std::move(pushed.back());
                pushed.pop_back();
                if (last.cells.empty()) {
                    fuzz::Check(windows.WindowDepth() == depth, "popping an unsaved push closed a window");
                } else {
                    fuzz::Check(windows.WindowDepth() == depth - 1, "a pop did not close its window");
                    fuzz::Check(RegionCells(console, last.region) == last.cells, "a pop did not restore its region");
                }
                break;
            }
            case 2:
                windows.DrawWindowFrame(at(1) % 3);
                windows.LocateInWindow(at(2) % 30, at(3) % 90);
                screen.Print(steps.substr(i + 1, 4));
                break;
            default:
                windows.ScrollRegion(at(1) % 30 - 2, at(2) % 90 - 2, at(3) % 30, at(4) % 90, at(1) % 7 - 3);
                break;
        }
    }
    while (!pushed.empty()) {
        Pushed last = std::move(pushed.back());
        pushed.pop_back();
        windows.PopScreenRegion();
        if (!last.cells.empty())
            fuzz::Check(RegionCells(console, last.region) == last.cells, "a pop did not restore its region");
    }
    fuzz::Check(windows.WindowDepth() == 0, "windows left open");
    // Pops of regions left by others, until the file says there are none.
    for (int k = 0; k < 4 && dir.Has("WinPush.tmp"); ++k) windows.PopScreenRegion();
    dir.Remove("WinPush.tmp");
    return 0;
}
