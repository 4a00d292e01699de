#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/temp_dir.h"
#include "session/language.h"

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
                      FileCase {"CaseSensitiveKey", "nom,g,o,nombre\r\n", "Nom", "Nom"},
                      FileCase {"EmptyTranslationIsEmpty", "Nom,g,o,\r\n", "Nom", ""},
                      FileCase {"TrailingCommaAtEndIsEmptyField", "Nom,g,o,", "Nom", ""},
                      FileCase {"NoLineEndAfterLastRecord", "A,b,c,d\r\nNom,g,o,Nombre", "Nom", "Nombre"},
                      FileCase {"RecordCutShortIgnored", "A,b,c,d\r\nNom,g", "Nom", "Nom"},
                      FileCase {"KeyAloneIgnored", "A,b,c,d\r\nNom", "Nom", "Nom"},
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

TEST_F(LanguageTest, ReadsTheFileAgainForEveryText) {
    Translator translator(platform, dir.Dir(), "SPA", "QPLAYOUT");
    WriteLanguageFile("Desar,g,o,Guardar\r\n");
    EXPECT_EQ(translator.Translate("Desar"), "Guardar");
    WriteLanguageFile("Desar,g,o,Grabar\r\n");
    EXPECT_EQ(translator.Translate("Desar"), "Grabar");
}

}  // namespace
}  // namespace qp
