// Figures of the receipt layout editor that an operator or an administrator
// feels: how long the first screen takes (also with a large language file or
// Tarn.ini), how much one typed character costs on the terminal line, how
// long the scripted --set and --get take against a plain copy of the file,
// how much memory they take, whether concurrent saves keep every value, and
// what a save and its lock cost.
//   qp_bench [--binary PATH] [--source DIR] [--runs N] [--rounds N] [--only LIST]
#include <sys/vfs.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "figures.h"
#include "installation.h"
#include "measures.h"

namespace {

using namespace qp::bench;
namespace fs = std::filesystem;

constexpr std::size_t kLargeTarnIniBytes = 5 * 1024 * 1024 / 2;      // 2.5 MB
constexpr std::size_t kLargeLanguageBytes = 17 * 1024 * 1024 / 10;   // 1.7 MB
// The targets the figures are held to.
constexpr std::int64_t kSetToCopyTarget = 6;
constexpr std::int64_t kGetToCopyTarget = 3;
constexpr std::int64_t kStartupGapMicros = 40'000;

const std::vector<std::string> kMeasureNames = {"editor", "startup", "script", "concurrency", "save"};

struct Options {
    Setup setup {QP_BINARY, QP_SOURCE_DIR};
    std::set<std::string> measures {kMeasureNames.begin(), kMeasureNames.end()};
    bool Wants(const std::string& measure) const { return measures.count(measure) > 0; }
};

std::optional<int> Count(const std::string& value, std::size_t maxDigits) {
    if (value.empty() || value.size() > maxDigits || value.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::max(std::stoi(value), 1);
}

std::optional<std::set<std::string>> MeasureList(const std::string& value) {
    std::set<std::string> measures;
    std::stringstream list(value);
    for (std::string name; std::getline(list, name, ',');) {
        if (std::find(kMeasureNames.begin(), kMeasureNames.end(), name) == kMeasureNames.end()) return std::nullopt;
        measures.insert(name);
    }
    if (measures.empty()) return std::nullopt;
    return measures;
}

std::optional<Options> ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (i + 1 >= argc) return std::nullopt;
        std::string value = argv[++i];
        if (arg == "--binary") {
            options.setup.binary = value;
        } else if (arg == "--source") {
            options.setup.source = value;
        } else if (arg == "--runs" && Count(value, 3)) {
            options.setup.runs = *Count(value, 3);
        } else if (arg == "--rounds" && Count(value, 4)) {
            options.setup.rounds = *Count(value, 4);
        } else if (arg == "--only" && MeasureList(value)) {
            options.measures = *MeasureList(value);
        } else {
            return std::nullopt;
        }
    }
    return options;
}

// The file system of the scratch files: whether a save's flush reaches a disk.
std::string FileSystemOf(const fs::path& path) {
    struct statfs info {};
    if (::statfs(path.c_str(), &info) != 0) return "unknown file system";
    auto type = static_cast<unsigned long>(info.f_type);
    switch (type) {
    case 0xEF53UL: return "ext4";
    case 0x01021994UL: return "tmpfs";
    case 0x794C7630UL: return "overlayfs";
    case 0x9123683EUL: return "btrfs";
    case 0x58465342UL: return "xfs";
    default: break;
    }
    std::stringstream hex;
    hex << "file system 0x" << std::hex << type;
    return hex.str();
}

std::optional<LargeFiles> GenerateLargeFiles(const Setup& setup, const ScratchDir& dir, std::string& reason) {
    LargeFiles files;
    files.sampleTarnIniBytes = static_cast<std::int64_t>(ReadWholeFile(setup.source + "/sample/Tarn.ini").size());
    files.shippedLanguageBytes = static_cast<std::int64_t>(ReadWholeFile(setup.source + "/LOCALE/QPLAYOUT.LNG").size());
    if (!WriteLargeTarnIni(setup.source, dir.Dir() + "Tarn.ini", kLargeTarnIniBytes, files.tarnIni, reason) ||
        !WriteLargeLanguageFile(setup.source, dir.Dir() + "QPLAYOUT.LNG", kLargeLanguageBytes, files.language, reason))
        return std::nullopt;
    return files;
}

std::int64_t Bytes(const GeneratedFile& file) { return static_cast<std::int64_t>(file.bytes); }

