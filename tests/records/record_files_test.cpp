#include "records/record_files_fixture.h"

namespace qp {
namespace {

using testing::Le32;
using testing::LayerRecord;
using testing::RecordFilesTest;


TEST_F(RecordFilesTest, GetByKeyPassesTheWholeKeyPaddedWithZerosAndPicksTheOperationByDirection) {
    Open();
    struct Case {
        int direction;
        std::string key;
        std::uint16_t operation;
        std::uint32_t number;  // record found
    } cases[] = {
        {0, "AB", kOpGetEqual, 1},
        {5, std::string("AB\0\0x", 5), kOpGetGreaterOrEqual, 2},
        {-1, std::string("AC\0\0\0\0\0\0\0\0extra", 15), kOpGetLessOrEqual, 3},
        {1, "AD", kOpGetGreaterOrEqual, 4},
    };
    for (const auto& c : cases) {
        recorder.calls.clear();
        std::int16_t status = -1;
        files.GetByKey(kFile, 1, c.key, c.direction, status);
        EXPECT_EQ(status, 0) << c.key;
        ASSERT_EQ(recorder.calls.size(), 2u);
        EXPECT_EQ(recorder.calls[0].operation, kOpStat);
        const auto& read = recorder.calls[1];
        EXPECT_EQ(read.operation, c.operation);
        EXPECT_EQ(read.keyLength, 10);
        std::string expectedKey = c.key.substr(0, 10);
        expectedKey.resize(10, '\0');
        EXPECT_EQ(read.keyIn, expectedKey);
        EXPECT_EQ(read.keyNumber, 1);
        EXPECT_EQ(read.dataLengthIn, testing::kLayerRecordLength);
        EXPECT_EQ(Buffer().substr(0, 4), Le32(c.number)) << c.key;
    }
    EXPECT_EQ(SlotOfFile().KeyNumber, 1);
}

TEST_F(RecordFilesTest, UnknownKeyNumberGives1004WithoutReading) {
    Open();
    for (std::int16_t keyNumber : {std::int16_t{3}, std::int16_t{40}, std::int16_t{-1}}) {
        recorder.calls.clear();
        std::int16_t status = -1;
        files.GetByKey(kFile, keyNumber, "AB", 0, status);
        EXPECT_EQ(status, kStatusNoSuchKey) << keyNumber;
        EXPECT_EQ(recorder.Operations(), std::vector<std::uint16_t>{kOpStat}) << keyNumber;
    }
    std::int16_t status = -1;
    files.GetByKey(99, 0, "AB", 0, status);
    EXPECT_EQ(status, kStatusFileNotOpen);
}

TEST_F(RecordFilesTest, GetKeyInfoSumsTheSegmentsOfTheKey) {
    Open();
    struct Case {
        std::int16_t file, keyNumber;
        int keyLength;
        std::int32_t recordLength;
    } cases[] = {{kFile, 0, 4, 24}, {kFile, 1, 10, 24}, {kFile, 2, 8, 24}, {kFile, 3, 0, 24}, {99, 0, 0, 0}};
    for (const auto& c : cases) {
        int keyLength = -1;
        std::int32_t recordLength = -1;
        files.GetKeyInfo(c.file, c.keyNumber, keyLength, recordLength);
        EXPECT_EQ(keyLength, c.keyLength) << c.keyNumber;
        EXPECT_EQ(recordLength, c.recordLength) << c.keyNumber;
    }
}

TEST_F(RecordFilesTest, StepBackThreeMovesTwiceDirectlyAndOnceThroughTheLockingCall) {
    Open();
    std::int16_t status = -1;
    files.GetByKey(kFile, 0, Le32(5), 0, status);
    files.SetLockMode(kFile, "B", status);
    ASSERT_EQ(status, 0);
    recorder.calls.clear();
    files.StepRecords(kFile, -3, status);
    EXPECT_EQ(status, 0);
    ASSERT_EQ(recorder.calls.size(), 3u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(recorder.calls[static_cast<std::size_t>(i)].operation, kOpGetPrevious);
        EXPECT_EQ(recorder.calls[static_cast<std::size_t>(i)].dataLengthIn, 1536u);
        EXPECT_EQ(recorder.calls[static_cast<std::size_t>(i)].keyLength, 0);
    }
    EXPECT_EQ(recorder.calls[2].operation, kOpGetPrevious + 200);
    EXPECT_EQ(recorder.calls[2].dataLengthIn, testing::kLayerRecordLength);
    EXPECT_EQ(recorder.calls[2].keyIn, Le32(3));
    EXPECT_EQ(Buffer(), LayerRecord(2, "AB", "x", "two"));
    EXPECT_EQ(SlotOfFile().KeyValue, Le32(2));

    recorder.calls.clear();
    files.StepRecords(kFile, 0, status);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(recorder.calls.empty());
}

TEST_F(RecordFilesTest, SteppingStopsAtTheFirstRefusalAndKeepsTheLastKey) {
    Open();
    std::int16_t status = -1;
    files.GetByKey(kFile, 0, Le32(4), 0, status);
    recorder.calls.clear();
    files.StepRecords(kFile, -10, status);
    EXPECT_EQ(status, kStatusEndOfFile);
    EXPECT_EQ(recorder.calls.size(), 4u) << "three moves to record 1, the fourth refused";
    EXPECT_EQ(SlotOfFile().KeyValue, Le32(1));
    EXPECT_EQ(Buffer(), LayerRecord(4, "B", "", "four")) << "direct moves copy nothing";
}

class BinaryKeyTest : public RecordFilesTest {
protected:
    std::vector<std::string> Records() override {
        return {LayerRecord(1, "A", "", "a"), LayerRecord(256, "B", "", "b"), LayerRecord(300, "C", "", "c")};
    }
};

// A binary key holding zero bytes (256 is 00 01 00 00) keeps its whole length.
TEST_F(BinaryKeyTest, KeysWithZeroBytesSurviveDirectMovesAndReads) {
    Open();
    std::int16_t status = -1;
    files.GetByKey(kFile, 0, Le32(1), 0, status);
    files.StepRecords(kFile, 2, status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(SlotOfFile().KeyValue, Le32(300));
    EXPECT_EQ(files.CurrentKeyCollated(kFile), std::string("\0\0\x01\x2C", 4));

    files.StepRecords(kFile, -1, status);
    std::int32_t position = files.GetDirect(kFile, 0);
    files.StepRecords(kFile, 1, status);
    EXPECT_EQ(files.GetDirect(kFile, position), 0);
    EXPECT_EQ(SlotOfFile().KeyValue, Le32(256));
    EXPECT_EQ(Buffer().substr(0, 4), Le32(256));
}

TEST_F(RecordFilesTest, GetDirectReadsByPositionAndUnknownFilesGiveNoPositionOrStatus3) {
    Open();
    std::int16_t status = -1;
    EXPECT_EQ(files.GetDirect(kFile, 0), 0) << "no current record yet";
    files.GetByKey(kFile, 0, Le32(3), 0, status);
    std::int32_t third = files.GetDirect(kFile, 0);
    EXPECT_GT(third, 0);
    files.GetByKey(kFile, 0, Le32(6), 0, status);
    recorder.calls.clear();
    EXPECT_EQ(files.GetDirect(kFile, third), 0);
    EXPECT_EQ(recorder.calls.at(0).operation, kOpGetDirect) << "no lock bias, whatever the lock mode";
    EXPECT_EQ(Buffer(), LayerRecord(3, "AC", "", "three"));
    EXPECT_EQ(files.GetDirect(kFile, third + 1), kStatusInvalidRecordAddress);

    recorder.calls.clear();
    EXPECT_EQ(files.GetDirect(99, 0), 0);
    EXPECT_EQ(files.GetDirect(99, third), kStatusFileNotOpen);
    EXPECT_TRUE(recorder.calls.empty());
}

TEST_F(RecordFilesTest, LockModesAndTheirStack) {
    Open();
    std::int16_t status = 77;
    files.SetLockMode(kFile, "A", status);
    EXPECT_EQ(status, 77) << "status untouched for a known file";
    files.SetLockMode(kFile, "+b", status);
    EXPECT_EQ(SlotOfFile().LockMode, 2);
    int slot = files.FindFileSlot(kFile);
    EXPECT_EQ(files.LockModeStack(), std::string({static_cast<char>(slot), '\1'}));
    files.SetLockMode(kFile, "-", status);
    EXPECT_EQ(SlotOfFile().LockMode, 1);
    EXPECT_EQ(files.LockModeStack(), "");
    files.SetLockMode(kFile, "-?xd", status);
    EXPECT_EQ(SlotOfFile().LockMode, 0) << "'-' on an empty stack and other letters change nothing";
    files.SetLockMode(99, "+", status);
    EXPECT_EQ(status, kStatusFileNotOpen);
    EXPECT_EQ(files.LockModeStack(), "");

    struct Case {
        const char* letters;
        std::uint16_t operation;
    } cases[] = {{"d", kOpGetEqual}, {"a", kOpGetEqual + 200}, {"b", kOpGetEqual + 200}};
    for (const auto& c : cases) {
        files.SetLockMode(kFile, c.letters, status);
        recorder.calls.clear();
        files.GetByKey(kFile, 0, Le32(1), 0, status);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(recorder.calls.back().operation, c.operation) << c.letters;
    }
}

TEST_F(RecordFilesTest, CollationFormFollowsTheKeysSegments) {
    std::string spec = testing::SpecBytes(8, {{{1, 2, 4}}, {{3, 3, 32}, {6, 2, 4}}}, testing::CaseFoldingTable());
    std::string other = dir / "two.dat";
    ASSERT_EQ(testing::CreateFile(engine, other, spec), 0);
    std::int16_t status = -1;
    files.OpenRecordFile(3, other, buffer.data(), 8, status);
    ASSERT_EQ(status, 0);
    struct Case {
        std::int16_t keyNumber;
        std::string key, collated;
    } cases[] = {
        {0, std::string("\x01\x02", 2), std::string("\x02\x01", 2)},
        {0, std::string("\x01", 1), std::string("\x00\x01", 2)},
        {1, std::string("abc\x01\x02", 5), std::string("ABC\x02\x01", 5)},
        {1, "ab", std::string("AB\0\0\0", 5)},
    };
    for (const auto& c : cases) {
        files.GetByKey(3, c.keyNumber, "", 0, status);  // sets the key number; the file is empty
        EXPECT_EQ(files.KeyToCollationForm(c.key, 3), c.collated) << c.keyNumber << " " << c.key;
    }
    EXPECT_EQ(files.KeyToCollationForm("ab", 99), "ab");
    EXPECT_EQ(files.CurrentKeyCollated(99), "");
}

TEST_F(RecordFilesTest, SlotsAreFilledFromTheTopAndRefusedWhenTaken) {
    EXPECT_EQ(files.FindFileSlot(5), -40);
    std::int16_t status = -1;
    for (std::int16_t file = 1; file <= 40; ++file) {
        files.OpenRecordFile(file, path, buffer.data(), 24, status);
        ASSERT_EQ(status, 0) << file;
        EXPECT_EQ(files.FindFileSlot(file), 41 - file);
    }
    EXPECT_EQ(files.FindFileSlot(99), 0) << "all 40 taken";
    files.OpenRecordFile(41, path, buffer.data(), 24, status);
    EXPECT_EQ(status, kStatusNoFreeSlot);
    files.CloseRecordFile(12, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(files.FindFileSlot(99), -29);
    files.OpenRecordFile(13, path, buffer.data(), 24, status);
    EXPECT_EQ(status, kStatusNoFreeSlot) << "number already in use";
    files.OpenRecordFile(0, path, buffer.data(), 24, status);
    EXPECT_EQ(status, kStatusNoFreeSlot) << "0 is not a file number";
    files.OpenRecordFile(50, dir / "missing.dat", buffer.data(), 24, status);
    EXPECT_EQ(status, kStatusFileNotFound);
    EXPECT_EQ(files.FindFileSlot(50), -29) << "a failed open leaves the slot free";
}

TEST_F(RecordFilesTest, ResetEmptiesTheTableOnlyWhenTheRecordManagerAgrees) {
    Open();
    recorder.forcedStatus[kOpReset] = 85;
    std::int16_t status = -1;
    files.ResetRecordFiles(status);
    EXPECT_EQ(status, 85);
    EXPECT_GT(files.FindFileSlot(kFile), 0);
    recorder.forcedStatus.clear();
    recorder.calls.clear();
    files.ResetRecordFiles(status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(files.FindFileSlot(kFile), -40);
    ASSERT_EQ(recorder.calls.size(), 1u);
    EXPECT_EQ(recorder.calls[0].operation, kOpReset);
    EXPECT_EQ(recorder.calls[0].dataLengthIn, 0u);
    EXPECT_EQ(recorder.calls[0].keyLength, 0);
    EXPECT_EQ(files.Slot(0).PositionBlock, (std::array<std::uint8_t, 129>{}));
}

TEST_F(RecordFilesTest, ABufferShorterThanTheRecordGetsOnlyWhatFits) {
    std::array<std::uint8_t, 16> small;
    small.fill(0xEE);
    std::int16_t status = -1;
    files.OpenRecordFile(kFile, path, small.data(), 10, status);
    ASSERT_EQ(status, 0);
    files.GetByKey(kFile, 0, Le32(2), 0, status);
    EXPECT_EQ(status, 0) << "a short buffer is not a failure";
    EXPECT_EQ(std::string(small.begin(), small.begin() + 10), LayerRecord(2, "AB", "x", "two").substr(0, 10));
    EXPECT_EQ(small[10], 0xEE) << "nothing written past the buffer";
}

}  // namespace
}  // namespace qp
