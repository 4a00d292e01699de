// The settings from a script: the same checks and the same bytes as the editor.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "editor/form_loader.h"
#include "editor/message_texts.h"
#include "editor/receipt_messages.h"
#include "editor/scenario_console.h"
#include "editor/settings_script.h"

namespace qp {
namespace {

using testing::EditorScenario;
using testing::Texts;

// Runs one scripted mode on the scenario's installation, as main does.
class Script {
public:
    explicit Script(EditorScenario& s, const std::string& language = "CAT")
        : translator_(platform_, s.Root(), language, "QPLAYOUT") {
        FormLoadResult loaded = LoadForm(platform_, s.Root(), "QPLAYOUT", translator_, tables_);
        EXPECT_TRUE(loaded.ok) << loaded.message;
        settings_ = std::make_unique<ReceiptSettings>(platform_, tables_, s.Root() + "Tarn.ini");
        script_ = std::make_unique<SettingsScript>(*settings_, tables_, translator_);
    }
    SettingsScript& operator*() { return *script_; }
    SettingsScript* operator->() { return script_.get(); }

private:
    SystemPlatform platform_;
    Translator translator_;
    FormTables tables_;
    std::unique_ptr<ReceiptSettings> settings_;
    std::unique_ptr<SettingsScript> script_;
};

// The same changes made with the editor's keys and with --set write the same bytes.
TEST(SettingsScriptTest, SetWritesWhatTheEditorWrites) {
    const struct {
        const char* name;
        std::vector<std::string_view> keys;  // on the editor, ending with F10
        std::vector<std::string> assignments;
    } cases[] = {
        {"a row", {"Down", "Down", "4", "Enter", "F10"}, {"Fila.Dat=4"}},
        {"a two-digit row and a choice", {"Down", "Down", "Down", "Down", "Down", "1", "4", "Enter", "Space", "F10"},
         {"fila.nom=14", "MATRIU=s"}},
        {"the new format", {"Space", "Enter", "Space", "F10"}, {"Antic=n", "Duplicat=S"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EditorScenario byKeys;
        for (std::string_view k : c.keys) {
            if (k.size() == 1)
                byKeys.console().Type(k);
            else
                byKeys.console().Press(k);
        }
        ASSERT_EQ(byKeys.Run().outcome, EditResult::Outcome::Saved);

        EditorScenario byScript;
        ScriptResult result = Script(byScript)->Set(c.assignments);
        EXPECT_EQ(result.exitCode, kScriptDone);
        EXPECT_TRUE(result.messages.empty());
        EXPECT_EQ(byScript.TarnIni(), byKeys.TarnIni());
    }
}

TEST(SettingsScriptTest, RefusalsNameEachProblemAndWriteNothing) {
    const struct {
        const char* name;
        std::vector<std::string> assignments;
        int exitCode;
        std::vector<std::string> problems;
    } cases[] = {
        {"not a number", {"Fila.Num=1x"}, kScriptBadValue, {"VALOR NO V\xB7LID: Fila.Num=1x (0-99)"}},
        {"a sign", {"Fila.Num=-1"}, kScriptBadValue, {"VALOR NO V\xB7LID: Fila.Num=-1 (0-99)"}},
        {"too wide for the item", {"Fila.Nom=100"}, kScriptBadValue, {"VALOR NO V\xB7LID: Fila.Nom=100 (0-99)"}},
        {"empty row", {"Fila.Nom="}, kScriptBadValue, {"VALOR NO V\xB7LID: Fila.Nom= (0-99)"}},
        {"not S or N", {"Matriu=Si"}, kScriptBadValue, {"VALOR NO V\xB7LID: Matriu=Si (S, N)"}},
        {"the margin", {"Fila.Nom=20"}, kScriptBadValue, {"FILA LLIURAT FORA DE MARGES"}},
        {"the order", {"Fila.Dat=1"}, kScriptBadValue, {"L'ORDRE DE LES FILES NO \x90S CORRECTE"}},
        {"unknown key", {"Fila=1"}, kScriptUsage, {"CLAU DESCONEGUDA: Fila"}},
        {"no equals sign", {"Antic"}, kScriptUsage, {"CAL CLAU=VALOR: Antic"}},
        {"no key", {"=S"}, kScriptUsage, {"CAL CLAU=VALOR: =S"}},
        {"every problem, usage first in the exit code", {"Matriu=x", "Foo=1"}, kScriptUsage,
         {"VALOR NO V\xB7LID: Matriu=x (S, N)", "CLAU DESCONEGUDA: Foo"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EditorScenario s;
        const std::string before = s.TarnIni();
        ScriptResult result = Script(s)->Set(c.assignments);
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_EQ(Texts(result.messages), c.problems);
        EXPECT_EQ(s.TarnIni(), before);
        EXPECT_EQ(s.RootEntries().size(), 5u) << "no copy left";
    }
}

TEST(SettingsScriptTest, ProblemsAreInTheSessionsLanguage) {
    EditorScenario s;
    ScriptResult result = Script(s, "SPA")->Set({"Fila.Nom=20", "Matriu=x"});
    EXPECT_EQ(Texts(result.messages), (std::vector<std::string> {"VALOR NO V\xB5LIDO: Matriu=x (S, N)"}));
    result = Script(s, "SPA")->Set({"Fila.Nom=20"});
    EXPECT_EQ(Texts(result.messages), (std::vector<std::string> {"FILA FUERA DE LOS M\xB5RGENES"}));

    // The line over a console too small for the screen.
    SystemPlatform platform;
    Translator spanish(platform, s.Root(), "SPA", "QPLAYOUT");
    EXPECT_EQ(ConsoleSizeNotice(spanish, 20, 70), "Hace falta una ventana de 80 x 25; esta mide 70 x 20.");
}

TEST(SettingsScriptTest, GetShowsWhatTheEditorShowsAndRoundTrips) {
    EditorScenario s;
    s.WriteFile("Tarn.ini", "[Rebut]\r\nFila.Num=01\r\nMatriu=n\r\nMembret= \r\n");
    EXPECT_EQ(Script(s)->Get({}).output,
              "Antic=S\nFila.Num=01\nFila.Dat=3\nFila.Cnc=6\nFila.Dom=11\nFila.Nom=13\nMatriu=n\nDuplicat=N\nMembret=S\n");
    EXPECT_EQ(Script(s)->Get({"membret", "FILA.NUM"}).output, "Membret=S\nFila.Num=01\n");

    ScriptResult unknown = Script(s)->Get({"Antic", "Nom"});
    EXPECT_EQ(unknown.exitCode, kScriptUsage);
    EXPECT_EQ(unknown.output, "");
    EXPECT_EQ(Texts(unknown.messages), (std::vector<std::string> {"CLAU DESCONEGUDA: Nom"}));

    ASSERT_EQ(Script(s)->Set({"Fila.Dom=12", "membret=n"}).exitCode, kScriptDone);
    EXPECT_EQ(Script(s)->Get({"Fila.Dom", "Membret"}).output, "Fila.Dom=12\nMembret=N\n");
}

TEST(SettingsScriptTest, CheckJudgesTheStoredSettings) {
    const struct {
        const char* name;
        const char* rebut;
        int exitCode;
        std::vector<std::string> problems;
    } cases[] = {
        {"defaults", "", kScriptDone, {}},
        {"small letters are S and N", "Antic=s\r\nMatriu=n\r\n", kScriptDone, {}},
        {"margin", "Fila.Nom=20\r\n", kScriptBadValue, {"FILA LLIURAT FORA DE MARGES"}},
        {"no rule for the new format", "Antic=N\r\nFila.Dat=1\r\nFila.Nom=19\r\n", kScriptDone,
         {"SI S'ACTIVA EL FORMAT ANTIC: L'ORDRE DE LES FILES NO \x90S CORRECTE"}},
        {"rows kept for the old format, told as a warning", "Antic=N\r\nFila.Nom=20\r\n", kScriptDone,
         {"SI S'ACTIVA EL FORMAT ANTIC: FILA LLIURAT FORA DE MARGES"}},
        {"a value the editor refuses", "Duplicat=X\r\nFila.Num=a\r\n", kScriptBadValue,
         {"VALOR NO V\xB7LID: Fila.Num=a (0-99)", "VALOR NO V\xB7LID: Duplicat=X (S, N)"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EditorScenario s;
        s.WriteFile("Tarn.ini", std::string("[Rebut]\r\n") + c.rebut);
        ScriptResult result = Script(s)->Check();
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_EQ(Texts(result.messages), c.problems);
    }
}

// A Tarn.ini that is there but may not be used: no mode takes the defaults
// for its settings, and --set writes nothing.
TEST(SettingsScriptTest, ARefusedTarnIniFailsEveryMode) {
    const struct {
        const char* name;
        std::function<ScriptResult(SettingsScript&)> run;
    } modes[] = {
        {"--get", [](SettingsScript& script) { return script.Get({}); }},
        {"--check", [](SettingsScript& script) { return script.Check(); }},
        {"--set", [](SettingsScript& script) { return script.Set({"Fila.Nom=14"}); }},
    };
    const struct {
        const char* name;
        std::function<void(const std::string& path)> make;
        const char* cause;
    } files[] = {
        {"a folder", [](const std::string& path) { std::filesystem::create_directory(path); },
         "NO \x90S UN FITXER ORDINARI O NO TENIU PERM\xD6S DE LECTURA."},
        {"over the limit",
         [](const std::string& path) {
             std::ofstream(path, std::ios::binary) << "[Rebut]\r\nFila.Nom=13\r\n";
             std::filesystem::resize_file(path, kLargeFileLimit + 1);
         },
         "\x90S MASSA GRAN."},
    };
    for (const auto& file : files) {
        for (const auto& mode : modes) {
            SCOPED_TRACE(std::string(mode.name) + ", " + file.name);
            EditorScenario s;
            s.RemoveFile("Tarn.ini");
            file.make(s.Root() + "Tarn.ini");
            const std::vector<std::string> before = s.RootEntries();
            ScriptResult result = mode.run(*Script(s));
            EXPECT_EQ(result.exitCode, kScriptNoInput);
            EXPECT_EQ(result.output, "");
            EXPECT_EQ(Texts(result.messages),
                      (std::vector<std::string> {std::string("NO ES POT FER SERVIR EL FITXER Tarn.ini. ") + file.cause}));
            EXPECT_EQ(s.RootEntries(), before);
            if (std::filesystem::is_regular_file(s.Root() + "Tarn.ini")) {
                EXPECT_EQ(std::filesystem::file_size(s.Root() + "Tarn.ini"), std::uintmax_t(kLargeFileLimit + 1));
            }
        }
    }
}

// --set on a missing Tarn.ini says that it makes it, and where; one that
// changes nothing from the defaults makes nothing and says nothing.
TEST(SettingsScriptTest, SetNamesTheTarnIniItMakes) {
    EditorScenario s;
    s.RemoveFile("Tarn.ini");
    ScriptResult result = Script(s)->Set({"Fila.Nom=13"});
    EXPECT_EQ(result.exitCode, kScriptDone);
    EXPECT_TRUE(result.messages.empty());
    EXPECT_FALSE(s.HasFile("Tarn.ini"));
    result = Script(s, "GLG")->Set({"Fila.Nom=14"});
    EXPECT_EQ(result.exitCode, kScriptDone);
    EXPECT_EQ(Texts(result.messages), (std::vector<std::string> {"CREOUSE O FICHEIRO: " + s.Root() + "Tarn.ini"}));
    EXPECT_TRUE(s.HasFile("Tarn.ini"));
}

}  // namespace
}  // namespace qp