template <typename T>
std::vector<std::int64_t> Field(const std::vector<EditorRun>& runs, T EditorRun::*member) {
    std::vector<std::int64_t> values;
    for (const EditorRun& run : runs) values.push_back(static_cast<std::int64_t>(run.*member));
    return values;
}

std::vector<std::string> MedianMinMax(const std::string& what, const std::vector<std::int64_t>& values,
                                      std::string (*show)(std::int64_t)) {
    auto [low, high] = std::minmax_element(values.begin(), values.end());
    return {what, show(Median(values)), show(*low), show(*high)};
}

std::string BytesText(std::int64_t n) { return std::to_string(n) + " B"; }
// Tenths as "6.6 /s".
std::string PerSecond(std::int64_t perTenSeconds) {
    return std::to_string(perTenSeconds / 10) + "." + std::to_string(perTenSeconds % 10) + " /s";
}

void PrintEditor(const std::vector<EditorRun>& runs) {
    std::cout << "The editor on an 80x25 pty, Catalan session (sample installation)\n";
    Table table;
    table.Add({"", "median", "min", "max"});
    table.Add(MedianMinMax("start-up to the complete first screen", Field(runs, &EditorRun::startMicros), Millis));
    table.Add(MedianMinMax("bytes of the first screen", Field(runs, &EditorRun::firstScreenBytes), BytesText));
    table.Add(MedianMinMax("bytes for Down to the next item", Field(runs, &EditorRun::nextItemBytes), BytesText));
    table.Add(MedianMinMax("bytes for one character typed in a field", Field(runs, &EditorRun::typedCharBytes),
                           BytesText));
    table.Add(MedianMinMax("typed character to its echo", Field(runs, &EditorRun::echoMicros), Millis));
    table.Add(MedianMinMax("wake-ups per second while waiting for a key", Field(runs, &EditorRun::idleWakeupsPer10s),
                           PerSecond));
    table.Print(std::cout);
}

std::string TargetText(const std::string& target, bool met) { return "at most " + target + ": " + Verdict(met); }

void PrintStartup(const StartupFigures& startup, const LargeFiles& files) {
    std::cout << "Start-up until the form is drawn, Spanish session (TarnTerm.ini [Sistema] Idioma=SPA)\n";
    Table table;
    table.Add({"", "median (min-max)", "difference", "target"});
    std::int64_t base = Median(startup.micros[kShippedFiles]);
    table.Add({"shipped QPLAYOUT.LNG (" + Size(files.shippedLanguageBytes) + "), sample Tarn.ini (" +
                   Size(files.sampleTarnIniBytes) + ")",
               Spread(startup.micros[kShippedFiles]), "", ""});
    auto addCase = [&](StartupCase which, const std::string& what) {
        std::int64_t gap = Median(startup.micros[which]) - base;
        table.Add({what, Spread(startup.micros[which]), SignedMillis(gap),
                   TargetText("40 ms apart", gap <= kStartupGapMicros)});
    };
    addCase(kLargeLanguage, "QPLAYOUT.LNG of " + Size(Bytes(files.language)) + ", sample Tarn.ini");
    addCase(kLargeTarnIni, "shipped QPLAYOUT.LNG, Tarn.ini of " + Size(Bytes(files.tarnIni)));
    table.Print(std::cout);
}

void PrintScripted(const ScriptFigures& script, const LargeFiles& files) {
    std::cout << "Scripted modes: qplayout run as a child (fork, exec, wait), MURROOT on a copy of the sample\n";
    Table table;
    table.Add({"", "sample Tarn.ini (" + Size(files.sampleTarnIniBytes) + ")",
               "Tarn.ini of " + Size(Bytes(files.tarnIni)), "large / cp", "target"});
    std::int64_t copy = Median(script.copy.micros);
    auto addMode = [&](const std::string& what, const ChildSeries (&series)[2], std::int64_t target) {
        std::int64_t large = Median(series[1].micros);
        table.Add({what, Spread(series[0].micros), Spread(series[1].micros), Ratio(large, copy),
                   TargetText(std::to_string(target) + "x cp", large <= target * copy)});
    };
    addMode("--set Fila.Num (one key)", script.setOne, kSetToCopyTarget);
    addMode("--set of all nine keys", script.setNine, kSetToCopyTarget);
    addMode("--get of all nine keys", script.get, kGetToCopyTarget);
    table.Add({"/bin/cp of the large Tarn.ini, run the same way", "", Spread(script.copy.micros), "", ""});
    table.Print(std::cout);
}

