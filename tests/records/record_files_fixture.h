// A record-file layer over a real built-in engine on a temporary file, with
// every record manager call recorded, on an in-memory console.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/temp_dir.h"
#include "records/builtin_engine.h"
#include "records/record_files.h"
#include "records/record_test_support.h"
#include "screen/colours.h"
#include "screen/memory_console.h"
#include "screen/screen.h"
#include "screen/windows.h"

namespace qp::testing {

// The real system, except that pauses are recorded and handed to the test.
class PausePlatform : public SystemPlatform {
public:
    void SleepMilliseconds(int ms) override {
        pauses.push_back(ms);
        if (onPause) onPause(static_cast<int>(pauses.size()));
    }
    std::vector<int> pauses;
    std::function<void(int)> onPause;
};

constexpr std::uint16_t kLayerRecordLength = 24;

// Record: number (4, binary) | code (4) and sub-code (6), one key | name (8, collated) | 2 filler.
inline std::string LayerRecord(std::uint32_t number, const std::string& code, const std::string& sub,
                               const std::string& name) {
    auto fixed = [](std::string s, std::size_t n) {
        s.resize(n, '\0');
        return s;
    };
    return Le32(number) + fixed(code, 4) + fixed(sub, 6) + fixed(name, 8) + "~~";
}

class RecordFilesTest : public ::testing::Test {
protected:
    static constexpr std::int16_t kFile = 7;

    void SetUp() override {
        std::string spec = SpecBytes(kLayerRecordLength, {{{1, 4, 4}}, {{5, 4, 0}, {9, 6, 0}}, {{15, 8, 32}}},
                                     CaseFoldingTable());
        ASSERT_EQ(CreateFile(engine, path, spec), 0);
        std::uint8_t block[kPositionBlockSize] = {};
        ASSERT_EQ(OpenFile(engine, block, path), 0);
        for (const auto& record : Records()) ASSERT_EQ(InsertRecord(engine, block, record), 0);
        std::uint32_t length = 0;
        ASSERT_EQ(engine.Call(kOpClose, block, nullptr, length, nullptr, 0, 0), 0);
    }

    virtual std::vector<std::string> Records() {
        return {LayerRecord(1, "AB", "", "one"), LayerRecord(2, "AB", "x", "two"), LayerRecord(3, "AC", "", "three"),
                LayerRecord(4, "B", "", "four"), LayerRecord(5, "C", "", "five"), LayerRecord(6, "D", "", "six")};
    }

    void Open(std::int16_t file = kFile) {
        std::int16_t status = -1;
        files.OpenRecordFile(file, path, buffer.data(), kLayerRecordLength, status);
        ASSERT_EQ(status, 0);
        recorder.calls.clear();
    }

    std::string Buffer() const { return std::string(buffer.begin(), buffer.begin() + kLayerRecordLength); }
    const FileSlot& SlotOfFile(std::int16_t file = kFile) { return files.Slot(files.FindFileSlot(file)); }

    TempDir dir;
    std::string path = dir / "data.dat";
    BuiltinEngine engine;
    RecordingManager recorder{engine};
    MemoryConsole console;
    Screen screen{console};
    ColourTable colourTable{{{7, 0}, {15, 0}, {0, 7}, {14, 1}, {15, 4}}};
    Colours colours{screen, colourTable};
    PausePlatform platform;
    Windows windows{screen, colours, platform, dir.Dir()};
    Random random{42};
    RecordFiles files{recorder, windows, platform, random, "SPA"};
    std::array<std::uint8_t, 64> buffer{};
};

}  // namespace qp::testing
