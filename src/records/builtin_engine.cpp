// The built-in record manager.
//
// File format (all integers little-endian):
//
//   offset 0    8 bytes  signature "QPRECF01"
//   offset 8    2 bytes  H, the length of the description that follows
//   offset 10   6 bytes  zero
//   offset 16   H bytes  the file's description, in the very layout that Stat returns:
//                 0-1   record length (1..65535)
//                 2-3   zero
//                 4-5   number of keys
//                 6-9   number of records: zero here, filled in by Stat
//                 10-15 zero
//                 from 16, one 16-byte description per key segment, the keys
//                 in order and the segments of a key in order:
//                   0-1 position of the segment in the record, 1-based
//                   2-3 segment length
//                   4-5 flags: 4 binary (a little-endian number), 16 another
//                       segment of the same key follows, 32 the segment is
//                       ordered through the alternate collating sequence
//                   6-15 zero
//                 then, only when a segment has flag 32, the alternate
//                 collating sequence: signature byte 0xAC, an 8-byte name and
//                 a 256-byte translation table
//   offset 16+H the records, fixed length, in the order they were inserted.
//
// A record's position (Get Position, Get Direct) is its file offset. Records
// are only ever appended, so a file that grew is simply read again. A key's
// value is its segments' bytes one after the other (at most 255 bytes); the
// index orders records by the key's collation form (binary segments
// byte-reversed, collating-sequence segments translated, other bytes as they
// are) and equal keys by position. Duplicate keys are allowed.
//
// Locks: a read with the lock bias 200 takes an operating-system exclusive
// lock on the record's image in a lock area far beyond the end of any file
// (at 2^62 + the record's position, the record's length long), held until the
// next read on the same position block, its Close or a Reset. The data itself
// is never locked, because Windows locks are mandatory and others must still
// read a locked record. Insert serialises writers with a short lock on the
// lock area's first byte (position 0 is never a record).
//
// Open (0): key buffer = file name; the handle number is written into the
// position block. Create (14): data buffer = description as above, key
// buffer = file name; refuses (59) to replace an existing file.
#include "records/builtin_engine.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <tuple>

#include "platform/platform.h"

namespace qp {
namespace {

constexpr char kSignature[8] = {'Q', 'P', 'R', 'E', 'C', 'F', '0', '1'};
constexpr std::int64_t kSpecOffset = 16;
constexpr std::size_t kSegmentSize = 16;
constexpr std::size_t kAcsSize = 1 + 8 + 256;
constexpr std::uint8_t kAcsSignature = 0xAC;
constexpr std::size_t kMaxKeyLength = 255;
constexpr std::uint16_t kFlagBinary = 4;
constexpr std::uint16_t kFlagNextSegment = 16;
constexpr std::uint16_t kFlagAcs = 32;
constexpr std::uint8_t kHandleTag[4] = {'Q', 'P', 'E', 'H'};
constexpr std::int64_t kLockArea = std::int64_t{1} << 62;

std::uint16_t Get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

void Put16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v & 0xFF);
    p[1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
}

void Put32(std::uint8_t* p, std::uint32_t v) {
    Put16(p, v & 0xFFFF);
    Put16(p + 2, v >> 16);
}

std::uint32_t Get32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(Get16(p)) | (static_cast<std::uint32_t>(Get16(p + 2)) << 16);
}

// The text a caller gives as a file name: up to the key length or the first zero byte.
std::string NameFrom(const std::uint8_t* key, std::uint16_t keyLength) {
    if (key == nullptr) return {};
    std::size_t n = 0;
    while (n < keyLength && key[n] != 0) ++n;
    return std::string(reinterpret_cast<const char*>(key), n);
}

std::string IdentityOf(const std::string& nativePath) {
    std::error_code ignored;
    std::filesystem::path canonical = std::filesystem::weakly_canonical(nativePath, ignored);
    return canonical.empty() ? nativePath : canonical.string();
}

