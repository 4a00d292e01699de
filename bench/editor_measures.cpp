// The editor on a pseudo-terminal: start-up until the form is drawn, the
// bytes the terminal gets, the echo of a typed character, the wake-ups
// while it waits; and start-up in a Spanish session with large files.
#include <chrono>
#include <string_view>
#include <thread>

#include "measures.h"
#include "pty_program.h"

namespace qp::bench {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRows = 25;
constexpr int kColumns = 80;
constexpr auto kQuiet = std::chrono::milliseconds(200);
constexpr auto kScreenDeadline = std::chrono::seconds(10);
// How long the program is watched while it waits for a key.
constexpr auto kIdleWindow = std::chrono::seconds(2);

std::int64_t MicrosSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
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
// item is open for entry: the title, the first item's choice, the last
// item, the last line of help and the frame's last row.
struct FormTexts {
    std::string_view lastItem;
    std::string_view help;
};
constexpr FormTexts kCatalanForm {"Imprimir el membret", "F10: desa i surt"};
constexpr FormTexts kSpanishForm {"Imprimir membrete", "F10: guarda y sale"};

bool FormComplete(const ScreenModel& screen, const FormTexts& texts) {
    return screen.Shows("Format dels rebuts") && screen.Shows("\u25c4S\u00ed\u25ba") &&
           RowShows(screen, texts.lastItem, ": S\u00ed") && screen.Shows(texts.help) && screen.Shows("\u255a");
}

std::vector<std::string> PtyEnvironment(const ScratchDir& dir) {
    return {RootVariable(dir.Dir()), TempVariable(dir.Dir()), "TERM=xterm-256color", "LANG=C.UTF-8"};
}

// Starts the program on `dir` and waits for its form; the start-up time on success.
std::optional<std::int64_t> StartUntilDrawn(PtyProgram& program, const Setup& setup, const ScratchDir& dir,
                                            const FormTexts& texts, std::string& reason) {
    Clock::time_point start = Clock::now();
    if (!program.Start(setup.binary, PtyEnvironment(dir), kRows, kColumns, reason)) return std::nullopt;
    auto complete = [&texts](const ScreenModel& screen) { return FormComplete(screen, texts); };
    if (!program.ReadUntil(complete, start + kScreenDeadline)) {
        reason = "the form was not complete on the screen within 10 s";
        return std::nullopt;
    }
    return MicrosSince(start);
}

std::optional<EditorRun> RunEditorOnce(const Setup& setup, std::string& reason) {
    ScratchDir dir;
    if (!dir.ok()) {
        reason = "cannot make a temporary directory";
        return std::nullopt;
    }
    if (!MakeInstallation(setup.source, dir.Dir(), Variant {}, reason)) return std::nullopt;
    EditorRun run;
    PtyProgram program;
    std::optional<std::int64_t> started = StartUntilDrawn(program, setup, dir, kCatalanForm, reason);
    if (!started) return std::nullopt;
    run.startMicros = *started;
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

Variant SpanishVariant(StartupCase which, const LargeFiles& files) {
    Variant variant;
    variant.spanish = true;
    if (which == kLargeLanguage) variant.language = files.language.path;
    if (which == kLargeTarnIni) variant.tarnIni = files.tarnIni.path;
    return variant;
}

}  // namespace

std::optional<std::vector<EditorRun>> MeasureEditor(const Setup& setup, std::string& reason) {
    std::vector<EditorRun> runs;
    for (int i = 0; i < setup.runs; ++i) {
        std::optional<EditorRun> run = RunEditorOnce(setup, reason);
        if (!run) return std::nullopt;
        runs.push_back(*run);
    }
    return runs;
}

std::optional<StartupFigures> MeasureSpanishStartup(const Setup& setup, const LargeFiles& files,
                                                    std::string& reason) {
    StartupFigures figures;
    // The cases take turns, so that a disturbance of the machine falls on all of them.
    for (int i = 0; i < setup.runs; ++i) {
        for (int which = 0; which < kStartupCases; ++which) {
            ScratchDir dir;
            if (!dir.ok()) {
                reason = "cannot make a temporary directory";
                return std::nullopt;
            }
            Variant variant = SpanishVariant(static_cast<StartupCase>(which), files);
            if (!MakeInstallation(setup.source, dir.Dir(), variant, reason)) return std::nullopt;
            PtyProgram program;
            std::optional<std::int64_t> started = StartUntilDrawn(program, setup, dir, kSpanishForm, reason);
            if (!started) return std::nullopt;
            // Drawn and waiting for a key: its peak so far is start-up's.
            long peak = program.PeakResidentKb();
            if (peak < 0) {
                reason = "cannot read the program's VmHWM in /proc";
                return std::nullopt;
            }
            program.Stop();
            figures.micros[which].push_back(*started);
            figures.peakKb[which].push_back(peak);
        }
    }
    return figures;
}

}  // namespace qp::bench
