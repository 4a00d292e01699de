#include "editor/receipt_settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/temp_dir.h"

namespace qp {
namespace {

using qp::testing::TempDir;

// Replace fails whenever it would put a file in place of Tarn.ini.
class ReplaceFailsPlatform : public SystemPlatform {
public:
    Status Replace(const std::string& from, const std::string& to) override {
        if (to.size() >= 8 && to.substr(to.size() - 8) == "Tarn.ini") return Status::Fail("disk full", FailureCause::DiskFull);
        return SystemPlatform::Replace(from, to);
    }
};

FormTables NineItems() {
    FormTables tables;
    tables.ScreenCount = 1;
    tables.MaxItems = 9;
    tables.screens.resize(1);
    tables.Screen(1).ItemCount = 9;
    tables.Screen(1).items.resize(9);
    const std::int16_t lengths[9] = {1, 2, 2, 2, 2, 2, 1, 1, 1};
    for (int i = 1; i <= 9; ++i) {
        tables.Item(1, i).Length = lengths[i - 1];
        tables.Item(1, i).Assign("");
    }
    return tables;
}

const std::string kDefaultsWritten =
    "[Usuari]\r\nIdioma=CAT\r\n[Rebut]\r\nAntic=S\r\nFila.Num=1 \r\nFila.Dat=3 \r\nFila.Cnc=6 \r\nFila.Dom=11\r\n"
    "Fila.Nom=13\r\nMatriu=N\r\nDuplicat=N\r\nMembret=S\r\n";

// Settings over nine items and a Tarn.ini in a directory of the test's own.
class ReceiptSettingsTest : public ::testing::Test {
protected:
    TempDir dir;
    SystemPlatform platform;
    FormTables tables = NineItems();
    ReceiptSettings settings {platform, tables, dir / "Tarn.ini"};
};

TEST_F(ReceiptSettingsTest, BlankOrMissingValuesTakeTheirDefaults) {
    dir.Write("Tarn.ini", "[Rebut]\r\nFila.Num= \r\nFila.Dat=123\r\nMatriu=S\r\n");
    settings.SetModified();
    settings.LoadReceiptSettings();
    EXPECT_FALSE(settings.Modified());
    const char* expected[9] = {"S", "1 ", "12", "6 ", "11", "13", "S", "N", "S"};
    for (int i = 1; i <= 9; ++i) EXPECT_EQ(tables.Item(1, i).Value, expected[i - 1]) << "item " << i;
}

TEST_F(ReceiptSettingsTest, RowPlanRules) {
    struct Case {
        const char* antic;
        const char* rows[5];
        RowPlanFault fault;
    };
    const Case cases[] = {
        {"S", {"1", "3", "6", "11", "13"}, RowPlanFault::None},
        {"S", {"1", "2", "3", "8", "9"}, RowPlanFault::None},
        {"S", {"1", "2", "3", "7", "9"}, RowPlanFault::Order},
        {"S", {"1", "1", "3", "8", "9"}, RowPlanFault::Order},
        {"S", {"1", "3", "6", "11", "20"}, RowPlanFault::Margin},
        {"S", {"1", "3", "6", "11", "19"}, RowPlanFault::None},
        {"S", {"x", "3", "6", "11", "13"}, RowPlanFault::None},  // no number counts as row 0
        {"S", {"9", "3", "6", "11", "20"}, RowPlanFault::Order}, // order is reported before margin
        {"N", {"9", "3", "1", "1", "24"}, RowPlanFault::None},
    };
    for (const Case& c : cases) {
        tables = NineItems();
        tables.Item(1, 1).Assign(c.antic);
        for (int i = 0; i < 5; ++i) tables.Item(1, i + 2).Assign(c.rows[i]);
        EXPECT_EQ(settings.CheckRowPlan(), c.fault) << c.antic << " " << c.rows[0] << "," << c.rows[4];
    }
}

TEST_F(ReceiptSettingsTest, SavesAllNineKeysWithTheirPadding) {
    dir.Write("Tarn.ini", "[Usuari]\r\nIdioma=CAT\r\n");
    settings.LoadReceiptSettings();
    ASSERT_TRUE(settings.SaveReceiptSettings().ok());
    EXPECT_EQ(dir.Read("Tarn.ini"), kDefaultsWritten);
    EXPECT_EQ(dir.Entries(), (std::vector<std::string> {"Tarn.ini"}));
}

TEST_F(ReceiptSettingsTest, MissingFileIsCreated) {
    settings.LoadReceiptSettings();
    ASSERT_TRUE(settings.SaveReceiptSettings().ok());
    EXPECT_EQ(dir.Read("Tarn.ini"), kDefaultsWritten.substr(std::string("[Usuari]\r\nIdioma=CAT\r\n").size()));
}

TEST_F(ReceiptSettingsTest, FailedSaveLeavesTarnIniAsItWasAndSaysWhy) {
    const std::string before = "[Usuari]\r\nIdioma=CAT\r\n[Rebut]\r\nAntic=N\r\n";
    dir.Write("Tarn.ini", before);
    ReplaceFailsPlatform failing;
    ReceiptSettings onFailing(failing, tables, dir / "Tarn.ini");
    onFailing.LoadReceiptSettings();
    tables.Item(1, 8).Assign("S");
    Status status = onFailing.SaveReceiptSettings().status;
    EXPECT_FALSE(status.ok);
    EXPECT_NE(status.reason.find("disk full"), std::string::npos) << status.reason;
    EXPECT_EQ(dir.Read("Tarn.ini"), before);
    EXPECT_EQ(dir.Entries(), (std::vector<std::string> {"Tarn.ini"})) << "no working copy is left behind";
}

// Two workstations: B opens the editor, then A; A saves a new number row,
// then B a new date row. Both changes are in the file.
TEST_F(ReceiptSettingsTest, InterleavedSavesKeepBothChanges) {
    dir.Write("Tarn.ini", kDefaultsWritten);
    FormTables tablesA = NineItems();
    FormTables tablesB = NineItems();
    ReceiptSettings a(platform, tablesA, dir / "Tarn.ini");
    ReceiptSettings b(platform, tablesB, dir / "Tarn.ini");
    b.LoadReceiptSettings();
    a.LoadReceiptSettings();
    tablesA.Item(1, 2).Assign("2");
    SaveResult savedA = a.SaveReceiptSettings();
    ASSERT_TRUE(savedA.ok()) << savedA.status.reason;
    EXPECT_FALSE(savedA.merged);
    tablesB.Item(1, 3).Assign("4");
    SaveResult savedB = b.SaveReceiptSettings();
    ASSERT_TRUE(savedB.ok()) << savedB.status.reason;
    EXPECT_TRUE(savedB.merged);
    std::string expected = kDefaultsWritten;
    expected.replace(expected.find("Fila.Num=1 "), 11, "Fila.Num=2 ");
    expected.replace(expected.find("Fila.Dat=3 "), 11, "Fila.Dat=4 ");
    EXPECT_EQ(dir.Read("Tarn.ini"), expected);
    EXPECT_EQ(tablesB.Item(1, 2).Value, "2 ") << "B now shows A's row";

    // B saves again without touching the number row: A's value stays.
    tablesB.Item(1, 9).Assign("N");
    ASSERT_TRUE(b.SaveReceiptSettings().ok());
    EXPECT_NE(dir.Read("Tarn.ini").find("Fila.Num=2 "), std::string::npos);
}

TEST_F(ReceiptSettingsTest, AStoredValueNobodyChangedIsWrittenBackAsItWas) {
    dir.Write("Tarn.ini", "[Rebut]\r\nAntic=n\r\nMatriu=x\r\n");
    settings.LoadReceiptSettings();
    EXPECT_EQ(settings.CheckRowPlan(), RowPlanFault::None) << "n is no: rows are not checked";
    tables.Item(1, 8).Assign("S");
    ASSERT_TRUE(settings.SaveReceiptSettings().ok());
    const std::string after = dir.Read("Tarn.ini");
    EXPECT_NE(after.find("Antic=n\r\n"), std::string::npos) << after;
    EXPECT_NE(after.find("Matriu=x\r\n"), std::string::npos) << after;
    EXPECT_NE(after.find("Duplicat=S\r\n"), std::string::npos) << after;
}

// What a reading finds tells the defaults of a missing file from those of
// one that is there but may not be used.
TEST_F(ReceiptSettingsTest, AReadingTellsMissingFromRefused) {
    const struct {
        const char* name;
        std::function<void(const std::string& path)> make;
        FileReading::State state;
        bool tooLarge;
        bool tooManyLines;
    } cases[] = {
        {"missing", [](const std::string&) {}, FileReading::State::Missing, false, false},
        {"empty", [](const std::string& path) { std::ofstream(path, std::ios::binary).flush(); }, FileReading::State::Read, false, false},
        {"a folder", [](const std::string& path) { std::filesystem::create_directory(path); }, FileReading::State::Refused, false, false},
        {"over the limit", [](const std::string& path) {
             std::ofstream(path, std::ios::binary).flush();
             std::filesystem::resize_file(path, kLargeFileLimit + 1);
         }, FileReading::State::Refused, true, false},
        {"too many lines", [](const std::string& path) {
             std::ofstream(path, std::ios::binary) << std::string(ini::kMostLines + 1, '\n');
         }, FileReading::State::Refused, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir here;
        c.make(here / "Tarn.ini");
        FileReading reading;
        ReadConfigurationFile(platform, here / "Tarn.ini", reading);
        EXPECT_EQ(reading.state, c.state);
        EXPECT_EQ(reading.tooLarge, c.tooLarge);
        EXPECT_EQ(reading.tooManyLines, c.tooManyLines);
        EXPECT_EQ(reading.problem.rfind(here / "Tarn.ini: ", 0), c.state == FileReading::State::Refused ? 0u : std::string::npos)
            << reading.problem;
    }
}

TEST_F(ReceiptSettingsTest, KeysAreFoundWhateverTheirCase) {
    EXPECT_EQ(ReceiptSettings::FindKey("fila.nom"), 5);
    EXPECT_EQ(ReceiptSettings::FindKey("ANTIC"), 0);
    EXPECT_EQ(ReceiptSettings::FindKey("Fila"), std::nullopt);
    EXPECT_EQ(ReceiptSettings::Key(8), "Membret");
}

TEST_F(ReceiptSettingsTest, FormFaultNamesAShortScreen) {
    EXPECT_EQ(ReceiptFormFault(tables), "");
    tables.Screen(1).ItemCount = 4;
    EXPECT_NE(ReceiptFormFault(tables).find("has 4 items"), std::string::npos);
}

}  // namespace
}  // namespace qp
