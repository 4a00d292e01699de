// The form file, language file and help pages that ship with the program:
// they load in every language, and the screen they make is tidy on 80 x 25.
#include <algorithm>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "editor/scenario_console.h"

namespace qp {
namespace {

using testing::EditorScenario;
using testing::ReadSourceFile;
using testing::ScreenShot;

const char* const kLanguages[] = {"CAT", "GLG", "OCI", "SPA"};

// The messages the editor shows, in Catalan as the language file keys them.
const char* const kMessages[] = {
    "L'ORDRE DE LES FILES NO \x90S CORRECTE",
    "FILA LLIURAT FORA DE MARGES",
    "NO S'HAN POGUT DESAR ELS CANVIS",
};

struct Choice {
    std::string code;
    std::string description;
};

std::vector<Choice> Choices(const std::string& options) {
    std::vector<Choice> choices;
    for (std::size_t bar = options.find('|'); bar != std::string::npos;) {
        std::size_t next = options.find('|', bar + 1);
        std::string choice = options.substr(bar + 1, next == std::string::npos ? std::string::npos : next - bar - 1);
        std::size_t comma = choice.find(',');
        choices.push_back({choice.substr(0, comma), comma == std::string::npos ? "" : choice.substr(comma + 1)});
        bar = next;
    }
    return choices;
}

// The editor run once in `language`, left with Esc; the screen as it stood.
struct ShownForm {
    explicit ShownForm(const char* language) {
        s.SetLanguage(language);
        s.console().Snapshot();
        s.console().Press("Esc");
        result = s.Run();
    }
    const ScreenShot& shot() { return s.console().snapshots().at(0); }
    FormTables& tables() { return s.rig().tables; }