bool IsLockableRead(std::uint16_t op) {
    return op == kOpGetEqual || op == kOpGetNext || op == kOpGetPrevious || op == kOpGetGreaterOrEqual ||
           op == kOpGetLessOrEqual || op == kOpGetDirect;
}

// Byte i of a segment's collation form, read straight from the record, so
// that ordering a file never needs a copy of its keys.
std::uint8_t CollatedByte(const BuiltinEngine::Spec& spec, const BuiltinEngine::Segment& s, const char* record,
                          std::size_t i) {
    if (s.flags & kFlagBinary) return static_cast<std::uint8_t>(record[s.position - 1 + s.length - 1 - i]);
    auto b = static_cast<std::uint8_t>(record[s.position - 1 + i]);
    return (s.flags & kFlagAcs) ? spec.acs[b] : b;
}

// <0, 0, >0 as a record's key sorts before, with or after another key whose
// collation bytes `other` gives (by segment, index in it, index in the key).
template <typename OtherByte>
int CompareCollated(const BuiltinEngine::Spec& spec, const std::vector<BuiltinEngine::Segment>& segments,
                    const char* record, OtherByte other) {
    std::size_t at = 0;
    for (const BuiltinEngine::Segment& s : segments) {
        for (std::size_t i = 0; i < s.length; ++i, ++at) {
            std::uint8_t mine = CollatedByte(spec, s, record, i);
            std::uint8_t theirs = other(s, i, at);
            if (mine != theirs) return mine < theirs ? -1 : 1;
        }
    }
    return 0;
}

}  // namespace

std::unique_ptr<RecordManager> MakeBuiltinEngine() { return std::make_unique<BuiltinEngine>(); }

std::int16_t BuiltinEngine::ParseSpec(const std::uint8_t* bytes, std::size_t length, Spec& spec) {
    spec = Spec{};
    if (length < kSpecOffset) return kStatusInvalidRecordLength;
    spec.recordLength = Get16(bytes);
    if (spec.recordLength == 0) return kStatusInvalidRecordLength;
    std::size_t keyCount = Get16(bytes + 4);
    std::size_t at = kSpecOffset;
    for (std::size_t k = 0; k < keyCount; ++k) {
        Key key;
        bool more = true;
        while (more) {
            if (at + kSegmentSize > length) return kStatusInvalidKeyLength;
            const std::uint8_t* s = bytes + at;
            Segment segment{Get16(s), Get16(s + 2), Get16(s + 4)};
            at += kSegmentSize;
            if (segment.length == 0) return kStatusInvalidKeyLength;
            if (segment.position == 0 || segment.position + segment.length - 1 > spec.recordLength)
                return kStatusInvalidKeyPosition;
            key.length += segment.length;
            if (key.length > kMaxKeyLength) return kStatusInvalidKeyLength;
            if (segment.flags & kFlagAcs) spec.hasAcs = true;
            more = (segment.flags & kFlagNextSegment) != 0;
            key.segments.push_back(segment);
        }
        spec.keys.push_back(std::move(key));
    }
    if (spec.hasAcs) {
        if (at + kAcsSize > length || bytes[at] != kAcsSignature) return kStatusInvalidKeyLength;
        std::memcpy(spec.acs.data(), bytes + at + 9, 256);
        at += kAcsSize;
    }
    spec.bytes.assign(reinterpret_cast<const char*>(bytes), at);
    std::fill(spec.bytes.begin() + 6, spec.bytes.begin() + 10, '\0');
    return kStatusOk;
}

std::int16_t BuiltinEngine::Call(std::uint16_t operation, std::uint8_t* positionBlock, void* dataBuffer,
                                 std::uint32_t& dataLength, void* keyBuffer, std::uint16_t keyLength,
                                 std::int16_t keyNumber) {
    std::uint16_t bias = static_cast<std::uint16_t>(operation / 100 * 100);
    Request r{static_cast<std::uint16_t>(operation % 100),
              bias == kSingleNoWaitLockBias,
              positionBlock,
              static_cast<std::uint8_t*>(dataBuffer),
              dataLength,
              static_cast<std::uint8_t*>(keyBuffer),
              keyLength,
              keyNumber};
    if (bias != 0 && !(r.lock && IsLockableRead(r.op))) return kStatusInvalidOperation;
    std::uint32_t given = dataLength;
    std::int16_t status = Dispatch(r);
    if (status != kStatusOk && status != kStatusDataBufferTooShort) dataLength = 0;
    if (dataLength > given) dataLength = given;
    return status;
}

