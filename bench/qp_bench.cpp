// Figures of the receipt layout editor that an operator feels: how long the
// first screen takes, how much one typed character costs on the terminal
// line, and how long storing the settings into a large Tarn.ini takes.
//   qp_bench [--binary PATH] [--source DIR] [--runs N]
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "editor/receipt_settings.h"
#include "input/form_tables.h"
#include "platform/platform.h"
#include "pty_program.h"

namespace {

using Clock = std::chrono::steady_clock;
using qp::bench::PtyProgram;
using qp::bench::ScreenModel;
namespace fs = std::filesystem;

constexpr int kRows = 25;
constexpr int kColumns = 80;
constexpr auto kQuiet = std::chrono::milliseconds(200);
constexpr auto kScreenDeadline = std::chrono::seconds(10);
constexpr std::size_t kLargeTarnIni = 30 * 1024;
constexpr int kSaveRuns = 20;
// How long the program is watched while it waits for a key.
constexpr auto kIdleWindow = std::chrono::seconds(2);

struct Options {
    std::string binary = QP_BINARY;
    std::string source = QP_SOURCE_DIR;
    int runs = 7;
};

std::optional<Options> ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (i + 1 >= argc) return std::nullopt;
        std::string value = argv[++i];
        if (arg == "--binary") {
            options.binary = value;
        } else if (arg == "--source") {
            options.source = value;
        } else if (arg == "--runs" && value.find_first_not_of("0123456789") == std::string::npos && value.size() < 4) {
            options.runs = std::max(std::stoi(value), 1);
        } else {
            return std::nullopt;
        }
    }
    return options;
}

// A directory that removes itself.
class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (fs::temp_directory_path() / "qp-bench.XXXXXX").string();
        if (mkdtemp(pattern.data())) path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ignored;
        if (!path_.empty()) fs::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    bool ok() const { return !path_.empty(); }
    // With a trailing "/", ready for concatenation as the program's paths are.
    std::string Dir() const { return path_ + "/"; }

private:
    std::string path_;
};

// The sample installation with the shipped form, language file and help.
bool MakeInstallation(const std::string& source, const ScratchDir& dir, std::string& reason) {
    std::error_code error;
    fs::copy(fs::path(source) / "sample", dir.Dir(), fs::copy_options::recursive, error);
    for (const char* folder : {"FORMS", "LOCALE", "AJUDA"}) {
        if (error) break;
        fs::path from = fs::path(source) / folder;
        if (fs::exists(from)) fs::copy(from, fs::path(dir.Dir()) / folder, fs::copy_options::recursive, error);
    }
    if (!error) fs::create_directories(fs::path(dir.Dir()) / "TEMP", error);
    if (error) reason = "cannot copy the sample installation: " + error.message();
    return !error;
}

bool RowShows(const ScreenModel& screen, std::string_view label, std::string_view value) {
    for (int r = 1; r <= kRows; ++r) {
        std::string row = screen.Row(r);
        std::size_t at = row.find(label);
        if (at != std::string::npos && row.find(value, at + label.size()) != std::string::npos) return true;
    }
    return false;
}

// The whole form of the sample installation is on the screen and its first
// item is open for entry.
bool FormComplete(const ScreenModel& screen) {
    return screen.Shows("Format dels rebuts") && screen.Shows("\u25c4S\u00ed\u25ba") &&
           RowShows(screen, "Imprimir el membret", ": S\u00ed") && screen.Shows("F10: desa i surt") &&
           screen.Shows("\u255a");
}

struct EditorRun {
    std::int64_t startMicros = 0;
    std::size_t firstScreenBytes = 0;
    std::size_t nextItemBytes = 0;
    std::int64_t echoMicros = 0;
    std::size_t typedCharBytes = 0;
    std::int64_t idleWakeupsPer10s = 0;  // wake-ups while waiting for a key, per 10 seconds
};

std::int64_t MicrosSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
}