// Peak memory beyond the file, per key or record: (growth over the small
// case - the growth of the file) / entries, in bytes.
std::string PerEntry(std::int64_t smallKb, std::int64_t largeKb, std::int64_t smallBytes, std::int64_t largeBytes,
                     std::size_t entries, const std::string& unit) {
    if (entries == 0) return "";
    std::int64_t beyond = (largeKb - smallKb) * 1024 - (largeBytes - smallBytes);
    return std::to_string(beyond / static_cast<std::int64_t>(entries)) + " B per " + unit;
}

void PrintMemory(const std::optional<ScriptFigures>& script, const std::optional<StartupFigures>& startup,
                 const LargeFiles& files) {
    std::cout << "Peak resident memory (--set: wait4's ru_maxrss; start-up: VmHWM once the form is drawn)\n";
    Table table;
    table.Add({"", "file", "peak resident", "growth", "growth beyond the file's"});
    std::int64_t tarnBytes = Bytes(files.tarnIni);
    std::int64_t languageBytes = Bytes(files.language);
    auto addPair = [&](const std::string& what, const std::string& smallName, const std::string& largeName,
                       const std::vector<std::int64_t>& smallKb, const std::vector<std::int64_t>& largeKb,
                       std::int64_t smallBytes, std::int64_t largeBytes, const GeneratedFile& large,
                       const std::string& unit) {
        std::int64_t low = Median(smallKb);
        std::int64_t high = Median(largeKb);
        table.Add({what + ", " + smallName, Size(smallBytes), SizeFromKb(low), "", ""});
        table.Add({what + ", " + largeName, Size(largeBytes), SizeFromKb(high), "+" + SizeFromKb(high - low),
                   PerEntry(low, high, smallBytes, largeBytes, large.entries, unit)});
    };
    if (script) {
        addPair("--set one key", "sample Tarn.ini", "large Tarn.ini", script->setOne[0].peakKb,
                script->setOne[1].peakKb, files.sampleTarnIniBytes, tarnBytes, files.tarnIni, "key");
        addPair("--set nine keys", "sample Tarn.ini", "large Tarn.ini", script->setNine[0].peakKb,
                script->setNine[1].peakKb, files.sampleTarnIniBytes, tarnBytes, files.tarnIni, "key");
        addPair("--get", "sample Tarn.ini", "large Tarn.ini", script->get[0].peakKb, script->get[1].peakKb,
                files.sampleTarnIniBytes, tarnBytes, files.tarnIni, "key");
    }
    if (startup) {
        addPair("start-up", "shipped QPLAYOUT.LNG", "large QPLAYOUT.LNG", startup->peakKb[kShippedFiles],
                startup->peakKb[kLargeLanguage], files.shippedLanguageBytes, languageBytes, files.language, "record");
        std::int64_t low = Median(startup->peakKb[kShippedFiles]);
        std::int64_t high = Median(startup->peakKb[kLargeTarnIni]);
        table.Add({"start-up, large Tarn.ini", Size(tarnBytes), SizeFromKb(high), "+" + SizeFromKb(high - low),
                   PerEntry(low, high, files.sampleTarnIniBytes, tarnBytes, files.tarnIni.entries, "key")});
    }
    if (script)
        table.Add({"/bin/true started the same way (floor)", "", SizeFromKb(Median(script->floor.peakKb)), "", ""});
    table.Print(std::cout);
}

void PrintConcurrency(const ConcurrencyFigures& figures) {
    std::cout << "Eight qplayout --set of different keys started together, sample Tarn.ini (Antic=N set before)\n";
    Table table;
    std::string rounds = std::to_string(figures.rounds);
    table.Add({"rounds after which all eight values were there", std::to_string(figures.allKept) + " of " + rounds,
               "target: all: " + Verdict(figures.allKept == figures.rounds)});
    table.Add({"rounds in which a --set did not exit 0", std::to_string(figures.failedRounds) + " of " + rounds, ""});
    table.Add({"time for the eight, median (min-max)", Spread(figures.micros), ""});
    table.Print(std::cout);
    if (!figures.firstProblem.empty()) std::cout << "first problem: " << figures.firstProblem << "\n";
}

