// A text help file (AJUDA\topic.HLP) of any bytes, paged with the pager's
// keys on consoles of several heights: the pager never reads outside its
// file's records and gives back the screen it covered. Any bytes as a topic
// or a language code: a topic accepted is a plain name, the help opens no
// file outside AJUDA and runs no command, and a refused topic only beeps.
#include "fuzz_support.h"
#include "screen/colours.h"
#include "screen/help.h"
#include "screen/memory_console.h"

using namespace qp;

namespace {

constexpr const char* kKeys[] = {"Down", "Up", "PgDn", "PgUp", "Home", "End", "Down", "PgDn", "F1", "x"};
constexpr std::string_view kNameCharacters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_-";

// What the help asks of the system: help pages in AJUDA (or its language
// folder) only, and never a command line.
class WatchingPlatform : public SystemPlatform {
public:
    explicit WatchingPlatform(std::string scratch) : scratch_(std::move(scratch)) {}
    std::unique_ptr<File> Open(const std::string& path, OpenMode mode, std::string* reason) override {
        CheckHelpPath(path);
        return SystemPlatform::Open(path, mode, reason);
    }
    bool Exists(const std::string& path) override {
        CheckHelpPath(path);
        return SystemPlatform::Exists(path);
    }
    int RunCommand(const std::string& commandLine) override { fuzz::Fail("a command was run: " + commandLine); }
    bool IsWindowsHost() const override { return false; }

private:
    // The window stack's file in the scratch directory aside.
    void CheckHelpPath(const std::string& path) const {
        if (path.compare(0, scratch_.size(), scratch_) == 0) return;
        fuzz::Check(path.compare(0, 6, "AJUDA\\") == 0, "a help page outside AJUDA: " + path);
        std::string rest = path.substr(6, path.size() - 6 - 4);
        const std::size_t folder = rest.find('\\');
        if (folder != std::string::npos) {
            fuzz::Check(folder == 3, "a language folder that is no three-letter code: " + path);
            rest.erase(folder, 1);
        }
        fuzz::Check(rest.find_first_not_of(kNameCharacters) == std::string::npos, "a page name that is no plain name: " + path);
    }
    std::string scratch_;
};

bool IsDeviceName(std::string_view topic) {
    std::string upper(topic);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL") return true;
    return upper.size() == 4 && (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0) &&
           upper[3] >= '0' && upper[3] <= '9';
}

// One topic through the check and through F1 with a Windows host kind on a
// system without QPOPEN.
void CheckTopic(const std::string& topic, const std::string& language, Platform& platform) {
    const bool accepted = IsHelpTopic(topic);
    if (accepted) {
        fuzz::Check(!topic.empty() && topic.size() <= 64, "a topic accepted with " + std::to_string(topic.size()) + " bytes");
        fuzz::Check(topic.find_first_not_of(kNameCharacters) == std::string::npos,
                    "a topic accepted with a separator, dot or shell character: " + topic);
        fuzz::Check(!IsDeviceName(topic), "a device name accepted as a topic: " + topic);
    }
    MemoryConsole console(25, 80);
    fuzz::Scribble(console, 'k', 3);
    const std::vector<Cell> before = fuzz::Snapshot(console);
    Screen screen(console);
    Colours colours(screen, fuzz::DefaultColours());
    Windows windows(screen, colours, platform, fuzz::Scratch().Dir());
    Help help(windows, platform, "WIN", language);
    console.PressKey("Esc");
    help.ShowHelp(topic);
    fuzz::Check(fuzz::Snapshot(console) == before, "the help of a fuzzed topic did not give back the screen");
    fuzz::Check(console.beeps() == (accepted ? 0 : 1), "a refused topic did not beep, or an accepted one did");
    fuzz::Check(accepted != (console.QueuedEvents() == 1), "a refused topic opened the pager");
}

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
    WatchingPlatform platform(dir.Dir());
    Windows windows(screen, colours, platform, dir.Dir());
    Help help(windows, platform, "DOS", "CAT");
    fuzz::PressKeys(console, keys, kKeys);
    console.PressKeys({"Esc", "Esc"});
    help.ShowHelp("TEMA");
    fuzz::Check(fuzz::Snapshot(console) == before, "the pager did not give back the screen");
    fuzz::Check(windows.WindowDepth() == 0, "the pager left a window open");

    // The key bytes and the start of the page as a topic from Sessio.ini and
    // a language code from TarnTerm.ini.
    CheckTopic(keys, page.substr(0, 3), platform);
    CheckTopic(page.substr(0, 70), keys.substr(0, 3), platform);
    return 0;
}