std::int16_t BuiltinEngine::Dispatch(Request& r) {
    switch (r.op) {
        case kOpOpen: return Open(r);
        case kOpCreate: return Create(r);
        case kOpReset: return Reset();
        case kOpClose: return Close(r);
        default: break;
    }
    Handle* h = FindHandle(r.positionBlock);
    if (h == nullptr) return kStatusFileNotOpen;
    if (!Refresh(*h->open)) return kStatusIoError;
    // Any read ends the lock of the block's previous read, found or not.
    if (IsLockableRead(r.op)) ReleaseLock(*h);
    switch (r.op) {
        case kOpInsert: return Insert(r, *h);
        case kOpStat: return Stat(r, *h);
        case kOpGetEqual:
        case kOpGetGreaterOrEqual:
        case kOpGetLessOrEqual: return GetByKey(r, *h);
        case kOpGetNext:
        case kOpGetPrevious: return Step(r, *h);
        case kOpGetPosition: return GetPosition(r, *h);
        case kOpGetDirect: return GetDirect(r, *h);
        default: return kStatusInvalidOperation;
    }
}

BuiltinEngine::Handle* BuiltinEngine::FindHandle(const std::uint8_t* positionBlock) {
    if (positionBlock == nullptr || std::memcmp(positionBlock, kHandleTag, 4) != 0) return nullptr;
    auto it = handles_.find(Get32(positionBlock + 4));
    return it == handles_.end() ? nullptr : &it->second;
}

std::int16_t BuiltinEngine::Open(Request& r) {
    if (r.positionBlock == nullptr) return kStatusFileNotOpen;
    std::string native = NativePath(NameFrom(r.key, r.keyLength));
    if (native.empty()) return kStatusFileNotFound;
    std::string identity = IdentityOf(native);
    std::shared_ptr<OpenFile> open;
    for (auto& [id, h] : handles_)
        if (h.open->identity == identity) open = h.open;
    if (!open) {
        EngineFile::OpenResult result{};
        auto file = OpenEngineFile(native, false, result);
        if (!file) return result == EngineFile::OpenResult::NotFound ? kStatusFileNotFound : kStatusIoError;
        std::uint8_t head[kSpecOffset];
        if (!file->ReadAt(0, head, sizeof head) || std::memcmp(head, kSignature, 8) != 0)
            return kStatusNotARecordFile;
        std::string spec(Get16(head + 8), '\0');
        if (!file->ReadAt(kSpecOffset, spec.data(), spec.size())) return kStatusNotARecordFile;
        open = std::make_shared<OpenFile>();
        if (ParseSpec(reinterpret_cast<const std::uint8_t*>(spec.data()), spec.size(), open->spec) != kStatusOk)
            return kStatusNotARecordFile;
        open->identity = identity;
        open->file = std::move(file);
        open->dataStart = kSpecOffset + static_cast<std::int64_t>(spec.size());
        if (!Refresh(*open)) return kStatusIoError;
    }
    std::uint32_t id = nextHandle_++;
    handles_[id].open = std::move(open);
    std::memset(r.positionBlock, 0, kPositionBlockSize);
    std::memcpy(r.positionBlock, kHandleTag, 4);
    Put32(r.positionBlock + 4, id);
    r.dataLength = 0;
    return kStatusOk;
}

std::int16_t BuiltinEngine::Close(Request& r) {
    Handle* h = FindHandle(r.positionBlock);
    if (h == nullptr) return kStatusFileNotOpen;
    ReleaseLock(*h);
    handles_.erase(Get32(r.positionBlock + 4));
    std::memset(r.positionBlock, 0, kPositionBlockSize);
    r.dataLength = 0;
    return kStatusOk;
}