void PrintSaves(const SaveFigures& saves) {
    std::cout << "One save and its lock (SaveReceiptSettings through the library, " << saves.sampleSaves.size()
              << " saves each)\n";
    std::string call = saves.openFileLocks ? "fcntl(F_OFD_SETLK)" : "fcntl(F_SETLK)";
    std::int64_t saveMicros = Median(saves.sampleSaves);
    std::int64_t lockNanos = Median(saves.recheckNanos);
    Table table;
    table.Add({"", "median (min-max)"});
    table.Add({"save of the sample Tarn.ini (" + Size(saves.sampleBytes) + "), with the lock",
               Spread(saves.sampleSaves)});
    table.Add({"save of a Tarn.ini of " + Size(saves.largeBytes) + ", with the lock", Spread(saves.largeSaves)});
    table.Add({call + " write lock + unlock of the sample Tarn.ini", SpreadNanos(saves.lockNanos)});
    table.Add({"the same with the check that the path still names the file", SpreadNanos(saves.recheckNanos)});
    table.Add({"the lock's share of one save of the sample Tarn.ini", Percent(lockNanos, saveMicros * 1000)});
    table.Print(std::cout);
    std::cout << "A save without the lock cannot be timed without changing the program (every rewrite locks);\n"
                 "the lock's own cost, on the same file, stands beside the save's instead.\n";
}

int Failed(const std::string& reason) {
    std::cout << std::flush;
    std::cerr << "qp_bench: " << reason << "\n";
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<Options> options = ParseOptions(argc, argv);
    if (!options) {
        std::cerr << "usage: qp_bench [--binary PATH] [--source DIR] [--runs N] [--rounds N]\n"
                     "                [--only editor,startup,script,concurrency,save]\n";
        return 64;
    }
    const Setup& setup = options->setup;
    std::string reason;
    ScratchDir templates;
    std::optional<LargeFiles> files;
    if (options->Wants("startup") || options->Wants("script")) {
        if (!templates.ok()) return Failed("cannot make a temporary directory");
        files = GenerateLargeFiles(setup, templates, reason);
        if (!files) return Failed(reason);
    }
    std::cout << "qp_bench: " << setup.binary << "\n"
              << setup.runs << " runs of each timed measure, " << setup.rounds
              << " rounds of the concurrent saves; scratch files under " << fs::temp_directory_path().string()
              << " (" << FileSystemOf(fs::temp_directory_path()) << ")\n";
    if (files)
        std::cout << "large Tarn.ini: " << Size(Bytes(files->tarnIni)) << " (" << files->tarnIni.bytes << " B), "
                  << files->tarnIni.entries << " keys in other programs' sections, CR LF, [Rebut] last\n"
                  << "large QPLAYOUT.LNG: " << Size(Bytes(files->language)) << " (" << files->language.bytes
                  << " B), " << files->language.entries << " other texts' records before the shipped ones\n";
    std::cout << "Times are medians with the minimum and maximum in brackets.\n" << std::flush;

    std::optional<std::vector<EditorRun>> editor;
    std::optional<StartupFigures> startup;
    std::optional<ScriptFigures> script;
    std::optional<ConcurrencyFigures> concurrency;
    std::optional<SaveFigures> saves;
    if (options->Wants("editor")) {
        editor = MeasureEditor(setup, reason);
        if (!editor) return Failed(setup.binary + ": " + reason);
        std::cout << "\n";
        PrintEditor(*editor);
        std::cout << std::flush;
    }
    if (options->Wants("startup")) {
        startup = MeasureSpanishStartup(setup, *files, reason);
        if (!startup) return Failed(setup.binary + ": " + reason);
        std::cout << "\n";
        PrintStartup(*startup, *files);
        std::cout << std::flush;
    }
    if (options->Wants("script")) {
        script = MeasureScriptedModes(setup, *files, reason);
        if (!script) return Failed(reason);
        std::cout << "\n";
        PrintScripted(*script, *files);
        std::cout << std::flush;
    }
    if (startup || script) {
        std::cout << "\n";
        PrintMemory(script, startup, *files);
        std::cout << std::flush;
    }
    if (options->Wants("concurrency")) {
        concurrency = MeasureConcurrentSets(setup, reason);
        if (!concurrency) return Failed(reason);
        std::cout << "\n";
        PrintConcurrency(*concurrency);
        std::cout << std::flush;
    }
    if (options->Wants("save")) {
        saves = MeasureSaves(setup, reason);
        if (!saves) return Failed(reason);
        std::cout << "\n";
        PrintSaves(*saves);
        std::cout << std::flush;
    }
    return 0;
}