std::optional<EditorRun> RunEditorOnce(const Options& options, std::string& reason) {
    ScratchDir dir;
    if (!dir.ok()) {
        reason = "cannot make a temporary directory";
        return std::nullopt;
    }
    if (!MakeInstallation(options.source, dir, reason)) return std::nullopt;
    std::vector<std::string> environment {"MURROOT=" + dir.Dir(), "MURTMP=" + dir.Dir() + "TEMP/",
                                          "TERM=xterm-256color", "LANG=C.UTF-8"};
    EditorRun run;
    PtyProgram program;
    Clock::time_point start = Clock::now();
    if (!program.Start(options.binary, environment, kRows, kColumns, reason)) return std::nullopt;
    if (!program.ReadUntil(FormComplete, start + kScreenDeadline)) {
        reason = "the form was not complete on the screen within 10 s";
        return std::nullopt;
    }
    run.startMicros = MicrosSince(start);
    program.ReadUntilQuiet(kQuiet);
    run.firstScreenBytes = program.BytesRead();

    // Nothing is typed: the program waits for its first key.
    long switchesBefore = program.ContextSwitches();
    std::this_thread::sleep_for(kIdleWindow);
    long switchesAfter = program.ContextSwitches();
    if (switchesBefore < 0 || switchesAfter < 0) {
        reason = "cannot read the program's context switches in /proc";
        return std::nullopt;
    }
    run.idleWakeupsPer10s = (switchesAfter - switchesBefore) * 10 / kIdleWindow.count();

    std::size_t before = program.BytesRead();
    program.Type("\x1b[B");  // Down: to the receipt number's row, opened blank
    program.ReadUntilQuiet(kQuiet);
    run.nextItemBytes = program.BytesRead() - before;

    before = program.BytesRead();
    Clock::time_point typed = Clock::now();
    program.Type("7");
    auto echoed = [](const ScreenModel& screen) { return RowShows(screen, "Fila del n\u00famero de rebut", ": 7"); };
    if (!program.ReadUntil(echoed, typed + kScreenDeadline)) {
        reason = "the typed character never appeared in the field";
        return std::nullopt;
    }
    run.echoMicros = MicrosSince(typed);
    program.ReadUntilQuiet(kQuiet);
    run.typedCharBytes = program.BytesRead() - before;
    program.Stop();
    return run;
}

// About kLargeTarnIni bytes of sections like a busy installation's, with the
// receipt section among them.
std::string LargeTarnIni() {
    std::string text = "[Usuari]\r\nIdioma=CAT\r\nDatCaracter=/\r\nDatOrdre=DMA\r\n";
    for (int section = 1; text.size() < kLargeTarnIni; ++section) {
        text += "[Programa" + std::to_string(section) + "]\r\n";
        for (int key = 1; key <= 20; ++key)
            text += "Clau" + std::to_string(key) + "=valor " + std::to_string(section * 100 + key) + " del programa\r\n";
        if (section == 20) text += "[Rebut]\r\nAntic=S\r\nFila.Num=1 \r\nFila.Dat=3 \r\nMatriu=N\r\n";
    }
    return text;
}

qp::FormTables ReceiptTables() {
    qp::FormTables tables;
    tables.ScreenCount = 1;
    tables.MaxItems = qp::ReceiptSettings::kSettingCount;
    tables.screens.resize(1);
    tables.Screen(1).ItemCount = qp::ReceiptSettings::kSettingCount;
    tables.Screen(1).items.resize(qp::ReceiptSettings::kSettingCount);
    const std::int16_t lengths[qp::ReceiptSettings::kSettingCount] = {1, 2, 2, 2, 2, 2, 1, 1, 1};
    for (int i = 1; i <= qp::ReceiptSettings::kSettingCount; ++i) tables.Item(1, i).Length = lengths[i - 1];
    return tables;
}

