// The benchmark's measures. Each returns its raw figures (or nothing and a
// reason); qp_bench.cpp puts them in tables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "child_process.h"
#include "installation.h"

namespace qp::bench {

struct Setup {
    std::string binary;  // the qplayout under measurement
    std::string source;  // the checkout: sample/, FORMS/, LOCALE/, AJUDA/
    int runs = 7;
    int rounds = 100;  // of the concurrent saves
};

// The large files, generated once per bench run.
struct LargeFiles {
    GeneratedFile tarnIni;
    GeneratedFile language;
    std::int64_t sampleTarnIniBytes = 0;
    std::int64_t shippedLanguageBytes = 0;
};

// The editor on a pty in the sample's Catalan session.
struct EditorRun {
    std::int64_t startMicros = 0;
    std::size_t firstScreenBytes = 0;
    std::size_t nextItemBytes = 0;
    std::int64_t echoMicros = 0;
    std::size_t typedCharBytes = 0;
    std::int64_t idleWakeupsPer10s = 0;  // wake-ups while waiting for a key, per 10 seconds
};
std::optional<std::vector<EditorRun>> MeasureEditor(const Setup& setup, std::string& reason);

// Start-up until the form is drawn in a Spanish session.
enum StartupCase { kShippedFiles, kLargeLanguage, kLargeTarnIni, kStartupCases };
struct StartupFigures {
    std::vector<std::int64_t> micros[kStartupCases];
    std::vector<std::int64_t> peakKb[kStartupCases];  // VmHWM once the form is drawn
};
std::optional<StartupFigures> MeasureSpanishStartup(const Setup& setup, const LargeFiles& files,
                                                    std::string& reason);

// Children of one kind, one entry a run.
struct ChildSeries {
    std::vector<std::int64_t> micros;
    std::vector<std::int64_t> peakKb;
    void Add(const ChildRun& run) {
        micros.push_back(run.micros);
        peakKb.push_back(run.peakResidentKb);
    }
};

// The scripted modes as the real binary, on the sample Tarn.ini [0] and
// the large one [1], next to /bin/cp of the large file.
struct ScriptFigures {
    ChildSeries setOne[2];
    ChildSeries setNine[2];
    ChildSeries get[2];
    ChildSeries copy;
    ChildSeries floor;  // /bin/true, for the memory any child shows
};
std::optional<ScriptFigures> MeasureScriptedModes(const Setup& setup, const LargeFiles& files,
                                                  std::string& reason);

// Eight --set of different keys started together on the sample Tarn.ini.
struct ConcurrencyFigures {
    int rounds = 0;
    int allKept = 0;        // rounds after which every value was there
    int failedRounds = 0;   // rounds in which a --set did not exit 0
    std::vector<std::int64_t> micros;  // from the release until the eighth was reaped
    std::string firstProblem;          // what went wrong first, for the report
};
std::optional<ConcurrencyFigures> MeasureConcurrentSets(const Setup& setup, std::string& reason);

// SaveReceiptSettings through the library, and the lock on its own.
struct SaveFigures {
    std::int64_t sampleBytes = 0;
    std::vector<std::int64_t> sampleSaves;
    std::int64_t largeBytes = 0;
    std::vector<std::int64_t> largeSaves;
    bool openFileLocks = false;             // F_OFD_SETLK, else F_SETLK
    std::vector<std::int64_t> lockNanos;    // lock and unlock, per pair, a batch each
    std::vector<std::int64_t> recheckNanos; // lock, the path checked to name the file, unlock
};
std::optional<SaveFigures> MeasureSaves(const Setup& setup, std::string& reason);

}  // namespace qp::bench
