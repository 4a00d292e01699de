#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "platform/temp_dir.h"
#include "records/builtin_engine.h"
#include "records/record_test_support.h"

namespace qp {
namespace {

using testing::CaseFoldingTable;
using testing::Le32;
using testing::SpecBytes;

constexpr std::uint16_t kRecordLength = 16;

// Record: number (4 bytes, binary) | name (8 bytes, collating sequence) | 4 bytes filler.
std::string MakeRecord(std::uint32_t number, const std::string& name) {
    std::string name8 = name;
    name8.resize(8, ' ');
    return Le32(number) + name8 + "----";
}

struct Reply {
    std::int16_t status;
    std::string data;
    std::string key;
};

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        spec_ = SpecBytes(kRecordLength, {{{1, 4, 4}}, {{5, 8, 32}}}, CaseFoldingTable());
        ASSERT_EQ(testing::CreateFile(engine_, path_, spec_), 0);
        ASSERT_EQ(testing::OpenFile(engine_, block_, path_), 0);
    }

    void Insert(std::uint32_t number, const std::string& name) {
        ASSERT_EQ(testing::InsertRecord(engine_, block_, MakeRecord(number, name)), 0);
    }

    Reply Read(std::uint16_t op, std::int16_t keyNumber, std::string key = {}, std::uint32_t dataLength = 64,
               std::uint8_t* block = nullptr, const std::string& dataIn = {}) {
        char data[64] = {};
        std::memcpy(data, dataIn.data(), dataIn.size());
        char keyBuffer[256] = {};
        std::memcpy(keyBuffer, key.data(), key.size());
        std::int16_t status = engine_.Call(op, block ? block : block_, data, dataLength, keyBuffer,
                                           static_cast<std::uint16_t>(key.size()), keyNumber);
        return {status, std::string(data, dataLength), std::string(keyBuffer, keyNumber == 0 ? 4 : 8)};
    }

    std::uint32_t Position(std::uint8_t* block = nullptr) {
        Reply r = Read(kOpGetPosition, 0, {}, 64, block);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.data.size(), 4u);
        std::uint32_t p = 0;
        std::memcpy(&p, r.data.data(), 4);
        return p;
    }

    testing::TempDir dir_;
    std::string path_ = dir_ / "cli.dat";
    std::string spec_;
    BuiltinEngine engine_;
    std::uint8_t block_[kPositionBlockSize] = {};
};

TEST_F(EngineTest, FileStartsWithSignatureThenTheDescriptionAsStatReturnsIt) {
    Insert(7, "x");
    std::string bytes = dir_.Read("cli.dat");
    std::string header = std::string("QPRECF01", 8) + std::string("\x39\x01\0\0\0\0\0\0", 8);
    ASSERT_EQ(spec_.size(), 0x139u);  // 16 + 2 segments + collating sequence
    EXPECT_EQ(bytes.substr(0, 16), header);
    EXPECT_EQ(bytes.substr(16, spec_.size()), spec_);
    EXPECT_EQ(bytes.substr(16 + spec_.size()), MakeRecord(7, "x"));

    Reply stat = Read(kOpStat, 0, {}, 64);
    EXPECT_EQ(stat.status, 22) << "a 64-byte buffer cannot hold the collating sequence";
    char big[1536] = {};
    std::uint32_t length = sizeof big;
    char key[256] = {};
    ASSERT_EQ(engine_.Call(kOpStat, block_, big, length, key, 255, 0), 0);
    std::string expected = spec_;
    expected.replace(6, 4, Le32(1));  // the record count
    EXPECT_EQ(std::string(big, length), expected);
}

TEST_F(EngineTest, BinaryKeysOrderAsNumbersAndCollatedKeysThroughTheTable) {
    Insert(256, "beta");
    Insert(1, "Gamma");
    Insert(2, "alpha");
    // Key 0, a little-endian number: 1, 2, 256 (byte order would put 256 first).
    Reply r = Read(kOpGetGreaterOrEqual, 0, Le32(0));
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.key, Le32(1));
    EXPECT_EQ(Read(kOpGetNext, 0).key, Le32(2));
    EXPECT_EQ(Read(kOpGetNext, 0).key, Le32(256));
    EXPECT_EQ(Read(kOpGetNext, 0).status, 9);
    // Key 1 without regard to case: alpha, beta, Gamma.
    r = Read(kOpGetLessOrEqual, 1, "ZZZZZZZZ");
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.key, "Gamma   ");
    EXPECT_EQ(Read(kOpGetPrevious, 1).key, "beta    ");
    EXPECT_EQ(Read(kOpGetPrevious, 1).key, "alpha   ");
    EXPECT_EQ(Read(kOpGetPrevious, 1).status, 9);
    EXPECT_EQ(Read(kOpGetEqual, 1, "BETA    ").data, MakeRecord(256, "beta"));
}

