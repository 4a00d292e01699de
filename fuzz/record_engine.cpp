// The built-in record engine's file, of any bytes, opened and read by key,
// step and position through the program's record layer: reads along a key
// come in the key's order, a position read back gives the same record, and
// nothing is read or written outside the buffers given.
#include <algorithm>

#include "fuzz_support.h"
#include "records/builtin_engine.h"
#include "records/record_files.h"
#include "screen/colours.h"
#include "screen/memory_console.h"

using namespace qp;

namespace {

constexpr std::int16_t kFile = 3;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string steps = in.ConsumeRandomLengthString(40);
    const std::uint32_t bufferLength = in.ConsumeIntegralInRange<std::uint32_t>(0, 300);
    const std::string file = in.ConsumeRemainingBytesAsString();

    const auto& dir = fuzz::Scratch();
    dir.Write("records.dat", file);
    MemoryConsole console;
    Screen screen(console);
    Colours colours(screen, fuzz::DefaultColours());
    SystemPlatform platform;
    Windows windows(screen, colours, platform, dir.Dir());
    BuiltinEngine engine;
    Random random(1);
    RecordFiles records(engine, windows, platform, random, "CAT");

    // The record buffer sits between two guards that must never change.
    std::vector<std::uint8_t> memory(bufferLength + 64, 0xA5);
    std::uint8_t* buffer = memory.data() + 32;
    std::int16_t status = 0;
    records.OpenRecordFile(kFile, dir / "records.dat", buffer, bufferLength, status);
    if (status != 0) return 0;

    bool ordered = false;  // the last read moved forward along the current key
    for (std::size_t i = 0; i + 1 < steps.size(); i += 2) {
        const auto arg = static_cast<unsigned char>(steps[i + 1]);
        switch (static_cast<unsigned char>(steps[i]) % 8) {
            case 0: {
                std::string key(static_cast<std::size_t>(arg % 8), static_cast<char>(arg));
                records.GetByKey(kFile, static_cast<std::int16_t>(arg % 4), key, arg % 3 - 1, status);
                ordered = status == 0;
                break;
            }
            case 1:
            case 2: {
                // One record at a time, so that the key compared is the whole key read.
                const int count = static_cast<unsigned char>(steps[i]) % 8 == 1 ? 1 : -1;
                const std::string previous = records.CurrentKeyCollated(kFile);
                records.StepRecords(kFile, count, status);
                if (status == 0 && ordered && count > 0)
                    fuzz::Check(records.CurrentKeyCollated(kFile) >= previous, "a step forward went back in key order");
                if (status == 0 && ordered && count < 0)
                    fuzz::Check(records.CurrentKeyCollated(kFile) <= previous, "a step back went forward in key order");
                ordered = status == 0;
                break;
            }
            case 7:
                records.StepRecords(kFile, static_cast<int>(arg % 9) - 4, status);
                ordered = false;
                break;
            case 3: {
                // The current record read by its position, twice: the same record both times.
                const std::int32_t position = records.GetDirect(kFile, 0);
                if (position == 0) break;
                fuzz::Check(records.GetDirect(kFile, position) == 0, "the current record cannot be read by its position");
                std::vector<std::uint8_t> first(buffer, buffer + bufferLength);
                fuzz::Check(records.GetDirect(kFile, 0) == position, "reading by position moved elsewhere");
                fuzz::Check(records.GetDirect(kFile, position) == 0, "a record read once cannot be read again");
                fuzz::Check(std::equal(first.begin(), first.end(), buffer), "a position gave another record");
                break;
            }
            case 4: {
                int keyLength = 0;
                std::int32_t recordLength = 0;
                records.GetKeyInfo(kFile, static_cast<std::int16_t>(arg % 5), keyLength, recordLength);
                fuzz::Check(keyLength >= 0 && keyLength <= 255, "a key longer than a key can be");
                break;
            }
            case 5: {
                std::string key(static_cast<std::size_t>(arg % 12), static_cast<char>(arg * 7));
                const std::string collated = records.KeyToCollationForm(key, kFile);
                fuzz::Check(collated.size() >= key.size(), "collation lost bytes of the key");
                break;
            }
            default:
                ordered = records.GetDirect(kFile, static_cast<std::int32_t>(arg) * 7 + 16) == 0;
                break;
        }
    }
    for (std::size_t k = 0; k < 32; ++k)
        fuzz::Check(memory[k] == 0xA5 && memory[32 + bufferLength + k] == 0xA5, "written outside the record buffer");
    records.CloseRecordFile(kFile, status);
    return 0;
}
