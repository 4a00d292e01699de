// The scripted modes as an administrator's script runs them: the real
// binary, one process per call, on a copy of the sample installation.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "measures.h"

namespace qp::bench {

namespace {

constexpr int kSample = 0;
constexpr int kLarge = 1;

// Two full sets of the nine settings, each one different from the other in
// every key, so that a --set of either after the other changes all nine.
const std::vector<std::string> kNineFirst = {"Antic=S",     "Fila.Num=1", "Fila.Dat=3", "Fila.Cnc=6", "Fila.Dom=11",
                                             "Fila.Nom=13", "Matriu=N",   "Duplicat=N", "Membret=S"};
const std::vector<std::string> kNineSecond = {"Antic=N",     "Fila.Num=2", "Fila.Dat=4", "Fila.Cnc=7", "Fila.Dom=12",
                                              "Fila.Nom=14", "Matriu=S",   "Duplicat=S", "Membret=N"};

// The eight keys set at once, each by its own process, after Antic=N (so
// that no single one of them fails the row plan against the defaults).
const std::vector<std::string> kConcurrentSets = {"Fila.Num=2",  "Fila.Dat=4", "Fila.Cnc=7", "Fila.Dom=13",
                                                  "Fila.Nom=15", "Matriu=S",   "Duplicat=S", "Membret=N"};

// A copy of the sample installation for a series of runs.
class Installation {
public:
    bool Prepare(const Setup& setup, const Variant& variant, std::string& reason) {
        if (!dir_.ok()) {
            reason = "cannot make a temporary directory";
            return false;
        }
        environment_ = EnvironmentWith({RootVariable(dir_.Dir()), TempVariable(dir_.Dir())});
        return MakeInstallation(setup.source, dir_.Dir(), variant, reason);
    }
    std::string TarnIni() const { return dir_.Dir() + "Tarn.ini"; }
    const std::vector<std::string>& Environment() const { return environment_; }

private:
    ScratchDir dir_;
    std::vector<std::string> environment_;
};

std::vector<std::string> Command(const Setup& setup, const std::string& mode, const std::vector<std::string>& args) {
    std::vector<std::string> command {setup.binary, mode};
    command.insert(command.end(), args.begin(), args.end());
    return command;
}

std::string Joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
    return text;
}

// A child that must exit 0.
std::optional<ChildRun> RunOk(const std::vector<std::string>& command, const std::vector<std::string>& environment,
                              std::string& reason) {
    std::optional<ChildRun> run = RunChild(command, environment, reason);
    if (run && run->exitCode != 0) {
        reason = Joined(command) + ": exit " + std::to_string(run->exitCode) + ": " + run->output;
        return std::nullopt;
    }
    return run;
}

ino_t InodeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// A --set that must have rewritten Tarn.ini (put a new file in its place).
std::optional<ChildRun> RunRewritingSet(const Setup& setup, const Installation& at,
                                        const std::vector<std::string>& assignments, std::string& reason) {
    ino_t before = InodeOf(at.TarnIni());
    std::optional<ChildRun> run = RunOk(Command(setup, "--set", assignments), at.Environment(), reason);
    if (run && InodeOf(at.TarnIni()) == before) {
        reason = "qplayout --set " + Joined(assignments) + " did not rewrite Tarn.ini";
        return std::nullopt;
    }
    return run;
}

// A --get of all nine settings: nine lines.
std::optional<ChildRun> RunGetAll(const Setup& setup, const Installation& at, std::string& reason) {
    std::optional<ChildRun> run = RunOk(Command(setup, "--get", {}), at.Environment(), reason);
    if (run && std::count(run->output.begin(), run->output.end(), '\n') != 9) {
        reason = "qplayout --get printed no nine settings: " + run->output;
        return std::nullopt;
    }
    return run;
}

// One run of every series, the sample and the large Tarn.ini in turn.
bool RunScriptedOnce(const Setup& setup, int run, const Installation (&at)[2], const LargeFiles& files,
                     const std::string& copyTarget, ScriptFigures& figures, std::string& reason) {
    bool even = run % 2 == 0;
    for (int f : {kSample, kLarge}) {
        std::optional<ChildRun> one = RunRewritingSet(setup, at[f], {even ? "Fila.Num=2" : "Fila.Num=1"}, reason);
        if (!one) return false;
        figures.setOne[f].Add(*one);
        std::optional<ChildRun> nine = RunRewritingSet(setup, at[f], even ? kNineSecond : kNineFirst, reason);
        if (!nine) return false;
        figures.setNine[f].Add(*nine);
        std::optional<ChildRun> get = RunGetAll(setup, at[f], reason);
        if (!get) return false;
        figures.get[f].Add(*get);
    }
    // cp makes a new file, as --set makes its copy.
    std::error_code ignored;
    std::filesystem::remove(copyTarget, ignored);
    std::optional<ChildRun> copy =
        RunOk({"/bin/cp", files.tarnIni.path, copyTarget}, at[kSample].Environment(), reason);
    if (!copy) return false;
    figures.copy.Add(*copy);
    std::optional<ChildRun> floor = RunOk({"/bin/true"}, at[kSample].Environment(), reason);
    if (!floor) return false;
    figures.floor.Add(*floor);
    return true;
}

// The lines a --get must print after a round of the concurrent saves.
std::vector<std::string> ExpectedAfterRound() {
    std::vector<std::string> lines {"Antic=N"};
    lines.insert(lines.end(), kConcurrentSets.begin(), kConcurrentSets.end());
    return lines;
}

// The first expected setting missing from a --get's output, or empty.
std::string MissingSetting(const std::string& output) {
    std::string lines = "\n" + output;
    for (const std::string& expected : ExpectedAfterRound())
        if (lines.find("\n" + expected + "\n") == std::string::npos) return expected;
    return "";
}

}  // namespace

