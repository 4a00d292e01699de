// The program's layer over the record manager: a table of record files known
// by caller-chosen numbers, keyed reads, stepping, reads by position, key
// collation, and waiting out records locked by other users.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "records/record_manager.h"
#include "screen/windows.h"

namespace qp {

// Statuses of this layer's own, beside the record manager's.
inline constexpr std::int16_t kStatusNoSuchKey = 1004;    // the key number does not exist in the file
inline constexpr std::int16_t kStatusNoFreeSlot = 1005;   // file number 0, already in use, or table full

inline constexpr int kFileSlots = 40;
inline constexpr std::uint32_t kDataBufferSize = 1536;
inline constexpr std::size_t kKeyBufferSize = 256;

struct FileSlot {
    std::int16_t FileId = 0;  // 0 = slot free
    std::array<std::uint8_t, 129> PositionBlock{};
    std::uint8_t* RecordBuffer = nullptr;
    std::uint32_t RecordBufferLength = 0;
    std::int16_t KeyNumber = 0;
    std::string KeyValue;
    std::int16_t LockMode = 0;  // 0 no lock, 1 lock and wait, 2 lock without waiting
};

class RecordFiles {
public:
    RecordFiles(RecordManager& manager, Windows& windows, Platform& platform, Random& random,
                std::string languageCode);

    // Opens a record file into the highest free slot under the given number;
    // the records read are copied into recordBuffer (recordBufferLength bytes).
    void OpenRecordFile(std::int16_t file, const std::string& path, void* recordBuffer,
                        std::uint32_t recordBufferLength, std::int16_t& status);
    void CloseRecordFile(std::int16_t file, std::int16_t& status);
    void ResetRecordFiles(std::int16_t& status);

    int FindFileSlot(std::int16_t file) const;
    void GetByKey(std::int16_t file, std::int16_t keyNumber, const std::string& key, int direction,
                  std::int16_t& status);
    void StepRecords(std::int16_t file, int count, std::int16_t& status);
    // position 0: the current record's position (0 when there is none);
    // otherwise reads the record at that position and returns the status.
    std::int32_t GetDirect(std::int16_t file, std::int32_t position);
    void SetLockMode(std::int16_t file, std::string_view letters, std::int16_t& status);
    void GetKeyInfo(std::int16_t file, std::int16_t keyNumber, int& keyLength, std::int32_t& recordLength);
    std::string KeyToCollationForm(const std::string& key, std::int16_t file);
    std::string CurrentKeyCollated(std::int16_t file);

    const FileSlot& Slot(int slot) const { return FileTable[static_cast<std::size_t>(slot)]; }
    const std::string& LockModeStack() const { return lockModeStack_; }

private:
    struct StatData {
        std::int16_t status = 0;
        std::uint32_t length = 0;
        std::array<std::uint8_t, kDataBufferSize> bytes{};
    };
    struct KeySegment {
        int length = 0;
        int flags = 0;
    };

    std::int16_t RecordCall(int slot, std::uint16_t operation);
    StatData Stat(FileSlot& slot);
    std::string LockMessage() const;
    void UpdateKeyFromReply(FileSlot& slot, const std::array<std::uint8_t, kKeyBufferSize>& key);
    FileSlot* SlotOf(std::int16_t file);

    RecordManager& manager_;
    Windows& windows_;
    Platform& platform_;
    Random& random_;
    std::string languageCode_;
    std::array<FileSlot, kFileSlots + 1> FileTable;  // slot 0: the reset call's position block
    std::string lockModeStack_;                      // pairs (slot, saved mode), newest last
};

}  // namespace qp
