// Memory and time in proportion to the file, whatever its shape: a file
// read for the receipt settings and the preferences, then saved, as --set
// does, at a quarter of the largest size allowed.
#include <gtest/gtest.h>

#ifndef _WIN32

#include <string>

#include "config/ini_file.h"
#include "peak_memory.h"
#include "platform/temp_dir.h"

namespace qp {
namespace {

using testing::FileShape;

constexpr std::size_t kSize = std::size_t {16} << 20;
constexpr std::size_t kSlack = std::size_t {16} << 20;

struct ShapeCase {
    const char* name;
    FileShape shape;
    std::string expected;  // what the work below reports
};

void PrintTo(const ShapeCase& c, std::ostream* os) { *os << c.name; }

// Reads the nine receipt settings and four preferences, then saves one key.
std::string ReadAndSave(const std::string& path) {
    static const char* const kKeys[] = {"Antic", "Fila.Num", "Fila.Dat", "Fila.Cnc", "Fila.Dom",
                                        "Fila.Nom", "Matriu", "Duplicat", "Membret"};
    SystemPlatform platform;
    std::string seen;
    {
        std::string problem;
        const IniDocument file = IniDocument::Read(platform, path, kLargeFileLimit, &problem);
        for (const char* key : kKeys) {
            const std::string value = file.Value("Rebut", key);
            seen += (value.size() > 16 ? "<long>" : value) + ",";
        }
        for (const char* key : {"DatCaracter", "DatOrdre", "DecCaracter", "MilCaracter"})
            seen += file.Value("Usuari", key) + ",";
        if (!problem.empty()) seen += problem.substr(path.size());
    }
    const Status saved = WriteIniKey(platform, path, "Rebut", "Fila.Num", "2");
    return seen + (saved ? " saved" : " not saved");
}

const std::string kRefused = ",,,,,,,,,,,,,: more than 1048576 lines, far more than a configuration file holds";
const std::string kRefusedSave = kRefused + " not saved";

class IniMemoryTest : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(IniMemoryTest, StaysInProportionToTheFile) {
    const ShapeCase& c = GetParam();
    testing::TempDir dir;
    testing::WriteShape(dir / "Tarn.ini", c.shape, kSize);
    std::string seen;
    const testing::WorkCost cost = testing::MeasureInChild([&] { return ReadAndSave(dir / "Tarn.ini"); }, seen);
    ASSERT_TRUE(cost.ran);
    EXPECT_EQ(seen, c.expected);
    if (!testing::kMemoryMeasurable) GTEST_SKIP() << "a sanitizer's memory and time say nothing of the program's";
    EXPECT_LE(cost.peakBytes, 3 * kSize + kSlack) << "peak " << cost.peakBytes / 1024 << " KB";
    // Minutes, not seconds, when each key walked millions of lines.
    EXPECT_LT(cost.seconds, 10.0);
    ::testing::Test::RecordProperty("peak_kb", std::to_string(cost.peakBytes / 1024));
    ::testing::Test::RecordProperty("seconds", std::to_string(cost.seconds));
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, IniMemoryTest,
    ::testing::Values(
        ShapeCase {"ManyTinySections", {"", "[]\n", ""}, kRefusedSave},
        ShapeCase {"ManyTinySectionsCr", {"", "[]\r", ""}, kRefusedSave},
        ShapeCase {"ManyTinyLines", {"", "\n", ""}, kRefusedSave},
        ShapeCase {"ManyTinyCrLfLines", {"", "\r\n", ""}, kRefusedSave},
        ShapeCase {"KeysWithNoSection", {"", "a=\n", ""}, kRefusedSave},
        ShapeCase {"ManyTinyEntries", {"[Rebut]\r\n", "a=\r\n", "Fila.Num=7\r\n"}, kRefusedSave},
        ShapeCase {"OneHugeLine", {"[Rebut]\r\nFila.Num=", "x", "\r\n[Usuari]\r\nDatOrdre=DMA\r\n"},
                   ",<long>,,,,,,,,,DMA,,, saved"},
        ShapeCase {"NoLineEndAtAll", {"", "x", ""}, ",,,,,,,,,,,,, saved"},
        ShapeCase {"JustUnderTheLines", {"[Rebut]\r\nAntic=S\r\n", "Clau=valor de dinou\r\n", "Matriu=S\r\n"},
                   "S,,,,,,S,,,,,,, saved"}),
    [](const ::testing::TestParamInfo<ShapeCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace qp

#endif  // _WIN32