TEST_F(EngineTest, KeyedReadStatuses) {
    Insert(10, "a");
    Insert(20, "b");
    struct Case {
        std::uint16_t op;
        std::uint32_t key;
        std::int16_t status;
        std::uint32_t found;
    } cases[] = {
        {kOpGetEqual, 20, 0, 20},          {kOpGetEqual, 15, 4, 0},          {kOpGetGreaterOrEqual, 15, 0, 20},
        {kOpGetGreaterOrEqual, 21, 9, 0},  {kOpGetLessOrEqual, 15, 0, 10},   {kOpGetLessOrEqual, 9, 9, 0},
        {kOpGetLessOrEqual, 20, 0, 20},    {kOpGetGreaterOrEqual, 10, 0, 10},
    };
    for (const auto& c : cases) {
        Reply r = Read(c.op, 0, Le32(c.key));
        EXPECT_EQ(r.status, c.status) << "op " << c.op << " key " << c.key;
        if (c.status == 0) {
            EXPECT_EQ(r.key, Le32(c.found)) << "op " << c.op << " key " << c.key;
        }
    }
    EXPECT_EQ(Read(kOpGetEqual, 2, Le32(10)).status, 6) << "key number beyond the file's keys";
    Reply shortRead = Read(kOpGetEqual, 0, Le32(10), 6);
    EXPECT_EQ(shortRead.status, 22);
    EXPECT_EQ(shortRead.data, MakeRecord(10, "a").substr(0, 6));
}

TEST_F(EngineTest, PositionsAreFileOffsetsAndGetDirectMovesThere) {
    Insert(5, "e");
    Insert(3, "c");
    Insert(4, "d");
    const std::uint32_t first = 16 + static_cast<std::uint32_t>(spec_.size());
    ASSERT_EQ(Read(kOpGetEqual, 0, Le32(4)).status, 0);
    EXPECT_EQ(Position(), first + 2 * kRecordLength);

    Reply direct = Read(kOpGetDirect, 0, {}, 64, nullptr, Le32(first));
    ASSERT_EQ(direct.status, 0);
    EXPECT_EQ(direct.data, MakeRecord(5, "e"));
    EXPECT_EQ(direct.key, Le32(5));
    EXPECT_EQ(Read(kOpGetPrevious, 0).key, Le32(4)) << "Get Direct sets the current record";

    for (std::uint32_t bad : {0u, first + 1, first + 3 * kRecordLength})
        EXPECT_EQ(Read(kOpGetDirect, 0, {}, 64, nullptr, Le32(bad)).status, 43) << bad;
}

TEST_F(EngineTest, EachPositionBlockHasItsOwnCurrentRecordAndSeesOthersInserts) {
    Insert(1, "a");
    Insert(2, "b");
    std::uint8_t other[kPositionBlockSize] = {};
    ASSERT_EQ(testing::OpenFile(engine_, other, path_), 0);
    EXPECT_EQ(Read(kOpGetNext, 0, {}, 64, other).status, 8) << "no current record yet";
    ASSERT_EQ(Read(kOpGetEqual, 0, Le32(2), 64, other).status, 0);
    ASSERT_EQ(Read(kOpGetEqual, 0, Le32(1)).status, 0);
    // A second engine stands for another program appending to the file.
    BuiltinEngine elsewhere;
    std::uint8_t theirs[kPositionBlockSize] = {};
    ASSERT_EQ(testing::OpenFile(elsewhere, theirs, path_), 0);
    ASSERT_EQ(testing::InsertRecord(elsewhere, theirs, MakeRecord(3, "c")), 0);
    EXPECT_EQ(Read(kOpGetNext, 0).key, Le32(2));
    EXPECT_EQ(Read(kOpGetNext, 0, {}, 64, other).key, Le32(3));
}

TEST_F(EngineTest, LockedRecordRefusedToAnotherBlockUntilTheNextReadReleasesIt) {
    Insert(1, "a");
    Insert(2, "b");
    std::uint8_t other[kPositionBlockSize] = {};
    ASSERT_EQ(testing::OpenFile(engine_, other, path_), 0);
    const auto locked = static_cast<std::uint16_t>(kOpGetEqual + kSingleNoWaitLockBias);
    ASSERT_EQ(Read(locked, 0, Le32(1)).status, 0);
    EXPECT_EQ(Read(locked, 0, Le32(1), 64, other).status, 84);
    EXPECT_EQ(Read(kOpGetEqual, 0, Le32(1), 64, other).status, 0) << "reading without a lock is allowed";
    EXPECT_EQ(Read(static_cast<std::uint16_t>(kOpGetNext + kSingleNoWaitLockBias), 0, {}, 64, other).key, Le32(2));
    ASSERT_EQ(Read(kOpGetEqual, 0, Le32(9)).status, 4);  // a read that finds nothing still releases record 1
    EXPECT_EQ(Read(locked, 0, Le32(1), 64, other).status, 0);
    EXPECT_EQ(Read(static_cast<std::uint16_t>(kOpGetEqual + 100), 0, Le32(1)).status, 1) << "unsupported bias";
}