std::int16_t BuiltinEngine::Reset() {
    for (auto& [id, h] : handles_) ReleaseLock(h);
    handles_.clear();
    return kStatusOk;
}

std::int16_t BuiltinEngine::Create(Request& r) {
    if (r.data == nullptr) return kStatusInvalidRecordLength;
    Spec spec;
    std::int16_t status = ParseSpec(r.data, r.dataLength, spec);
    if (status != kStatusOk) return status;
    std::string native = NativePath(NameFrom(r.key, r.keyLength));
    if (native.empty()) return kStatusFileNotFound;
    EngineFile::OpenResult result{};
    auto file = OpenEngineFile(native, true, result);
    if (!file) return result == EngineFile::OpenResult::Exists ? kStatusFileExists : kStatusIoError;
    std::string head(kSignature, sizeof kSignature);
    head.resize(kSpecOffset, '\0');
    Put16(reinterpret_cast<std::uint8_t*>(head.data()) + 8, static_cast<std::uint32_t>(spec.bytes.size()));
    head += spec.bytes;
    if (!file->WriteAt(0, head.data(), head.size())) return kStatusIoError;
    r.dataLength = 0;
    return kStatusOk;
}

bool BuiltinEngine::Refresh(OpenFile& f) {
    std::int64_t size = f.file->Size();
    if (size < 0) return false;
    if (size == f.loadedSize) return true;
    std::int64_t count = size > f.dataStart ? (size - f.dataStart) / f.spec.recordLength : 0;
    std::string records(static_cast<std::size_t>(count * f.spec.recordLength), '\0');
    if (!records.empty() && !f.file->ReadAt(f.dataStart, records.data(), records.size())) return false;
    f.records = std::move(records);
    f.loadedSize = size;
    f.indexes.assign(f.spec.keys.size(), {});
    f.indexed.assign(f.spec.keys.size(), false);
    return true;
}

const std::vector<std::int64_t>& BuiltinEngine::Index(OpenFile& f, std::size_t key) {
    auto& index = f.indexes[key];
    if (f.indexed[key]) return index;
    index.resize(static_cast<std::size_t>(RecordCount(f)));
    for (std::size_t i = 0; i < index.size(); ++i)
        index[i] = f.dataStart + static_cast<std::int64_t>(i) * f.spec.recordLength;
    // Stable: equal keys stay in position order.
    std::stable_sort(index.begin(), index.end(),
                     [&](std::int64_t a, std::int64_t b) { return CompareKeys(f, key, a, b) < 0; });
    f.indexed[key] = true;
    return index;
}

int BuiltinEngine::CompareKey(const OpenFile& f, std::size_t key, std::int64_t position, std::string_view collated) {
    return CompareCollated(f.spec, f.spec.keys[key].segments, f.records.data() + (position - f.dataStart),
                           [&](const Segment&, std::size_t, std::size_t at) { return static_cast<std::uint8_t>(collated[at]); });
}

int BuiltinEngine::CompareKeys(const OpenFile& f, std::size_t key, std::int64_t a, std::int64_t b) {
    const char* other = f.records.data() + (b - f.dataStart);
    return CompareCollated(f.spec, f.spec.keys[key].segments, f.records.data() + (a - f.dataStart),
                           [&](const Segment& s, std::size_t i, std::size_t) { return CollatedByte(f.spec, s, other, i); });
}

// A file cut short by someone else may have lost a block's current record.
bool BuiltinEngine::HoldsRecord(const OpenFile& f, std::int64_t position) {
    std::int64_t end = f.dataStart + static_cast<std::int64_t>(f.records.size());
    return position >= f.dataStart && position < end && (position - f.dataStart) % f.spec.recordLength == 0;
}

std::int64_t BuiltinEngine::RecordCount(const OpenFile& f) {
    return static_cast<std::int64_t>(f.records.size()) / f.spec.recordLength;
}

