// Waiting on a record that another process holds locked.
#ifndef _WIN32  // the holder is a forked process
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

#include "records/record_files_fixture.h"

namespace qp {
namespace {

using testing::Le32;
using testing::LayerRecord;

const std::string kSpanishMessage = "FICHERO BLOQUEADO. ESPERE UN MOMENTO.";

class LockWaitTest : public testing::RecordFilesTest {
protected:
    // Another process locks record 3 and holds it until told to end; it then
    // ends without unlocking, so the lock goes only because the process died.
    void StartHolder() {
        ASSERT_EQ(::pipe(ready_), 0);
        ASSERT_EQ(::pipe(release_), 0);
        holder_ = ::fork();
        ASSERT_GE(holder_, 0);
        if (holder_ == 0) RunHolder();
        ::close(ready_[1]);
        ::close(release_[0]);
        char status = -1;
        ASSERT_EQ(::read(ready_[0], &status, 1), 1);
        ASSERT_EQ(status, 0) << "the holder could not lock the record";
    }

    [[noreturn]] void RunHolder() {
        ::close(ready_[0]);
        ::close(release_[1]);
        BuiltinEngine own;
        std::uint8_t block[kPositionBlockSize] = {};
        char data[64] = {};
        std::string key = Le32(3);
        std::uint32_t length = sizeof data;
        char status = static_cast<char>(testing::OpenFile(own, block, path));
        if (status == 0)
            status = static_cast<char>(own.Call(kOpGetEqual + kSingleNoWaitLockBias, block, data, length, key.data(), 4, 0));
        if (::write(ready_[1], &status, 1) != 1) ::_exit(2);
        char ignored;
        while (::read(release_[0], &ignored, 1) > 0) {
        }
        ::_exit(0);
    }

    void EndHolder() {
        if (holder_ <= 0) return;
        ::close(release_[1]);
        int status = 0;
        ::waitpid(holder_, &status, 0);
        ::close(ready_[0]);
        holder_ = 0;
    }

    void TearDown() override { EndHolder(); }

    std::vector<std::string> Screen() {
        std::vector<std::string> rows;
        for (int row = 1; row <= 25; ++row) rows.push_back(console.RowText(row));
        return rows;
    }

    bool ScreenShows(const std::string& text) {
        for (const auto& row : Screen())
            if (row.find(text) != std::string::npos) return true;
        return false;
    }

    void ReadRecord3(std::int16_t& status) { files.GetByKey(kFile, 0, Le32(3), 0, status); }

    int ready_[2] = {-1, -1};
    int release_[2] = {-1, -1};
    pid_t holder_ = 0;
};

TEST_F(LockWaitTest, ModeTwoRefusesAtOnceAndModeOneWaitsWithTheMessageUntilTheHolderEnds) {
    Open();
    StartHolder();
    for (int row = 20; row <= 25; ++row) {
        screen.Locate(row, 1);
        screen.Print(std::string(80, static_cast<char>('a' + row - 20)));
    }
    const std::vector<std::string> before = Screen();

    std::int16_t status = -1;
    ReadRecord3(status);
    EXPECT_EQ(status, 0) << "a read without a lock passes a locked record";

    files.SetLockMode(kFile, "B", status);
    buffer.fill(0);
    ReadRecord3(status);
    EXPECT_EQ(status, kStatusRecordLocked);
    EXPECT_TRUE(platform.pauses.empty());
    EXPECT_EQ(Screen(), before) << "no message in mode 2";

    std::vector<bool> messageDuringPause;
    platform.onPause = [&](int pause) {
        messageDuringPause.push_back(ScreenShows(kSpanishMessage));
        if (pause == 2) EndHolder();
        if (pause > 5) throw std::runtime_error("the lock was never released");
    };
    files.SetLockMode(kFile, "A", status);
    ReadRecord3(status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Buffer(), LayerRecord(3, "AC", "", "three"));
    EXPECT_EQ(messageDuringPause, (std::vector<bool>{false, true})) << "shown after the first pause";
    ASSERT_EQ(platform.pauses.size(), 2u);
    for (int ms : platform.pauses) {
        EXPECT_GE(ms, 1);
        EXPECT_LE(ms, 10001);
    }
    EXPECT_EQ(Screen(), before) << "the screen under the box is back";
    EXPECT_EQ(windows.WindowDepth(), 0);
}

TEST_F(LockWaitTest, MessageFollowsTheLanguage) {
    struct Case {
        const char* language;
        std::string message;
    } cases[] = {{"SPA", kSpanishMessage},
                 {"GLG", "FICHEIRO BLOQUEADO. ESPERE UM MOMENTO."},
                 {"OCI", "FICH\xD4R BLOQUEJAT. ESPERATZ UN MOMENT."},
                 {"CAT", "FITXER BLOQUEJAT. ESPEREU UN MOMENT."},
                 {"ENG", "FITXER BLOQUEJAT. ESPEREU UN MOMENT."}};
    // The lock refusal is staged: the record manager answers 85 twice.
    struct Refusing : RecordManager {
        explicit Refusing(RecordManager& real) : inner(real) {}
        std::int16_t Call(std::uint16_t op, std::uint8_t* block, void* data, std::uint32_t& length, void* key,
                          std::uint16_t keyLength, std::int16_t keyNumber) override {
            if (op >= 200 && refusals > 0) {
                --refusals;
                return kStatusFileLocked;
            }
            return inner.Call(op, block, data, length, key, keyLength, keyNumber);
        }
        RecordManager& inner;
        int refusals = 0;
    } refusing{engine};
    for (const auto& c : cases) {
        RecordFiles layer(refusing, windows, platform, random, c.language);
        std::int16_t status = -1;
        layer.OpenRecordFile(1, path, buffer.data(), 24, status);
        layer.SetLockMode(1, "a", status);
        std::string shown;
        platform.onPause = [&](int) {
            for (const auto& row : Screen())
                if (row.find("BLOQ") != std::string::npos) shown = row;
        };
        refusing.refusals = 2;
        layer.GetByKey(1, 0, Le32(1), 0, status);
        EXPECT_EQ(status, 0) << c.language;
        EXPECT_NE(shown.find(c.message), std::string::npos) << c.language << ": " << shown;
        layer.CloseRecordFile(1, status);
    }
}

}  // namespace
}  // namespace qp
#endif  // _WIN32