TEST_F(EngineTest, AFileCutShortLosesTheCurrentRecordWithoutReadingPastItsEnd) {
    Insert(1, "a");
    Insert(2, "b");
    ASSERT_EQ(Read(kOpGetEqual, 0, Le32(2)).status, 0);
    std::filesystem::resize_file(path_, 16 + spec_.size() + kRecordLength + 5);
    EXPECT_EQ(Read(kOpGetPrevious, 0).status, 8);
    EXPECT_EQ(Read(kOpGetGreaterOrEqual, 0, Le32(0)).key, Le32(1)) << "the whole record that is left";
    EXPECT_EQ(Read(kOpGetNext, 0).status, 9) << "a partial record is not a record";
}

// Key counts and record counts both come from the file: an index of every
// key for every record would grow with their product. 64 KB of description
// and 100 KB of records read along one key must stay small and quick.
TEST_F(EngineTest, ManyKeysOverManyRecordsIndexOnlyTheKeyRead) {
    constexpr std::uint16_t kKeys = 4000;
    constexpr std::uint32_t kRecords = 100000;
    std::vector<std::vector<testing::SegmentDef>> keys(kKeys, {{1, 1, 0}});
    keys.back() = {{1, 1, 4}};
    std::string spec = SpecBytes(1, keys);
    std::string file = std::string("QPRECF01", 8) + std::string(8, '\0') + spec;
    testing::Put16(file, 8, static_cast<std::uint32_t>(spec.size()));
    for (std::uint32_t i = 0; i < kRecords; ++i) file.push_back(static_cast<char>(255 - i % 256));
    dir_.Write("wide.dat", file);

    std::uint8_t block[kPositionBlockSize] = {};
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(testing::OpenFile(engine_, block, dir_ / "wide.dat"), 0);
    char data[1] = {};
    char key[256] = {};
    std::uint32_t length = 1;
    ASSERT_EQ(engine_.Call(kOpGetGreaterOrEqual, block, data, length, key, 1, kKeys - 1), 0);
    EXPECT_EQ(static_cast<unsigned char>(data[0]), 0);
    length = 1;
    ASSERT_EQ(engine_.Call(kOpGetNext, block, data, length, key, 1, kKeys - 1), 0);
    EXPECT_EQ(static_cast<unsigned char>(data[0]), 0) << "equal keys follow in file order";
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(EngineTest, RefusedCallsAndTheirStatuses) {
    std::uint8_t unopened[kPositionBlockSize] = {};
    EXPECT_EQ(Read(kOpGetNext, 0, {}, 64, unopened).status, 3);
    std::uint8_t missing[kPositionBlockSize] = {};
    EXPECT_EQ(testing::OpenFile(engine_, missing, dir_ / "none.dat"), 12);
    dir_.Write("text.dat", "not a record file at all");
    EXPECT_EQ(testing::OpenFile(engine_, missing, dir_ / "text.dat"), 30);
    // Something else in a record file's place is refused at once: a FIFO
    // would hold the first read up for good.
    std::filesystem::create_directory(dir_ / "folder.dat");
    EXPECT_NE(testing::OpenFile(engine_, missing, dir_ / "folder.dat"), 0);
#ifndef _WIN32
    ASSERT_EQ(::mkfifo((dir_ / "fifo.dat").c_str(), 0600), 0);
    EXPECT_NE(testing::OpenFile(engine_, missing, dir_ / "fifo.dat"), 0);
#endif
    EXPECT_EQ(testing::CreateFile(engine_, path_, spec_), 59) << "an existing file is never replaced";
    EXPECT_EQ(testing::InsertRecord(engine_, block_, "short"), 28);
    EXPECT_EQ(testing::CreateFile(engine_, dir_ / "bad.dat", SpecBytes(8, {{{5, 6, 0}}})), 27);
    EXPECT_EQ(testing::CreateFile(engine_, dir_ / "acs.dat", SpecBytes(8, {{{1, 4, 32}}})), 29)
        << "a collated segment needs the table";

    std::uint32_t length = 0;
    char key[256] = {};
    EXPECT_EQ(engine_.Call(kOpClose, block_, nullptr, length, key, 0, 0), 0);
    EXPECT_EQ(Read(kOpStat, 0).status, 3) << "the block was closed";
    ASSERT_EQ(testing::OpenFile(engine_, block_, path_), 0);
    std::uint8_t blank[kPositionBlockSize] = {};
    EXPECT_EQ(engine_.Call(kOpReset, blank, nullptr, length, key, 0, 0), 0);
    EXPECT_EQ(Read(kOpStat, 0).status, 3) << "reset closes every file";
}

}  // namespace
}  // namespace qp