    EditorScenario s;
    EditResult result;
};

TEST(ShippedFormTest, HoldsTheNineSettingsInEveryLanguage) {
    const std::int16_t hooks[9] = {1, 2, 2, 2, 2, 2, 0, 0, 0};
    for (const char* language : kLanguages) {
        SCOPED_TRACE(language);
        ShownForm form(language);
        ASSERT_EQ(form.result.outcome, EditResult::Outcome::NothingToSave);
        FormTables& tables = form.tables();
        ASSERT_GE(tables.Screen(1).ItemCount, 9);
        for (int i = 1; i <= 9; ++i) {
            SCOPED_TRACE("item " + std::to_string(i));
            const FormItem& item = tables.Item(1, i);
            EXPECT_EQ(item.HookCode, hooks[i - 1]);
            EXPECT_EQ(item.ListNo, 0) << "the form has no lists";
            if (item.HookCode == 2) {
                EXPECT_GE(item.Length, 2) << "room for the rows 11 and 13";
                continue;
            }
            // The codes are what Tarn.ini holds: a translation must keep them.
            std::vector<Choice> choices = Choices(item.Options);
            ASSERT_EQ(choices.size(), 2u) << item.Options;
            EXPECT_EQ(choices[0].code, "S");
            EXPECT_EQ(choices[1].code, "N");
            for (const Choice& c : choices) {
                EXPECT_FALSE(c.description.empty());
                EXPECT_LE(c.description.size(), static_cast<std::size_t>(item.Length + item.DescWidth))
                    << "'" << c.description << "' is cut";
            }
        }
    }
}

TEST(ShippedFormTest, EveryTextIsTranslated) {
    ShownForm catalan("CAT");
    for (const char* language : kLanguages) {
        if (std::string(language) == "CAT") continue;
        SCOPED_TRACE(language);
        ShownForm form(language);
        FormTables& tables = form.tables();
        ASSERT_EQ(tables.Screen(1).ItemCount, catalan.tables().Screen(1).ItemCount);
        for (int i = 1; i <= tables.Screen(1).ItemCount; ++i) {
            const std::string& original = catalan.tables().Item(1, i).Label;
            const bool frameOnly = original.find_first_not_of("\xCC\xCD\xB9") == std::string::npos;
            if (frameOnly) continue;
            EXPECT_NE(tables.Item(1, i).Label, original) << "item " << i << " has no translation";
        }
        Translator& translator = form.s.rig().translator;
        for (const char* message : kMessages) {
            std::string shown = translator.Translate(message);
            EXPECT_NE(shown, message);
            EXPECT_LE(shown.size(), 76u) << "'" << shown << "' does not fit one line of the message box";
        }
    }
}

bool IsFrame(unsigned char ch) { return ch >= 0xB9 && ch <= 0xCE; }

// The window row, above the separator, where the program writes its status line.
constexpr int kStatusRow = 15;

TEST(ShippedFormTest, ScreenIsTidyInEveryLanguage) {
    for (const char* language : kLanguages) {
        SCOPED_TRACE(language);
        ShownForm form(language);
        const ScreenShot& shot = form.shot();
        FormTables& tables = form.tables();
        const FormScreen& screen = tables.Screen(1);
        ASSERT_GE(screen.WindowTop, 2) << "row 1 is the title's";
        ASSERT_LE(screen.WindowBottom, 25);
        ASSERT_GE(screen.WindowLeft, 1);
        ASSERT_LE(screen.WindowRight, 80);

        // Nothing is drawn over the window's frame.
        for (int row = screen.WindowTop; row <= screen.WindowBottom; ++row) {
            const std::string& line = shot.Row(row);
            EXPECT_TRUE(IsFrame(static_cast<unsigned char>(line[static_cast<std::size_t>(screen.WindowLeft - 1)])))
                << "row " << row << "\n" << shot.Text();
            EXPECT_TRUE(IsFrame(static_cast<unsigned char>(line[static_cast<std::size_t>(screen.WindowRight - 1)])))
                << "row " << row << "\n" << shot.Text();
        }

        std::vector<std::string> used(26, std::string(81, ' '));  // cells taken, per row
        int valueColumn = 0;
        bool keyLine = false;
        bool popupLine = false;
        for (int i = 1; i <= screen.ItemCount; ++i) {
            SCOPED_TRACE("item " + std::to_string(i));
            const FormItem& item = tables.Item(1, i);
            const int row = screen.WindowTop + item.Row;
            const int left = screen.WindowLeft + item.Column;
            const int labelEnd = left + static_cast<int>(item.Label.size()) - 1;
            const int end = labelEnd + item.Length + item.DescWidth;
            ASSERT_GT(row, screen.WindowTop);
            ASSERT_LT(row, screen.WindowBottom);
            EXPECT_NE(item.Row, kStatusRow) << "the status line's row is the program's";
            if (item.Column == 0) {
                // A divider drawn on the frame itself.
                EXPECT_EQ(item.Label, "\xCC" + std::string(static_cast<std::size_t>(screen.WindowRight - screen.WindowLeft - 1), '\xCD') + "\xB9");
                continue;
            }
            EXPECT_LT(end, screen.WindowRight) << "'" << item.Label << "' runs into the frame";
            // (The blank that ends a label may hold the arrow of the choice being edited.)
            const std::string label = TrimTrailingBlanks(item.Label);
            EXPECT_EQ(shot.Row(row).substr(static_cast<std::size_t>(left - 1), label.size()), label) << shot.Text();
            for (int col = left; col <= std::min(end, 80); ++col) {
                EXPECT_EQ(used[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)], ' ') << "column " << col << " twice";
                used[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)] = 'x';
            }
            if (i <= 9) {
                // The values of the nine settings stand in one column.
                if (valueColumn == 0) valueColumn = labelEnd + 1;
                EXPECT_EQ(labelEnd + 1, valueColumn) << "'" << item.Label << "'";
                // A choice's left arrow goes on the blank that ends the label.
                if (!item.Options.empty()) {
                    EXPECT_EQ(item.Label.back(), ' ');
                }
            } else {
                EXPECT_TRUE(item.Has(kSkipped)) << "only the nine settings are edited";
                if (item.Label.find("F10") != std::string::npos && item.Label.find("Esc") != std::string::npos &&
                    item.Label.find("F1:") != std::string::npos)
                    keyLine = true;
                if (item.Label.find("Alt+V") != std::string::npos && item.Label.find("Alt+X") != std::string::npos &&
                    item.Label.find("Alt+C") != std::string::npos)
                    popupLine = true;
            }
        }
        EXPECT_TRUE(keyLine) << "a line tells the operator the keys that save, leave and help\n" << shot.Text();
        EXPECT_TRUE(popupLine) << "a line names the preview, the calculator and the calendar\n" << shot.Text();
    }
}

TEST(ShippedFormTest, HelpPagesOpenWithF1) {
    EditorScenario s;
    s.console().Snapshot();  // 0: the screen
    s.console().Press("F1");
    s.console().Snapshot();  // 1: the page of the session's topic
    s.console().Press("F1");
    s.console().Snapshot();  // 2: the general keys
    s.console().Press({"Esc", "Esc"});
    s.console().Snapshot();  // 3: the screen again
    s.console().Press("Esc");
    EditResult result = s.Run();
    EXPECT_EQ(result.outcome, EditResult::Outcome::NothingToSave);
    const auto& shots = s.console().snapshots();
    ASSERT_EQ(shots.size(), 4u);
    EXPECT_TRUE(shots[1].Contains("DISPOSICI\xE0 DEL REBUT")) << shots[1].Text();
    EXPECT_TRUE(shots[2].Contains("TECLES GENERALS")) << shots[2].Text();
    EXPECT_EQ(shots[3].rows, shots[0].rows) << "closing the help gives the screen back";
    EXPECT_TRUE(s.platform().commandsRun.empty());
}

