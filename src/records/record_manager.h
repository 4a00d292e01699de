// The record manager: indexed record files with keys and record locks,
// reached through one call. Two providers answer it: the suite's own library
// when it can be loaded (Windows), else the built-in engine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace qp {

inline constexpr std::size_t kPositionBlockSize = 128;

// Operation codes, in the record manager's own numbering.
enum RecordOperation : std::uint16_t {
    kOpOpen = 0,
    kOpClose = 1,
    kOpInsert = 2,
    kOpGetEqual = 5,
    kOpGetNext = 6,
    kOpGetPrevious = 7,
    kOpGetGreaterOrEqual = 9,
    kOpGetLessOrEqual = 11,
    kOpCreate = 14,
    kOpStat = 15,
    kOpGetPosition = 22,
    kOpGetDirect = 23,
    kOpReset = 28,
};

// Added to a read: lock the record read, single-record, without waiting.
inline constexpr std::uint16_t kSingleNoWaitLockBias = 200;

enum RecordStatus : std::int16_t {
    kStatusOk = 0,
    kStatusInvalidOperation = 1,
    kStatusIoError = 2,
    kStatusFileNotOpen = 3,
    kStatusKeyNotFound = 4,
    kStatusInvalidKeyNumber = 6,
    kStatusNoCurrentPosition = 8,
    kStatusEndOfFile = 9,
    kStatusFileNotFound = 12,
    kStatusDataBufferTooShort = 22,
    kStatusInvalidKeyPosition = 27,
    kStatusInvalidRecordLength = 28,
    kStatusInvalidKeyLength = 29,
    kStatusNotARecordFile = 30,
    kStatusInvalidRecordAddress = 43,
    kStatusFileExists = 59,
    kStatusRecordLocked = 84,
    kStatusFileLocked = 85,
};

class RecordManager {
public:
    virtual ~RecordManager() = default;
    // positionBlock: kPositionBlockSize bytes the caller keeps for the file,
    // untouched between calls. dataLength: in, the data buffer's size; out,
    // the bytes returned. The key buffer must hold the longest key (255 bytes).
    virtual std::int16_t Call(std::uint16_t operation, std::uint8_t* positionBlock, void* dataBuffer,
                              std::uint32_t& dataLength, void* keyBuffer, std::uint16_t keyLength,
                              std::int16_t keyNumber) = 0;
};

// The built-in engine (record files of this program's own format).
std::unique_ptr<RecordManager> MakeBuiltinEngine();

// The suite's library when it is installed beside the program or on the
// search path and can be loaded; null otherwise (always null off Windows).
std::unique_ptr<RecordManager> LoadSuiteRecordManager();

// The provider for this run: the suite's library when found, else the built-in engine.
std::unique_ptr<RecordManager> ChooseRecordManager();

}  // namespace qp