std::string BuiltinEngine::KeyOf(const OpenFile& f, std::size_t key, std::int64_t position) {
    const char* record = f.records.data() + (position - f.dataStart);
    std::string value;
    for (const Segment& s : f.spec.keys[key].segments) value.append(record + s.position - 1, s.length);
    return value;
}

std::string BuiltinEngine::Collate(const OpenFile& f, std::size_t key, std::string value) {
    std::size_t at = 0;
    for (const Segment& s : f.spec.keys[key].segments) {
        if (s.flags & kFlagBinary) {
            std::reverse(value.begin() + static_cast<std::ptrdiff_t>(at),
                         value.begin() + static_cast<std::ptrdiff_t>(at + s.length));
        } else if (s.flags & kFlagAcs) {
            for (std::size_t i = at; i < at + s.length; ++i)
                value[i] = static_cast<char>(f.spec.acs[static_cast<std::uint8_t>(value[i])]);
        }
        at += s.length;
    }
    return value;
}

void BuiltinEngine::ReleaseLock(Handle& h) {
    if (h.locked < 0) return;
    h.open->file->Unlock(kLockArea + h.locked, h.open->spec.recordLength);
    h.locked = -1;
}

bool BuiltinEngine::LockedByOtherBlock(const Handle& h, std::int64_t position) const {
    for (const auto& [id, other] : handles_)
        if (&other != &h && other.open == h.open && other.locked == position) return true;
    return false;
}

// Every read that reaches a record: takes the lock asked for, returns the
// record and its key, and makes it the block's current record. A refused lock
// leaves the current record where it was, so that the caller can retry.
std::int16_t BuiltinEngine::ReadRecord(Request& r, Handle& h, std::int64_t position) {
    OpenFile& f = *h.open;
    if (r.lock) {
        if (LockedByOtherBlock(h, position) || !f.file->TryLock(kLockArea + position, f.spec.recordLength))
            return kStatusRecordLocked;
        h.locked = position;
    }
    h.hasCurrent = true;
    h.current = position;
    std::uint32_t n = std::min<std::uint32_t>(r.dataLength, f.spec.recordLength);
    if (r.data != nullptr) std::memcpy(r.data, f.records.data() + (position - f.dataStart), n);
    else n = 0;
    r.dataLength = n;
    std::string key = KeyOf(f, static_cast<std::size_t>(r.keyNumber), position);
    if (r.key != nullptr) std::memcpy(r.key, key.data(), key.size());
    return n < f.spec.recordLength ? kStatusDataBufferTooShort : kStatusOk;
}

std::int16_t BuiltinEngine::Insert(Request& r, Handle& h) {
    OpenFile& f = *h.open;
    if (r.data == nullptr || r.dataLength != f.spec.recordLength) return kStatusInvalidRecordLength;
    if (r.keyNumber < 0 || static_cast<std::size_t>(r.keyNumber) >= f.spec.keys.size())
        return kStatusInvalidKeyNumber;
    if (!f.file->LockWaiting(kLockArea, 1)) return kStatusIoError;
    bool written = Refresh(f) &&
                   f.file->WriteAt(f.dataStart + static_cast<std::int64_t>(f.records.size()), r.data, r.dataLength);
    std::int64_t position = f.dataStart + static_cast<std::int64_t>(f.records.size());
    f.file->Unlock(kLockArea, 1);
    if (!written || !Refresh(f)) return kStatusIoError;
    ReleaseLock(h);
    h.hasCurrent = true;
    h.current = position;
    std::string key = KeyOf(f, static_cast<std::size_t>(r.keyNumber), position);
    if (r.key != nullptr) std::memcpy(r.key, key.data(), key.size());
    return kStatusOk;
}

