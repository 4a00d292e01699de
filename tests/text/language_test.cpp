#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/temp_dir.h"
#include "text/language.h"

namespace qp {
namespace {

class LanguageTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directory(dir / "LOCALE"); }
    void WriteLanguageFile(const std::string& bytes) { dir.Write("LOCALE/QPLAYOUT.LNG", bytes); }
    std::string Translate(const std::string& code, const std::string& text) {
        Translator translator(platform, dir.Dir(), code, "QPLAYOUT");
        return translator.Translate(text);
    }

    testing::TempDir dir;
    SystemPlatform platform;
};

struct LanguageCase {
    const char* code;
    const char* expected;
};

void PrintTo(const LanguageCase& c, std::ostream* os) { *os << c.code; }

class LanguageColumnTest : public LanguageTest, public ::testing::WithParamInterface<LanguageCase> {};

TEST_P(LanguageColumnTest, ChoosesTheLanguagesField) {
    WriteLanguageFile("Sortir,Sa\xA1r,Sortir OC,Salir\r\nDesar,Gardar,Enregistrar,Guardar\r\n");
    EXPECT_EQ(Translate(GetParam().code, "Desar"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Codes, LanguageColumnTest,
                         ::testing::Values(LanguageCase {"GLG", "Gardar"}, LanguageCase {"OCI", "Enregistrar"},
                                           LanguageCase {"SPA", "Guardar"}, LanguageCase {"ENG", "Desar"},
                                           LanguageCase {"   ", "Desar"}, LanguageCase {"spa", "Desar"}),
                         [](const ::testing::TestParamInfo<LanguageCase>& p) {
                             return p.index == 4 ? std::string("Blank") : std::string(p.param.code);
                         });

struct FileCase {
    const char* name;
    std::string file;
    std::string text;
    std::string expected;  // for SPA
};

void PrintTo(const FileCase& c, std::ostream* os) { *os << c.name; }

std::string OtherRecords(int count) {
    std::string file;
    for (int i = 0; i < count; ++i) file += "Other " + std::to_string(i) + ",g,o,s\r\n";
    return file;
}

// Records of one key, between records of others, each with its own number.
std::string RecordsOfOneKey(const std::string& key, int count) {
    std::string file;
    for (int i = 0; i < count; ++i) file += OtherRecords(1) + key + ",g,o,Number " + std::to_string(i) + "\r\n";
    return file;
}

class LanguageFileTest : public LanguageTest, public ::testing::WithParamInterface<FileCase> {};

TEST_P(LanguageFileTest, TranslatesToSpanish) {
    WriteLanguageFile(GetParam().file);
    EXPECT_EQ(Translate("SPA", GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Files, LanguageFileTest,
    ::testing::Values(FileCase {"QuotedTrailingBlankDoesNotMatch", "\"Fila \",g,o,Fila ES\r\n", "Fila", "Fila"},
                      FileCase {"QuotedKeyWithComma", "\"S\xA1, desar\",g,o,\"S\xA1, guardar\"\r\n", "S\xA1, desar",
                                "S\xA1, guardar"},
                      FileCase {"RecordOverTwoLines", "Any,Ano\r\nAn,A\xA4o\r\nMes,Mes,Mes,Mes\r\n", "Any", "A\xA4o"},
                      FileCase {"FirstOfTwoRecordsWins", "Nom,g,o,Nombre\r\nNom,g,o,Otro\r\n", "Nom", "Nombre"},
                      FileCase {"FirstOfManyRecordsWins", RecordsOfOneKey("Nom", 40), "Nom", "Number 0"},
                      FileCase {"EmptyRecordBeforeAnotherOfItsKeyWins", OtherRecords(40) + ",,,\r\n,g,o,Buit\r\n", "",
                                ""},
                      FileCase {"FirstRecordWinsWithAnEmptyTranslation", "Nom,g,o,\r\nNom,g,o,Nombre\r\n", "Nom", ""},
                      FileCase {"KeyThatBeginsAnotherKey", "Nom complet,g,o,Nombre completo\r\nNom,g,o,Nombre\r\n",
                                "Nom", "Nombre"},
                      FileCase {"TranslationIsNoKey", "Desar,g,o,Nom\r\n", "Nom", "Nom"},
                      FileCase {"EmptyKeyMatchesEmptyText", ",g,o,Buit\r\n", "", "Buit"},
                      FileCase {"CaseSensitiveKey", "nom,g,o,nombre\r\n", "Nom", "Nom"},
                      FileCase {"EmptyTranslationIsEmpty", "Nom,g,o,\r\n", "Nom", ""},
                      FileCase {"TrailingCommaAtEndIsEmptyField", "Nom,g,o,", "Nom", ""},
                      FileCase {"NoLineEndAfterLastRecord", "A,b,c,d\r\nNom,g,o,Nombre", "Nom", "Nombre"},
                      FileCase {"RecordCutShortIgnored", "A,b,c,d\r\nNom,g", "Nom", "Nom"},
                      FileCase {"KeyAloneIgnored", "A,b,c,d\r\nNom", "Nom", "Nom"},
                      FileCase {"RecordCutAfterThreeFields", "A,b,c,d\r\nNom,g,o", "Nom", "Nom"},
                      FileCase {"KeyAndCommaAtEnd", "A,b,c,d\r\nNom,", "Nom", "Nom"},
                      FileCase {"FullRecordWinsOverCutOneOfSameKey", "Nom,g,o,Nombre\r\nNom,g", "Nom", "Nombre"},
                      FileCase {"FullRecordWinsOverKeyAloneAtEnd", "Nom,g,o,Nombre\r\nNom", "Nom", "Nombre"},
                      FileCase {"CtrlZEndsTheFile", "A,b,c,d\x1ANom,g,o,Nombre\r\n", "Nom", "Nom"},
                      FileCase {"LfOnlyFile", "A,b,c,d\nNom,g,o,Nombre\n", "Nom", "Nombre"},
                      FileCase {"NoRecord", "A,b,c,d\r\n", "Nom", "Nom"},
                      FileCase {"UnterminatedQuote", "\"Nom,g,o,Nombre\r\n", "Nom", "Nom"}),
    [](const ::testing::TestParamInfo<FileCase>& p) { return std::string(p.param.name); });

TEST_F(LanguageTest, CatalanTouchesNoFile) {
    EXPECT_EQ(Translate("CAT", "Desar"), "Desar");
    EXPECT_FALSE(dir.Has("LOCALE/QPLAYOUT.LNG"));
}

TEST_F(LanguageTest, MissingFileIsCreatedEmpty) {
    EXPECT_EQ(Translate("SPA", "Desar"), "Desar");
    ASSERT_TRUE(dir.Has("LOCALE/QPLAYOUT.LNG"));
    EXPECT_EQ(dir.Read("LOCALE/QPLAYOUT.LNG"), "");
}

TEST_F(LanguageTest, MissingLocaleDirectoryKeepsCatalan) {
    std::filesystem::remove(dir / "LOCALE");
    EXPECT_EQ(Translate("SPA", "Desar"), "Desar");
    EXPECT_TRUE(dir.Entries().empty());
}

TEST_F(LanguageTest, FindsFileWhateverTheCaseOfItsName) {
    std::filesystem::remove(dir / "LOCALE");
    std::filesystem::create_directory(dir / "locale");
    dir.Write("locale/qplayout.lng", "Desar,g,o,Guardar\r\n");
    EXPECT_EQ(Translate("SPA", "Desar"), "Guardar");
}

// Counts what is done with the language file: opens by mode, bytes read.
class CountingPlatform : public SystemPlatform {
public:
    std::unique_ptr<File> Open(const std::string& path, OpenMode mode, std::string* reason = nullptr) override {
        std::unique_ptr<File> file = SystemPlatform::Open(path, mode, reason);
        if (path.find("QPLAYOUT.LNG") == std::string::npos) return file;
        ++(mode == OpenMode::ReadShared ? readingOpens : otherOpens);
        return file ? std::make_unique<CountedFile>(std::move(file), bytesRead) : nullptr;
    }

    int readingOpens = 0;
    int otherOpens = 0;
    std::int64_t bytesRead = 0;

private:
    class CountedFile : public File {
    public:
        CountedFile(std::unique_ptr<File> inner, std::int64_t& bytesRead)
            : inner_(std::move(inner)), bytesRead_(bytesRead) {}
        std::int64_t Size() override { return inner_->Size(); }
        std::int64_t ReadAt(std::int64_t pos, void* buffer, std::size_t n) override {
            std::int64_t got = inner_->ReadAt(pos, buffer, n);
            if (got > 0) bytesRead_ += got;
            return got;
        }
        Status WriteAt(std::int64_t pos, const void* data, std::size_t n) override {
            return inner_->WriteAt(pos, data, n);
        }
        Status Sync() override { return inner_->Sync(); }

    private:
        std::unique_ptr<File> inner_;
        std::int64_t& bytesRead_;
    };
};

struct ReadingCase {
    const char* name;
    const char* code;
    bool fileThere;
    const char* translationPrefix;  // "Text " for texts that stay Catalan
    int otherOpens;                 // the open that creates a missing file
    int readingOpens;
};

void PrintTo(const ReadingCase& c, std::ostream* os) { *os << c.name; }

class LanguageReadingTest : public LanguageTest, public ::testing::WithParamInterface<ReadingCase> {};

TEST_P(LanguageReadingTest, FiftyTextsReadTheFileOnce) {
    const ReadingCase& c = GetParam();
    std::string file;
    for (int i = 0; i < 50; ++i) {
        const std::string n = std::to_string(i);
        file += "Text " + n + ",Gal " + n + ",Oci " + n + ",Esp " + n + "\r\n";
    }
    if (c.fileThere) WriteLanguageFile(file);
    CountingPlatform counting;
    Translator translator(counting, dir.Dir(), c.code, "QPLAYOUT");
    for (int i = 49; i >= 0; --i)
        EXPECT_EQ(translator.Translate("Text " + std::to_string(i)), c.translationPrefix + std::to_string(i));
    EXPECT_EQ(translator.Translate("Absent"), "Absent");
    EXPECT_EQ(counting.otherOpens, c.otherOpens);
    EXPECT_EQ(counting.readingOpens, c.readingOpens);
    EXPECT_EQ(counting.bytesRead, c.fileThere ? static_cast<std::int64_t>(file.size()) * c.readingOpens : 0);
}

INSTANTIATE_TEST_SUITE_P(Codes, LanguageReadingTest,
                         ::testing::Values(ReadingCase {"Spanish", "SPA", true, "Esp ", 1, 1},
                                           ReadingCase {"Galician", "GLG", true, "Gal ", 1, 1},
                                           ReadingCase {"Occitan", "OCI", true, "Oci ", 1, 1},
                                           ReadingCase {"NoColumnOnlyCreates", "ENG", true, "Text ", 1, 0},
                                           ReadingCase {"CatalanTouchesNothing", "CAT", true, "Text ", 0, 0},
                                           ReadingCase {"MissingFileCreatedOnce", "SPA", false, "Text ", 1, 1}),
                         [](const ::testing::TestParamInfo<ReadingCase>& p) { return std::string(p.param.name); });

TEST(LanguagePerRun, AFileChangedAfterTheFirstTextIsNotSeen) {
    const struct {
        const char* name;
        std::optional<std::string> first;  // nothing: no file
        std::optional<std::string> later;  // nothing: removed
        const char* text;
        const char* expected;
    } cases[] = {
        {"changed translation", "Desar,g,o,Guardar\r\n", "Desar,g,o,Grabar\r\n", "Desar", "Guardar"},
        {"record added", "Desar,g,o,Guardar\r\n", "Desar,g,o,Guardar\r\nSortir,g,o,Salir\r\n", "Sortir", "Sortir"},
        {"file removed", "Desar,g,o,Guardar\r\n", std::nullopt, "Desar", "Guardar"},
        {"file written after a missing one", std::nullopt, "Desar,g,o,Guardar\r\n", "Desar", "Desar"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::TempDir dir;
        std::filesystem::create_directory(dir / "LOCALE");
        if (c.first) dir.Write("LOCALE/QPLAYOUT.LNG", *c.first);
        SystemPlatform platform;
        Translator translator(platform, dir.Dir(), "SPA", "QPLAYOUT");
        EXPECT_EQ(translator.Translate("Desar"), c.first ? "Guardar" : "Desar");
        if (c.later) {
            dir.Write("LOCALE/QPLAYOUT.LNG", *c.later);
        } else {
            dir.Remove("LOCALE/QPLAYOUT.LNG");
        }
        EXPECT_EQ(translator.Translate(c.text), c.expected);
    }
}

// A language file that is no regular file, or too large, is refused at once
// (never waited on) and leaves every text in Catalan.
TEST(LanguageUnusableFile, BehavesAsMissingWithoutWaiting) {
    const std::string kPath = "LOCALE/QPLAYOUT.LNG";
    const struct {
        const char* name;
        std::function<void(const testing::TempDir&)> make;
    } cases[] = {
        {"folder", [&](const testing::TempDir& d) { std::filesystem::create_directory(d / kPath); }},
        {"larger than the limit",
         [&](const testing::TempDir& d) {
             d.Write(kPath, "Desar,g,o,Guardar\r\n");
             std::filesystem::resize_file(d / kPath, static_cast<std::uintmax_t>(kLargeFileLimit) + 1);
         }},
#ifndef _WIN32
        {"FIFO", [&](const testing::TempDir& d) { ASSERT_EQ(::mkfifo((d / kPath).c_str(), 0600), 0); }},
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::TempDir dir;
        std::filesystem::create_directory(dir / "LOCALE");
        c.make(dir);
        SystemPlatform platform;
        Translator translator(platform, dir.Dir(), "SPA", "QPLAYOUT");
        EXPECT_EQ(translator.Translate("Desar"), "Desar");
        EXPECT_EQ(translator.Translate("Sortir"), "Sortir");
    }
}

}  // namespace
}  // namespace qp