std::optional<std::vector<std::int64_t>> TimeSaves(std::size_t& fileSize, std::string& reason) {
    ScratchDir dir;
    if (!dir.ok()) {
        reason = "cannot make a temporary directory";
        return std::nullopt;
    }
    std::string tarnIni = dir.Dir() + "Tarn.ini";
    std::ofstream(tarnIni, std::ios::binary) << LargeTarnIni();
    qp::SystemPlatform platform;
    qp::FormTables tables = ReceiptTables();
    qp::ReceiptSettings settings(platform, tables, tarnIni);
    settings.LoadReceiptSettings();
    std::vector<std::int64_t> micros;
    for (int run = 0; run < kSaveRuns; ++run) {
        tables.Item(1, 8).Assign(run % 2 ? "S" : "N");
        Clock::time_point start = Clock::now();
        qp::SaveResult saved = settings.SaveReceiptSettings();
        micros.push_back(MicrosSince(start));
        if (!saved.ok()) {
            reason = "SaveReceiptSettings failed: " + (saved.status.ok ? std::string("the row plan") : saved.status.reason);
            return std::nullopt;
        }
    }
    fileSize = static_cast<std::size_t>(fs::file_size(tarnIni));
    return micros;
}

template <typename T>
T Median(std::vector<T> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// "12.345 ms", without the locale-dependent floating-point output.
std::string Millis(std::int64_t micros) {
    std::string fraction = std::to_string(micros % 1000);
    return std::to_string(micros / 1000) + "." + std::string(3 - fraction.size(), '0') + fraction + " ms";
}

// Tenths as "6.6 /s".
std::string PerSecond(std::int64_t perTenSeconds) {
    return std::to_string(perTenSeconds / 10) + "." + std::to_string(perTenSeconds % 10) + " /s";
}

std::string Padded(std::string text, std::size_t width) {
    if (text.size() < width) text.insert(0, width - text.size(), ' ');
    return text;
}

void PrintRow(const std::string& what, const std::string& median, const std::string& low, const std::string& high) {
    std::string line = what;
    line.resize(58, ' ');
    std::cout << line << Padded(median, 12) << Padded(low, 12) << Padded(high, 12) << "\n";
}

template <typename T, typename Show>
void PrintFigures(const std::string& what, const std::vector<T>& values, Show show) {
    auto [low, high] = std::minmax_element(values.begin(), values.end());
    PrintRow(what, show(Median(values)), show(*low), show(*high));
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<Options> options = ParseOptions(argc, argv);
    if (!options) {
        std::cerr << "usage: qp_bench [--binary PATH] [--source DIR] [--runs N]\n";
        return 64;
    }
    std::vector<EditorRun> runs;
    for (int i = 0; i < options->runs; ++i) {
        std::string reason;
        std::optional<EditorRun> run = RunEditorOnce(*options, reason);
        if (!run) {
            std::cerr << "qp_bench: " << options->binary << ": " << reason << "\n";
            return 1;
        }
        runs.push_back(*run);
    }
    std::size_t fileSize = 0;
    std::string reason;
    std::optional<std::vector<std::int64_t>> saves = TimeSaves(fileSize, reason);
    if (!saves) {
        std::cerr << "qp_bench: " << reason << "\n";
        return 1;
    }

    auto bytes = [](std::size_t n) { return std::to_string(n) + " B"; };
    auto field = [&runs](auto member) {
        std::vector<std::decay_t<decltype(runs.front().*member)>> values;
        for (const EditorRun& run : runs) values.push_back(run.*member);
        return values;
    };
    std::cout << "qplayout on an " << kColumns << "x" << kRows << " pty, " << runs.size() << " runs: " << options->binary
              << "\n\n";
    PrintRow("", "median", "min", "max");
    PrintFigures("start-up to the complete first screen", field(&EditorRun::startMicros), Millis);
    PrintFigures("bytes of the first screen", field(&EditorRun::firstScreenBytes), bytes);
    PrintFigures("bytes for Down to the next item", field(&EditorRun::nextItemBytes), bytes);
    PrintFigures("bytes for one character typed in a field", field(&EditorRun::typedCharBytes), bytes);
    PrintFigures("typed character to its echo", field(&EditorRun::echoMicros), Millis);
    PrintFigures("wake-ups per second while waiting for a key", field(&EditorRun::idleWakeupsPer10s), PerSecond);
    PrintFigures("SaveReceiptSettings, Tarn.ini of " + std::to_string(fileSize / 1024) + " KB (" +
                     std::to_string(saves->size()) + " saves)",
                 *saves, Millis);
    return 0;
}