std::int16_t BuiltinEngine::Stat(Request& r, Handle& h) {
    OpenFile& f = *h.open;
    std::string stat = f.spec.bytes;
    Put32(reinterpret_cast<std::uint8_t*>(stat.data()) + 6, static_cast<std::uint32_t>(RecordCount(f)));
    std::uint32_t n = std::min<std::uint32_t>(r.dataLength, static_cast<std::uint32_t>(stat.size()));
    if (r.data == nullptr) n = 0;
    if (n > 0) std::memcpy(r.data, stat.data(), n);
    r.dataLength = n;
    return n < stat.size() ? kStatusDataBufferTooShort : kStatusOk;
}

std::int16_t BuiltinEngine::GetByKey(Request& r, Handle& h) {
    OpenFile& f = *h.open;
    if (r.keyNumber < 0 || static_cast<std::size_t>(r.keyNumber) >= f.spec.keys.size())
        return kStatusInvalidKeyNumber;
    auto k = static_cast<std::size_t>(r.keyNumber);
    std::string sought(f.spec.keys[k].length, '\0');
    if (r.key != nullptr)
        std::memcpy(sought.data(), r.key, std::min<std::size_t>(r.keyLength, sought.size()));
    std::string collated = Collate(f, k, sought);
    const auto& index = Index(f, k);
    auto first = std::lower_bound(index.begin(), index.end(), collated, [&](std::int64_t p, const std::string& c) {
        return CompareKey(f, k, p, c) < 0;
    });
    if (r.op == kOpGetLessOrEqual) {
        auto after = std::upper_bound(index.begin(), index.end(), collated, [&](const std::string& c, std::int64_t p) {
            return CompareKey(f, k, p, c) > 0;
        });
        if (after == index.begin()) return kStatusEndOfFile;
        return ReadRecord(r, h, *std::prev(after));
    }
    if (first == index.end()) return r.op == kOpGetEqual ? kStatusKeyNotFound : kStatusEndOfFile;
    if (r.op == kOpGetEqual && CompareKey(f, k, *first, collated) != 0) return kStatusKeyNotFound;
    return ReadRecord(r, h, *first);
}

std::int16_t BuiltinEngine::Step(Request& r, Handle& h) {
    OpenFile& f = *h.open;
    if (r.keyNumber < 0 || static_cast<std::size_t>(r.keyNumber) >= f.spec.keys.size())
        return kStatusInvalidKeyNumber;
    if (!h.hasCurrent || !HoldsRecord(f, h.current)) return kStatusNoCurrentPosition;
    auto k = static_cast<std::size_t>(r.keyNumber);
    const auto& index = Index(f, k);
    const std::int64_t current = h.current;
    auto here = std::lower_bound(index.begin(), index.end(), current, [&](std::int64_t p, std::int64_t c) {
        int order = CompareKeys(f, k, p, c);
        return order < 0 || (order == 0 && p < c);
    });
    if (r.op == kOpGetNext) {
        if (here == index.end() || std::next(here) == index.end()) return kStatusEndOfFile;
        return ReadRecord(r, h, *std::next(here));
    }
    if (here == index.begin()) return kStatusEndOfFile;
    return ReadRecord(r, h, *std::prev(here));
}

std::int16_t BuiltinEngine::GetPosition(Request& r, Handle& h) {
    if (!h.hasCurrent) return kStatusNoCurrentPosition;
    if (r.data == nullptr || r.dataLength < 4) return kStatusDataBufferTooShort;
    Put32(r.data, static_cast<std::uint32_t>(h.current));
    r.dataLength = 4;
    return kStatusOk;
}

std::int16_t BuiltinEngine::GetDirect(Request& r, Handle& h) {
    OpenFile& f = *h.open;
    if (r.keyNumber < 0 || static_cast<std::size_t>(r.keyNumber) >= f.spec.keys.size())
        return kStatusInvalidKeyNumber;
    if (r.data == nullptr || r.dataLength < 4) return kStatusDataBufferTooShort;
    std::int64_t position = Get32(r.data);
    if (!HoldsRecord(f, position)) return kStatusInvalidRecordAddress;
    return ReadRecord(r, h, position);
}

}  // namespace qp
