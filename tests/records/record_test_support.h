// Shared pieces of the record tests: building file descriptions, and a
// record manager that records every call on its way to the real one.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "records/record_manager.h"

namespace qp::testing {

struct SegmentDef {
    std::uint16_t position;  // 1-based
    std::uint16_t length;
    std::uint16_t flags;     // 4 binary, 32 collating sequence; 16 is added between segments
};

inline void Put16(std::string& s, std::size_t at, std::uint32_t v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

inline std::string Le32(std::uint32_t v) {
    std::string s(4, '\0');
    Put16(s, 0, v & 0xFFFF);
    Put16(s, 2, v >> 16);
    return s;
}

// A file description in the layout Stat returns; acsTable (256 bytes) is appended
// with its signature and name when given.
inline std::string SpecBytes(std::uint16_t recordLength, const std::vector<std::vector<SegmentDef>>& keys,
                             const std::string& acsTable = {}) {
    std::string spec(16, '\0');
    Put16(spec, 0, recordLength);
    Put16(spec, 4, static_cast<std::uint32_t>(keys.size()));
    for (const auto& key : keys) {
        for (std::size_t i = 0; i < key.size(); ++i) {
            std::string segment(16, '\0');
            Put16(segment, 0, key[i].position);
            Put16(segment, 2, key[i].length);
            Put16(segment, 4, static_cast<std::uint32_t>(key[i].flags | (i + 1 < key.size() ? 16 : 0)));
            spec += segment;
        }
    }
    if (!acsTable.empty()) spec += std::string("\xAC" "UPPER   ", 9) + acsTable;
    return spec;
}

// A collating sequence that orders letters without regard to case.
inline std::string CaseFoldingTable() {
    std::string table(256, '\0');
    for (int b = 0; b < 256; ++b) table[static_cast<std::size_t>(b)] = static_cast<char>(b >= 'a' && b <= 'z' ? b - 32 : b);
    return table;
}

struct RecordedCall {
    std::uint16_t operation;
    std::uint32_t dataLengthIn;
    std::uint16_t keyLength;
    std::int16_t keyNumber;
    std::string keyIn;  // keyLength bytes
    std::int16_t status;
};

class RecordingManager : public RecordManager {
public:
    explicit RecordingManager(RecordManager& inner) : inner_(inner) {}

    std::int16_t Call(std::uint16_t operation, std::uint8_t* positionBlock, void* dataBuffer,
                      std::uint32_t& dataLength, void* keyBuffer, std::uint16_t keyLength,
                      std::int16_t keyNumber) override {
        RecordedCall call{operation, dataLength, keyLength, keyNumber,
                          std::string(static_cast<const char*>(keyBuffer), keyLength), 0};
        auto forced = forcedStatus.find(operation);
        call.status = forced != forcedStatus.end()
                          ? forced->second
                          : inner_.Call(operation, positionBlock, dataBuffer, dataLength, keyBuffer, keyLength, keyNumber);
        calls.push_back(call);
        return call.status;
    }

    std::vector<std::uint16_t> Operations() const {
        std::vector<std::uint16_t> ops;
        for (const auto& c : calls) ops.push_back(c.operation);
        return ops;
    }

    std::vector<RecordedCall> calls;
    std::map<std::uint16_t, std::int16_t> forcedStatus;  // answered without asking the inner manager

private:
    RecordManager& inner_;
};

// Direct engine calls for setting files up.
inline std::int16_t CreateFile(RecordManager& m, const std::string& path, std::string spec) {
    std::uint8_t block[kPositionBlockSize] = {};
    std::string name = path + '\0';
    auto length = static_cast<std::uint32_t>(spec.size());
    return m.Call(kOpCreate, block, spec.data(), length, name.data(), static_cast<std::uint16_t>(name.size()), 0);
}

inline std::int16_t OpenFile(RecordManager& m, std::uint8_t* block, const std::string& path) {
    std::string name = path + '\0';
    std::uint32_t length = 0;
    return m.Call(kOpOpen, block, nullptr, length, name.data(), static_cast<std::uint16_t>(name.size()), 0);
}

inline std::int16_t InsertRecord(RecordManager& m, std::uint8_t* block, std::string record) {
    char key[256] = {};
    auto length = static_cast<std::uint32_t>(record.size());
    return m.Call(kOpInsert, block, record.data(), length, key, 0, 0);
}

}  // namespace qp::testing