// The help pages of every language: the Catalan ones in AJUDA itself, the
// others in the folder of the session's language code.
struct HelpFolder {
    const char* language;
    const char* folder;
};
const HelpFolder kHelpFolders[] = {
    {"CAT", "AJUDA/"},
    {"GLG", "AJUDA/GLG/"},
    {"OCI", "AJUDA/OCI/"},
    {"SPA", "AJUDA/SPA/"},
};
static_assert(std::size(kHelpFolders) == std::size(kLanguages), "a help folder for every language");

// Every page that ships, as the Catalan folder holds them: a page added there
// must come in every language.
std::vector<std::string> ShippedHelpPages() {
    namespace fs = std::filesystem;
    std::vector<std::string> pages;
    for (const auto& entry : fs::directory_iterator(fs::path(QP_SOURCE_DIR) / "AJUDA")) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && name.size() > 4 && name.compare(name.size() - 4, 4, ".HLP") == 0) pages.push_back(name);
    }
    std::sort(pages.begin(), pages.end());
    return pages;
}

std::vector<std::string> Records(const std::string& bytes) {
    std::vector<std::string> records;
    for (std::size_t at = 0; at + 80 <= bytes.size(); at += 80) records.push_back(bytes.substr(at, 80));
    return records;
}

// What the pager shows of a record: the attribute bytes switch colours and
// take no column; the blanks that fill the record show nothing.
std::string ShownText(const std::string& record) {
    std::string shown;
    for (char c : record)
        if (c != '\x1E' && c != '\x1F' && c != '\x10') shown += c;
    return TrimTrailingBlanks(shown);
}

TEST(ShippedFormTest, HelpPagesAreWholeRecordsInEveryLanguage) {
    const std::string topic = "QPLAYOUT";  // NomMenu of the sample's Sessio.ini
    ASSERT_NE(ReadSourceFile("sample/TEMP/Sessio.ini").find("NomMenu=" + topic + "\r\n"), std::string::npos);
    const std::vector<std::string> pages = ShippedHelpPages();
    ASSERT_NE(std::find(pages.begin(), pages.end(), topic + ".HLP"), pages.end());
    ASSERT_NE(std::find(pages.begin(), pages.end(), "QPMENUEX.HLP"), pages.end());
    for (const HelpFolder& help : kHelpFolders) {
        for (const std::string& page : pages) {
            const std::string path = std::string(help.folder) + page;
            SCOPED_TRACE(path);
            const std::string bytes = ReadSourceFile(path);
            ASSERT_FALSE(bytes.empty()) << "every page in every language";
            EXPECT_EQ(bytes.size() % 80, 0u);
            EXPECT_EQ(bytes.find_first_of("\r\n"), std::string::npos) << "records, not lines";
            const std::vector<std::string> records = Records(bytes);
            ASSERT_FALSE(records.empty());
            EXPECT_EQ(records[0][0], '\x1E') << "the page opens with a highlighted heading";
            for (std::size_t n = 0; n < records.size(); ++n) {
                SCOPED_TRACE("record " + std::to_string(n + 1));
                const std::string shown = ShownText(records[n]);
                EXPECT_LE(shown.size(), 76u) << "'" << shown << "' is cut by the pager";
                for (char c : shown)
                    EXPECT_GE(static_cast<unsigned char>(c), 0x20) << "a control byte reaches the console: '" << shown << "'";
            }
            if (std::string(help.language) != "CAT") {
                EXPECT_NE(records[0], Records(ReadSourceFile("AJUDA/" + page))[0]) << "the heading is translated";
            }
        }
    }
}

// What every language's pages must tell: the screen's page its pop-up keys and
// the preview's print key; the general keys how to print the alignment sheet.
TEST(ShippedFormTest, HelpPagesTellTheKeysAndHowToPrintInEveryLanguage) {
    const struct {
        const char* page;
        std::vector<const char*> told;
    } pages[] = {
        {"QPLAYOUT.HLP", {"Alt+V", "Alt+X", "Alt+C", "F9"}},
        {"QPMENUEX.HLP", {"Alt+V", "F9", "qplayout --print-sheet", "qplayout --sheet", "CUPS", "Windows"}},
    };
    for (const HelpFolder& help : kHelpFolders) {
        for (const auto& p : pages) {
            const std::string bytes = ReadSourceFile(std::string(help.folder) + p.page);
            for (const char* text : p.told)
                EXPECT_NE(bytes.find(text), std::string::npos) << help.folder << p.page << " does not tell " << text;
        }
    }
}

}  // namespace
}  // namespace qp
