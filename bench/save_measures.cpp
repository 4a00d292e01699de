// Saving the receipt settings through the library, and the cost of the
// lock a save takes on Tarn.ini measured on its own: a save without the
// lock cannot be timed without changing the program.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>

#include "editor/receipt_settings.h"
#include "input/form_tables.h"
#include "measures.h"
#include "platform/platform.h"

namespace qp::bench {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kLargeTarnIni = 30 * 1024;
constexpr int kSaveRuns = 20;
constexpr int kLockBatches = 9;
constexpr int kLockPairsPerBatch = 2000;

// Locks that belong to the open file where the system has them, as a save takes.
#ifdef F_OFD_SETLK
constexpr int kSetLock = F_OFD_SETLK;
#else
constexpr int kSetLock = F_SETLK;
#endif

std::int64_t MicrosSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
}

std::int64_t NanosSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
}

// About kLargeTarnIni bytes of sections like a busy installation's, with the
// receipt section among them.
std::string BusyTarnIni() {
    std::string text = "[Usuari]\r\nIdioma=CAT\r\nDatCaracter=/\r\nDatOrdre=DMA\r\n";
    for (int section = 1; text.size() < kLargeTarnIni; ++section) {
        text += "[Programa" + std::to_string(section) + "]\r\n";
        for (int key = 1; key <= 20; ++key)
            text += "Clau" + std::to_string(key) + "=valor " + std::to_string(section * 100 + key) + " del programa\r\n";
        if (section == 20) text += "[Rebut]\r\nAntic=S\r\nFila.Num=1 \r\nFila.Dat=3 \r\nMatriu=N\r\n";
    }
    return text;
}

FormTables ReceiptTables() {
    FormTables tables;
    tables.ScreenCount = 1;
    tables.MaxItems = ReceiptSettings::kSettingCount;
    tables.screens.resize(1);
    tables.Screen(1).ItemCount = ReceiptSettings::kSettingCount;
    tables.Screen(1).items.resize(ReceiptSettings::kSettingCount);
    const std::int16_t lengths[ReceiptSettings::kSettingCount] = {1, 2, 2, 2, 2, 2, 1, 1, 1};
    for (int i = 1; i <= ReceiptSettings::kSettingCount; ++i) tables.Item(1, i).Length = lengths[i - 1];
    return tables;
}

// kSaveRuns saves of a Tarn.ini that starts as `bytes`, each changing a setting.
std::optional<std::vector<std::int64_t>> TimeSaves(const std::string& bytes, std::string& reason) {
    ScratchDir dir;
    if (!dir.ok()) {
        reason = "cannot make a temporary directory";
        return std::nullopt;
    }
    std::string tarnIni = dir.Dir() + "Tarn.ini";
    if (!WriteWholeFile(tarnIni, bytes)) {
        reason = "cannot write " + tarnIni;
        return std::nullopt;
    }
    SystemPlatform platform;
    FormTables tables = ReceiptTables();
    ReceiptSettings settings(platform, tables, tarnIni);
    settings.LoadReceiptSettings();
    std::vector<std::int64_t> micros;
    for (int run = 0; run < kSaveRuns; ++run) {
        tables.Item(1, 8).Assign(run % 2 ? "S" : "N");
        Clock::time_point start = Clock::now();
        SaveResult saved = settings.SaveReceiptSettings();
        micros.push_back(MicrosSince(start));
        if (!saved.ok()) {
            reason = "SaveReceiptSettings failed: " + (saved.status.ok ? std::string("the row plan") : saved.status.reason);
            return std::nullopt;
        }
    }
    return micros;
}

bool SetLock(int fd, short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    return ::fcntl(fd, kSetLock, &lock) == 0;
}

// The save's check after locking: the path still names the locked file.
bool StillNamedBy(int fd, const std::string& path) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::stat(path.c_str(), &named) == 0 && opened.st_dev == named.st_dev &&
           opened.st_ino == named.st_ino;
}

// Nanoseconds per lock-and-unlock of `path`, a batch each; with `recheck`,
// the path is checked between the two as a save does.
std::optional<std::vector<std::int64_t>> TimeLocks(const std::string& path, bool recheck, std::string& reason) {
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        reason = "cannot open " + path;
        return std::nullopt;
    }
    std::vector<std::int64_t> nanos;
    bool ok = true;
    for (int batch = 0; batch < kLockBatches && ok; ++batch) {
        Clock::time_point start = Clock::now();
        for (int i = 0; i < kLockPairsPerBatch && ok; ++i) {
            ok = SetLock(fd, F_WRLCK) && (!recheck || StillNamedBy(fd, path)) && SetLock(fd, F_UNLCK);
        }
        nanos.push_back(NanosSince(start) / kLockPairsPerBatch);
    }
    ::close(fd);
    if (!ok) {
        reason = "cannot lock " + path + " (errno " + std::to_string(errno) + ")";
        return std::nullopt;
    }
    return nanos;
}

}  // namespace

std::optional<SaveFigures> MeasureSaves(const Setup& setup, std::string& reason) {
    SaveFigures figures;
    figures.openFileLocks = kSetLock != F_SETLK;
    std::string sample = ReadWholeFile(setup.source + "/sample/Tarn.ini");
    if (sample.empty()) {
        reason = "cannot read " + setup.source + "/sample/Tarn.ini";
        return std::nullopt;
    }
    std::string busy = BusyTarnIni();
    figures.sampleBytes = static_cast<std::int64_t>(sample.size());
    figures.largeBytes = static_cast<std::int64_t>(busy.size());
    std::optional<std::vector<std::int64_t>> sampleSaves = TimeSaves(sample, reason);
    if (!sampleSaves) return std::nullopt;
    figures.sampleSaves = *sampleSaves;
    std::optional<std::vector<std::int64_t>> largeSaves = TimeSaves(busy, reason);
    if (!largeSaves) return std::nullopt;
    figures.largeSaves = *largeSaves;

    ScratchDir dir;
    std::string tarnIni = dir.Dir() + "Tarn.ini";
    if (!dir.ok() || !WriteWholeFile(tarnIni, sample)) {
        reason = "cannot write a copy of the sample Tarn.ini";
        return std::nullopt;
    }
    std::optional<std::vector<std::int64_t>> locks = TimeLocks(tarnIni, false, reason);
    if (!locks) return std::nullopt;
    figures.lockNanos = *locks;
    std::optional<std::vector<std::int64_t>> rechecked = TimeLocks(tarnIni, true, reason);
    if (!rechecked) return std::nullopt;
    figures.recheckNanos = *rechecked;
    return figures;
}

}  // namespace qp::bench
