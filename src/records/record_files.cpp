#include "records/record_files.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "text/cp850.h"

namespace qp {
namespace {

constexpr int kFlagBinary = 4;
constexpr int kFlagNextSegment = 16;
constexpr int kFlagAcs = 32;
constexpr std::size_t kStatSegmentsAt = 16;
constexpr std::size_t kSegmentSpecSize = 16;
constexpr std::size_t kAcsTableOffset = 1 + 8;  // after the signature byte and the name
constexpr std::uint16_t kLockBias = 200;
constexpr int kMessageRow = 24;

int Get16(const std::uint8_t* p) { return p[0] | (p[1] << 8); }

bool TakesLockBias(std::uint16_t op) {
    return (op >= 5 && op <= 13) || op == 19 || (op >= 22 && op <= 24) || (op >= 33 && op <= 35);
}

bool IsReadSuccess(std::int16_t status) { return status == kStatusOk || status == kStatusDataBufferTooShort; }

// The keys described by a Stat reply, walked no further than the bytes returned.
struct StatKeys {
    std::vector<std::vector<std::pair<int, int>>> keys;  // per key: (length, flags) of each segment
    int declaredKeys = 0;
    std::size_t acsAt = 0;  // where the collating sequence would start
    bool complete = false;  // every declared key was read
};

StatKeys WalkKeys(const std::uint8_t* data, std::size_t length) {
    StatKeys out;
    if (length < kStatSegmentsAt) return out;
    out.declaredKeys = Get16(data + 4);
    std::size_t at = kStatSegmentsAt;
    for (int k = 0; k < out.declaredKeys; ++k) {
        std::vector<std::pair<int, int>> segments;
        bool more = true;
        while (more) {
            if (at + kSegmentSpecSize > length) return out;
            int flags = Get16(data + at + 4);
            segments.emplace_back(Get16(data + at + 2), flags);
            more = (flags & kFlagNextSegment) != 0;
            at += kSegmentSpecSize;
        }
        out.keys.push_back(std::move(segments));
    }
    out.acsAt = at;
    out.complete = true;
    return out;
}

}  // namespace

RecordFiles::RecordFiles(RecordManager& manager, Windows& windows, Platform& platform, Random& random,
                         std::string languageCode)
    : manager_(manager), windows_(windows), platform_(platform), random_(random),
      languageCode_(std::move(languageCode)) {}

FileSlot* RecordFiles::SlotOf(std::int16_t file) {
    int slot = FindFileSlot(file);
    return slot < 1 ? nullptr : &FileTable[static_cast<std::size_t>(slot)];
}

int RecordFiles::FindFileSlot(std::int16_t file) const {
    int highestFree = 0;
    for (int slot = 1; slot <= kFileSlots; ++slot) {
        std::int16_t id = FileTable[static_cast<std::size_t>(slot)].FileId;
        if (id == file) return slot;
        if (id == 0) highestFree = slot;
    }
    return -highestFree;
}

void RecordFiles::OpenRecordFile(std::int16_t file, const std::string& path, void* recordBuffer,
                                 std::uint32_t recordBufferLength, std::int16_t& status) {
    int found = FindFileSlot(file);
    if (file == 0 || found >= 0) {
        status = kStatusNoFreeSlot;
        return;
    }
    if (path.empty() || path.size() >= kKeyBufferSize) {
        status = kStatusFileNotFound;
        return;
    }
    FileSlot& slot = FileTable[static_cast<std::size_t>(-found)];
    slot.PositionBlock.fill(0);
    std::array<std::uint8_t, kKeyBufferSize> key{};
    std::memcpy(key.data(), path.data(), path.size());
    std::uint32_t dataLength = 0;
    std::uint8_t unusedData = 0;
    status = manager_.Call(kOpOpen, slot.PositionBlock.data(), &unusedData, dataLength, key.data(),
                           static_cast<std::uint16_t>(path.size() + 1), 0);
    if (status != kStatusOk) {
        slot.PositionBlock.fill(0);
        return;
    }
    slot.FileId = file;
    slot.RecordBuffer = static_cast<std::uint8_t*>(recordBuffer);
    slot.RecordBufferLength = recordBuffer == nullptr ? 0 : recordBufferLength;
    slot.KeyNumber = 0;
    slot.KeyValue.clear();
    slot.LockMode = 0;
}

void RecordFiles::CloseRecordFile(std::int16_t file, std::int16_t& status) {
    FileSlot* slot = SlotOf(file);
    if (slot == nullptr) {
        status = kStatusFileNotOpen;
        return;
    }
    std::array<std::uint8_t, kKeyBufferSize> key{};
    std::uint32_t dataLength = 0;
    std::uint8_t unusedData = 0;
    status = manager_.Call(kOpClose, slot->PositionBlock.data(), &unusedData, dataLength, key.data(), 0, 0);
    // A file the record manager no longer knows is as good as closed.
    if (status == kStatusOk || status == kStatusFileNotOpen) *slot = FileSlot{};
}

void RecordFiles::ResetRecordFiles(std::int16_t& status) {
    FileSlot& zero = FileTable[0];
    zero.PositionBlock.fill(0);
    std::array<std::uint8_t, kKeyBufferSize> key{};
    std::uint32_t dataLength = 0;
    std::uint8_t unusedData = 0;
    status = manager_.Call(kOpReset, zero.PositionBlock.data(), &unusedData, dataLength, key.data(), 0, 0);
    if (status != kStatusOk) return;
    for (int slot = 1; slot <= kFileSlots; ++slot) FileTable[static_cast<std::size_t>(slot)] = FileSlot{};
}

void RecordFiles::GetByKey(std::int16_t file, std::int16_t keyNumber, const std::string& key, int direction,
                           std::int16_t& status) {
    int slot = FindFileSlot(file);
    if (slot < 1) {
        status = kStatusFileNotOpen;
        return;
    }
    int keyLength = 0;
    std::int32_t recordLength = 0;
    GetKeyInfo(file, keyNumber, keyLength, recordLength);
    if (keyLength == 0) {
        status = kStatusNoSuchKey;
        return;
    }
    FileSlot& s = FileTable[static_cast<std::size_t>(slot)];
    s.KeyNumber = keyNumber;
    s.KeyValue = key.substr(0, static_cast<std::size_t>(keyLength));
    s.KeyValue.resize(static_cast<std::size_t>(keyLength), '\0');
    std::uint16_t op = direction == 0 ? kOpGetEqual : direction > 0 ? kOpGetGreaterOrEqual : kOpGetLessOrEqual;
    status = RecordCall(slot, op);
    if (status == kStatusDataBufferTooShort) status = kStatusOk;
}

// The record manager returns the whole key; the layer keeps the length its
// key was given (a binary key may well hold zero bytes), and keeps its last
// key when a move fails.
void RecordFiles::UpdateKeyFromReply(FileSlot& slot, const std::array<std::uint8_t, kKeyBufferSize>& key) {
    slot.KeyValue.assign(reinterpret_cast<const char*>(key.data()),
                         std::min(slot.KeyValue.size(), key.size()));
}

void RecordFiles::StepRecords(std::int16_t file, int count, std::int16_t& status) {
    if (count == 0) {
        status = kStatusOk;
        return;
    }
    int slot = FindFileSlot(file);
    if (slot < 1) {
        status = kStatusFileNotOpen;
        return;
    }
    FileSlot& s = FileTable[static_cast<std::size_t>(slot)];
    std::uint16_t op = count > 0 ? kOpGetNext : kOpGetPrevious;
    int moves = count > 0 ? count : -count;
    status = kStatusOk;
    for (int i = 1; i < moves && status == kStatusOk; ++i) {
        std::array<std::uint8_t, kDataBufferSize> data{};
        std::array<std::uint8_t, kKeyBufferSize> key{};
        std::uint32_t dataLength = kDataBufferSize;
        status = manager_.Call(op, s.PositionBlock.data(), data.data(), dataLength, key.data(), 0, s.KeyNumber);
        if (IsReadSuccess(status)) UpdateKeyFromReply(s, key);
        if (status == kStatusDataBufferTooShort) status = kStatusOk;
    }
    if (status != kStatusOk) return;
    status = RecordCall(slot, op);
    if (status == kStatusDataBufferTooShort) status = kStatusOk;
}

std::int32_t RecordFiles::GetDirect(std::int16_t file, std::int32_t position) {
    FileSlot* s = SlotOf(file);
    if (s == nullptr) return position == 0 ? 0 : kStatusFileNotOpen;
    std::array<std::uint8_t, kDataBufferSize> data{};
    std::array<std::uint8_t, kKeyBufferSize> key{};
    std::uint32_t dataLength = kDataBufferSize;
    if (position == 0) {
        std::int16_t status = manager_.Call(kOpGetPosition, s->PositionBlock.data(), data.data(), dataLength,
                                            key.data(), 0, 0);
        if (status != kStatusOk) return 0;
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(data[0]) | (static_cast<std::uint32_t>(data[1]) << 8) |
                                         (static_cast<std::uint32_t>(data[2]) << 16) |
                                         (static_cast<std::uint32_t>(data[3]) << 24));
    }
    auto raw = static_cast<std::uint32_t>(position);
    for (int i = 0; i < 4; ++i) data[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(raw >> (8 * i));
    std::int16_t status =
        manager_.Call(kOpGetDirect, s->PositionBlock.data(), data.data(), dataLength, key.data(), 0, s->KeyNumber);
    if (IsReadSuccess(status)) UpdateKeyFromReply(*s, key);
    if (status == kStatusDataBufferTooShort) status = kStatusOk;
    if (status == kStatusOk && s->RecordBuffer != nullptr)
        std::memcpy(s->RecordBuffer, data.data(), std::min({dataLength, s->RecordBufferLength, kDataBufferSize}));
    return status;
}

void RecordFiles::SetLockMode(std::int16_t file, std::string_view letters, std::int16_t& status) {
    int slot = FindFileSlot(file);
    if (slot < 1) {
        status = kStatusFileNotOpen;
        return;
    }
    FileSlot& s = FileTable[static_cast<std::size_t>(slot)];
    for (char letter : letters) {
        switch (UpperForCompare(static_cast<unsigned char>(letter))) {
            case 'D': s.LockMode = 0; break;
            case 'A': s.LockMode = 1; break;
            case 'B': s.LockMode = 2; break;
            case '+':
                lockModeStack_ += static_cast<char>(slot);
                lockModeStack_ += static_cast<char>(s.LockMode);
                break;
            case '-':
                for (std::size_t at = lockModeStack_.size(); at >= 2; at -= 2) {
                    if (static_cast<unsigned char>(lockModeStack_[at - 2]) != slot) continue;
                    s.LockMode = static_cast<std::int16_t>(lockModeStack_[at - 1]);
                    lockModeStack_.erase(at - 2, 2);
                    break;
                }
                break;
            default: break;
        }
    }
}

RecordFiles::StatData RecordFiles::Stat(FileSlot& slot) {
    StatData stat;
    std::array<std::uint8_t, kKeyBufferSize> key{};
    std::fill(key.begin(), key.begin() + 255, static_cast<std::uint8_t>(' '));
    stat.length = kDataBufferSize;
    stat.status = manager_.Call(kOpStat, slot.PositionBlock.data(), stat.bytes.data(), stat.length, key.data(), 255, 0);
    stat.length = std::min(stat.length, kDataBufferSize);
    return stat;
}

void RecordFiles::GetKeyInfo(std::int16_t file, std::int16_t keyNumber, int& keyLength, std::int32_t& recordLength) {
    keyLength = 0;
    recordLength = 0;
    FileSlot* s = SlotOf(file);
    if (s == nullptr) return;
    StatData stat = Stat(*s);
    recordLength = Get16(stat.bytes.data());
    StatKeys keys = WalkKeys(stat.bytes.data(), stat.length);
    if (keyNumber < 0 || keyNumber >= keys.declaredKeys) return;
    if (static_cast<std::size_t>(keyNumber) >= keys.keys.size()) return;
    for (const auto& [length, flags] : keys.keys[static_cast<std::size_t>(keyNumber)]) keyLength += length;
}

std::string RecordFiles::KeyToCollationForm(const std::string& key, std::int16_t file) {
    FileSlot* s = SlotOf(file);
    if (s == nullptr) return key;
    StatData stat = Stat(*s);
    StatKeys keys = WalkKeys(stat.bytes.data(), stat.length);
    if (s->KeyNumber < 0 || static_cast<std::size_t>(s->KeyNumber) >= keys.keys.size()) return key;
    const std::uint8_t* table = nullptr;
    if (keys.complete && keys.acsAt + kAcsTableOffset + 256 <= stat.length)
        table = stat.bytes.data() + keys.acsAt + kAcsTableOffset;
    std::string result = key;
    std::size_t p = 0;  // 0-based start of the segment in result
    for (const auto& [length, flags] : keys.keys[static_cast<std::size_t>(s->KeyNumber)]) {
        auto n = static_cast<std::size_t>(length);
        if (flags & kFlagBinary) {
            if (result.size() < p + n) result.resize(p + n, '\0');
            std::reverse(result.begin() + static_cast<std::ptrdiff_t>(p),
                         result.begin() + static_cast<std::ptrdiff_t>(p + n));
        } else if ((flags & kFlagAcs) && table != nullptr) {
            for (std::size_t i = p; i < p + n && i < result.size(); ++i)
                result[i] = static_cast<char>(table[static_cast<unsigned char>(result[i])]);
        }
        p += n;
    }
    return result;
}

std::string RecordFiles::CurrentKeyCollated(std::int16_t file) {
    FileSlot* s = SlotOf(file);
    if (s == nullptr) return {};
    return KeyToCollationForm(s->KeyValue, file);
}

std::string RecordFiles::LockMessage() const {
    if (languageCode_ == "SPA") return "FICHERO BLOQUEADO. ESPERE UN MOMENTO.";
    if (languageCode_ == "GLG") return "FICHEIRO BLOQUEADO. ESPERE UM MOMENTO.";
    if (languageCode_ == "OCI") return "FICH\xD4R BLOQUEJAT. ESPERATZ UN MOMENT.";
    return "FITXER BLOQUEJAT. ESPEREU UN MOMENT.";
}

// Reads into the caller's record buffer. In lock mode 1 a record or file
// locked by another user is waited for: random pauses spread the retries of
// several waiting users, and the message stays up from the second attempt
// until a call is no longer refused for a lock. The wait has no bound and
// reads no keys, so keys typed meanwhile stay queued for the caller.
std::int16_t RecordFiles::RecordCall(int slotNumber, std::uint16_t operation) {
    FileSlot& s = FileTable[static_cast<std::size_t>(slotNumber)];
    if (TakesLockBias(operation) && s.LockMode != 0) operation = static_cast<std::uint16_t>(operation + kLockBias);
    const std::uint32_t bufferLength = std::min(s.RecordBufferLength, kDataBufferSize);
    int attempt = 0;
    for (;;) {
        if (attempt == 1) windows_.ShowMessageBox(kMessageRow, LockMessage());
        std::array<std::uint8_t, kDataBufferSize> data;
        data.fill(' ');
        if (bufferLength > 0) std::memcpy(data.data(), s.RecordBuffer, bufferLength);
        std::uint32_t dataLength = bufferLength;
        std::array<std::uint8_t, kKeyBufferSize> key{};
        std::size_t keyLength = std::min(s.KeyValue.size(), kKeyBufferSize - 1);
        std::memcpy(key.data(), s.KeyValue.data(), keyLength);
        std::int16_t status = manager_.Call(operation, s.PositionBlock.data(), data.data(), dataLength, key.data(),
                                            static_cast<std::uint16_t>(keyLength), s.KeyNumber);
        if (bufferLength > 0) std::memcpy(s.RecordBuffer, data.data(), std::min(dataLength, bufferLength));
        s.KeyValue.assign(reinterpret_cast<const char*>(key.data()), keyLength);
        bool lockRefused = status == kStatusRecordLocked || status == kStatusFileLocked;
        if (lockRefused && s.LockMode == 1) {
            platform_.SleepMilliseconds(static_cast<int>(std::lround(10000.0 * random_.Uniform() + 1.0)));
            attempt = std::min(attempt + 1, 2);
            continue;
        }
        if (attempt > 0) windows_.PopScreenRegion();
        return status;
    }
}

}  // namespace qp
