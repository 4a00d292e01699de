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
                      FileCase {"UnterminatedQuote", "\"Nom,g,o,Nombre\r\n", "Nom", "Nom"},
                      // No text is longer than the screen: one said for every
                      // argument or row would otherwise cost the whole file each time.
                      FileCase {"TranslationAsLongAsTheScreenKept",
                                "Nom,g,o," + std::string(kLongestTranslation, 'N') + "\r\n", "Nom",
                                std::string(kLongestTranslation, 'N')},
                      FileCase {"LongerTranslationCutToTheScreen", "Nom,g,o," + std::string(1 << 20, 'N') + "\r\n",
                                "Nom", std::string(kLongestTranslation, 'N')}),
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

// Counts what is done with the language file: opens, looks at its stamp,
// bytes read.
class CountingPlatform : public SystemPlatform {
public:
    std::unique_ptr<File> Open(const std::string& path, OpenMode mode, std::string* reason = nullptr) override {
        std::unique_ptr<File> file = SystemPlatform::Open(path, mode, reason);
        if (path.find("QPLAYOUT.LNG") == std::string::npos) return file;
        ++opens;
        return file ? std::make_unique<CountedFile>(std::move(file), bytesRead) : nullptr;
    }
    std::optional<FileStamp> Stamp(const std::string& path) override {
        ++looks;
        return SystemPlatform::Stamp(path);
    }

    int opens = 0;
    int looks = 0;
    std::int64_t bytesRead = 0;

private:
    class CountedFile : public File {
    public:
        CountedFile(std::unique_ptr<File> inner, std::int64_t& bytesRead)
            : inner_(std::move(inner)), bytesRead_(bytesRead) {}
        std::int64_t Size() override { return inner_->Size(); }
        std::optional<FileStamp> Stamp() override { return inner_->Stamp(); }
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
    int opens;                      // the open that reads the file, or makes a missing one
    bool read;
};

void PrintTo(const ReadingCase& c, std::ostream* os) { *os << c.name; }

class LanguageReadingTest : public LanguageTest, public ::testing::WithParamInterface<ReadingCase> {};

// The file is read once; every later text only looks at its stamp.
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
    EXPECT_EQ(counting.opens, c.opens);
    EXPECT_EQ(counting.looks, c.opens == 0 ? 0 : 50);
    EXPECT_EQ(counting.bytesRead, c.read ? static_cast<std::int64_t>(file.size()) : 0);
}

INSTANTIATE_TEST_SUITE_P(Codes, LanguageReadingTest,
                         ::testing::Values(ReadingCase {"Spanish", "SPA", true, "Esp ", 1, true},
                                           ReadingCase {"Galician", "GLG", true, "Gal ", 1, true},
                                           ReadingCase {"Occitan", "OCI", true, "Oci ", 1, true},
                                           ReadingCase {"NoColumnOnlyCreates", "ENG", true, "Text ", 1, false},
                                           ReadingCase {"CatalanTouchesNothing", "CAT", true, "Text ", 0, false},
                                           ReadingCase {"MissingFileCreatedOnce", "SPA", false, "Text ", 1, false}),
                         [](const ::testing::TestParamInfo<ReadingCase>& p) { return std::string(p.param.name); });

