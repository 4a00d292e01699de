// The built-in record manager: record files of this program's own format
// (described at the top of builtin_engine.cpp), one current position per
// position block, and single-record locks that hold between processes.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "records/engine_file.h"
#include "records/record_manager.h"

namespace qp {

class BuiltinEngine : public RecordManager {
public:
    std::int16_t Call(std::uint16_t operation, std::uint8_t* positionBlock, void* dataBuffer,
                      std::uint32_t& dataLength, void* keyBuffer, std::uint16_t keyLength,
                      std::int16_t keyNumber) override;

    struct Segment {
        std::uint16_t position = 0;  // 1-based offset in the record
        std::uint16_t length = 0;
        std::uint16_t flags = 0;
    };
    struct Key {
        std::vector<Segment> segments;
        std::size_t length = 0;
    };
    struct Spec {
        std::uint16_t recordLength = 0;
        std::vector<Key> keys;
        bool hasAcs = false;
        std::array<std::uint8_t, 256> acs{};
        std::string bytes;  // the description as stored, record count zero
    };
    // Checks a file description in the layout Stat returns; status 0 when usable.
    static std::int16_t ParseSpec(const std::uint8_t* bytes, std::size_t length, Spec& spec);

private:
    // One per file open in this process, shared by its position blocks so that
    // closing one of them never drops the locks of another (fcntl semantics).
    struct OpenFile {
        std::string identity;
        std::unique_ptr<EngineFile> file;
        Spec spec;
        std::int64_t dataStart = 0;
        std::int64_t loadedSize = -1;
        std::string records;                      // every whole record, in file order
        // Per key, the records' positions in collation order, built when a read
        // first goes along that key: 8 bytes a record, and only for keys in use.
        std::vector<std::vector<std::int64_t>> indexes;
        std::vector<bool> indexed;
    };
    struct Handle {
        std::shared_ptr<OpenFile> open;
        bool hasCurrent = false;
        std::int64_t current = 0;
        std::int64_t locked = -1;  // position of the record this block holds locked
    };
    struct Request {
        std::uint16_t op;
        bool lock;
        std::uint8_t* positionBlock;
        std::uint8_t* data;
        std::uint32_t& dataLength;
        std::uint8_t* key;
        std::uint16_t keyLength;
        std::int16_t keyNumber;
    };

    std::int16_t Dispatch(Request& r);
    std::int16_t Open(Request& r);
    std::int16_t Close(Request& r);
    std::int16_t Insert(Request& r, Handle& h);
    std::int16_t Create(Request& r);
    std::int16_t Stat(Request& r, Handle& h);
    std::int16_t GetByKey(Request& r, Handle& h);
    std::int16_t Step(Request& r, Handle& h);
    std::int16_t GetPosition(Request& r, Handle& h);
    std::int16_t GetDirect(Request& r, Handle& h);
    std::int16_t Reset();
    std::int16_t ReadRecord(Request& r, Handle& h, std::int64_t position);

    Handle* FindHandle(const std::uint8_t* positionBlock);
    void ReleaseLock(Handle& h);
    bool LockedByOtherBlock(const Handle& h, std::int64_t position) const;
    static bool Refresh(OpenFile& f);
    static std::string KeyOf(const OpenFile& f, std::size_t key, std::int64_t position);
    static std::string Collate(const OpenFile& f, std::size_t key, std::string value);
    static const std::vector<std::int64_t>& Index(OpenFile& f, std::size_t key);
    // <0, 0, >0 as the collation form of the record's key sorts before, with or after `collated`.
    static int CompareKey(const OpenFile& f, std::size_t key, std::int64_t position, std::string_view collated);
    static int CompareKeys(const OpenFile& f, std::size_t key, std::int64_t a, std::int64_t b);
    static std::int64_t RecordCount(const OpenFile& f);
    static bool HoldsRecord(const OpenFile& f, std::int64_t position);

    std::map<std::uint32_t, Handle> handles_;
    std::uint32_t nextHandle_ = 1;
};

}  // namespace qp