std::optional<ScriptFigures> MeasureScriptedModes(const Setup& setup, const LargeFiles& files,
                                                  std::string& reason) {
    Installation at[2];
    Variant large;
    large.tarnIni = files.tarnIni.path;
    if (!at[kSample].Prepare(setup, Variant {}, reason) || !at[kLarge].Prepare(setup, large, reason))
        return std::nullopt;
    ScratchDir copies;
    if (!copies.ok()) {
        reason = "cannot make a temporary directory";
        return std::nullopt;
    }
    ScriptFigures figures;
    for (int run = 0; run < setup.runs; ++run) {
        if (!RunScriptedOnce(setup, run, at, files, copies.Dir() + "Tarn.ini", figures, reason)) return std::nullopt;
    }
    return figures;
}

std::optional<ConcurrencyFigures> MeasureConcurrentSets(const Setup& setup, std::string& reason) {
    Installation at;
    if (!at.Prepare(setup, Variant {}, reason)) return std::nullopt;
    std::string sample = ReadWholeFile(at.TarnIni());
    std::vector<std::vector<std::string>> commands;
    for (const std::string& assignment : kConcurrentSets) commands.push_back(Command(setup, "--set", {assignment}));
    ConcurrencyFigures figures;
    for (int round = 1; round <= setup.rounds; ++round) {
        // Each round starts from the sample's bytes, in a new file.
        std::error_code ignored;
        std::filesystem::remove(at.TarnIni(), ignored);
        if (!WriteWholeFile(at.TarnIni(), sample)) {
            reason = "cannot write " + at.TarnIni();
            return std::nullopt;
        }
        if (!RunOk(Command(setup, "--set", {"Antic=N"}), at.Environment(), reason)) return std::nullopt;
        std::int64_t micros = 0;
        std::optional<std::vector<ChildRun>> runs = RunTogether(commands, at.Environment(), micros, reason);
        if (!runs) return std::nullopt;
        figures.micros.push_back(micros);
        ++figures.rounds;
        bool failed = false;
        for (std::size_t i = 0; i < runs->size(); ++i) {
            if ((*runs)[i].exitCode == 0) continue;
            if (!failed && figures.firstProblem.empty())
                figures.firstProblem = "round " + std::to_string(round) + ": --set " + kConcurrentSets[i] + " exit " +
                                       std::to_string((*runs)[i].exitCode) + ": " + (*runs)[i].output;
            failed = true;
        }
        figures.failedRounds += failed;
        std::optional<ChildRun> get = RunOk(Command(setup, "--get", {}), at.Environment(), reason);
        if (!get) return std::nullopt;
        std::string missing = MissingSetting(get->output);
        if (missing.empty()) {
            ++figures.allKept;
        } else if (figures.firstProblem.empty()) {
            figures.firstProblem = "round " + std::to_string(round) + ": " + missing + " was lost";
        }
    }
    return figures;
}

}  // namespace qp::bench