// A file changed while the program runs (a translation added on the server)
// is used from the next text on; one removed is made again, empty.
TEST(LanguagePerRun, AFileChangedAfterTheFirstTextIsSeenAtTheNext) {
    const std::string kPath = "LOCALE/QPLAYOUT.LNG";
    const struct {
        const char* name;
        std::optional<std::string> first;  // nothing: no file
        std::function<void(const testing::TempDir&)> change;
        const char* text;
        const char* expected;
    } cases[] = {
        {"changed translation", "Desar,g,o,Guardar\r\n",
         [&](const testing::TempDir& d) { d.Write(kPath, "Desar,g,o,Grabar y salir\r\n"); }, "Desar", "Grabar y salir"},
        {"record added", "Desar,g,o,Guardar\r\n",
         [&](const testing::TempDir& d) { d.Write(kPath, "Desar,g,o,Guardar\r\nSortir,g,o,Salir\r\n"); }, "Sortir",
         "Salir"},
        {"file removed", "Desar,g,o,Guardar\r\n", [&](const testing::TempDir& d) { d.Remove(kPath); }, "Desar",
         "Desar"},
        {"file written after a missing one", std::nullopt,
         [&](const testing::TempDir& d) { d.Write(kPath, "Desar,g,o,Guardar\r\n"); }, "Desar", "Guardar"},
        // Another file of the same size, given the same time: told apart by what file it is.
        {"replaced by a file of the same size and time", "Desar,g,o,Guardar\r\n",
         [&](const testing::TempDir& d) {
             const auto time = std::filesystem::last_write_time(d / kPath);
             d.Write("LOCALE/new", "Desar,g,o,Grabar!\r\n");
             std::filesystem::last_write_time(d / "LOCALE/new", time);
             std::filesystem::rename(d / "LOCALE/new", d / kPath);
         },
         "Desar", "Grabar!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::TempDir dir;
        std::filesystem::create_directory(dir / "LOCALE");
        if (c.first) dir.Write(kPath, *c.first);
        SystemPlatform platform;
        Translator translator(platform, dir.Dir(), "SPA", "QPLAYOUT");
        EXPECT_EQ(translator.Translate("Desar"), c.first ? "Guardar" : "Desar");
        c.change(dir);
        EXPECT_EQ(translator.Translate(c.text), c.expected);
        EXPECT_TRUE(dir.Has(kPath)) << "a removed file is made again";
    }
}

// A file that another user keeps changing, and that takes a tenth of a
// second or more to read, is read again only after ten times as long as its
// last read took: a slow file costs at most a tenth of the program's time,
// never a whole read for every text. The clock
// is the platform's, in hundredths since midnight; each read of the file
// takes `readCost` on it, and the stamp is new at every look.
class ChangingFilePlatform : public SystemPlatform {
public:
    ChangingFilePlatform(std::int64_t start, std::int64_t readCost) : clock(start), readCost_(readCost) {}
    std::unique_ptr<File> Open(const std::string& path, OpenMode mode, std::string* reason = nullptr) override {
        ++reads;
        clock += readCost_;
        return SystemPlatform::Open(path, mode, reason);
    }
    std::optional<FileStamp> Stamp(const std::string&) override { return FileStamp {1, 1, 1, ++changes}; }
    std::int64_t HundredthsSinceMidnight() override { return clock % (24 * 60 * 60 * 100); }

    std::int64_t clock;
    int reads = 0;

private:
    std::int64_t readCost_;
    std::int64_t changes = 0;
};

TEST(LanguageChangingFile, IsReadAgainOnlyAfterTenTimesItsReadTime) {
    const struct {
        const char* name;
        std::int64_t start;     // the clock at the first text
        std::int64_t readCost;  // hundredths each read takes
        std::int64_t between;   // hundredths between two texts
        int reads;              // of the file, for 20 texts
    } cases[] = {
        {"a quick read: every change is read at the next text", 0, 0, 0, 20},
        {"a read of a twentieth of a second is a quick one", 0, 5, 0, 20},
        {"a read of a second: not again for ten seconds", 0, 100, 0, 1},
        {"a read of a second, texts a second apart", 0, 100, 100, 2},
        {"a read of a second, texts ten seconds apart", 0, 100, 1000, 20},
        {"a read of a second across midnight", 24 * 60 * 60 * 100 - 50, 100, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::TempDir dir;
        std::filesystem::create_directory(dir / "LOCALE");
        dir.Write("LOCALE/QPLAYOUT.LNG", "Desar,g,o,Guardar\r\n");
        ChangingFilePlatform platform(c.start, c.readCost);
        Translator translator(platform, dir.Dir(), "SPA", "QPLAYOUT");
        for (int i = 0; i < 20; ++i) {
            EXPECT_EQ(translator.Translate("Desar"), "Guardar");
            platform.clock += c.between;
        }
        EXPECT_EQ(platform.reads, c.reads);
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

#ifndef _WIN32
// The LOCALE folder is shared: a link there that another user made is not
// followed, so that no text ever reads a file of that user's choosing. One
// of this user's own is, and so is one the folder's owner made, but only to
// read: a link to a missing file makes nothing, wherever it points (a clerk
// may put a folder of his own in place of LOCALE, with a link to
// ~/.bash_aliases in it).
TEST(LanguageFileLinks, OnlyALinkItsOwnerMayBeTrustedWithIsFollowedAndNothingIsMadeThroughOne) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give links away";
    constexpr uid_t kOther = 65534;
    const struct {
        const char* name;
        const char* link;    // made in the installation, to "home/<target>"
        const char* target;  // in home
        bool targetThere;
        uid_t linkOwner;
        uid_t localeOwner;
        bool followed;
    } cases[] = {
        {"file link by another user, to a missing file", "LOCALE/QPLAYOUT.LNG", "aliases", false, kOther, 0, false},
        {"file link by another user, to a file", "LOCALE/QPLAYOUT.LNG", "aliases", true, kOther, 0, false},
        {"folder link by another user", "LOCALE", "", false, kOther, 0, false},
        {"file link by this user, to a missing file", "LOCALE/QPLAYOUT.LNG", "aliases", false, 0, 0, true},
        {"file link by this user, to a file", "LOCALE/QPLAYOUT.LNG", "aliases", true, 0, 0, true},
        {"file link by the folder's owner, to a missing file", "LOCALE/QPLAYOUT.LNG", "aliases", false, kOther, kOther,
         true},
        {"file link by the folder's owner, to a file", "LOCALE/QPLAYOUT.LNG", "aliases", true, kOther, kOther, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::TempDir dir;
        std::filesystem::create_directories(dir / "install/LOCALE");
        std::filesystem::create_directory(dir / "home");
        ASSERT_EQ(::chmod((dir / "install/LOCALE").c_str(), 0777), 0);
        ASSERT_EQ(::chown((dir / "install/LOCALE").c_str(), c.localeOwner, 0), 0);
        ASSERT_EQ(::chmod((dir / "install").c_str(), 0777), 0);
        const std::string target = dir / (std::string("home/") + c.target);
        if (c.targetThere) dir.Write(std::string("home/") + c.target, "Desar,g,o,Guardar\r\n");
        std::filesystem::remove_all(dir / (std::string("install/") + c.link));
        std::filesystem::create_symlink(target, dir / (std::string("install/") + c.link));
        ASSERT_EQ(::lchown((dir / (std::string("install/") + c.link)).c_str(), c.linkOwner, 0), 0);
        SystemPlatform platform;
        Translator translator(platform, dir / "install/", "SPA", "QPLAYOUT");
        EXPECT_EQ(translator.Translate("Desar"), c.followed && c.targetThere ? "Guardar" : "Desar");
        EXPECT_EQ(translator.Translate("Desar"), c.followed && c.targetThere ? "Guardar" : "Desar");
        EXPECT_EQ(dir.Has("home/aliases"), c.targetThere) << "nothing made in the home folder";
        EXPECT_FALSE(dir.Has("home/QPLAYOUT.LNG")) << "nothing made in the home folder";
        if (c.targetThere) {
            EXPECT_EQ(dir.Read("home/aliases"), "Desar,g,o,Guardar\r\n");
        }
    }
}
#endif  // _WIN32

}  // namespace
}  // namespace qp
