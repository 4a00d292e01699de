#include "editor/form_loader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "input/form_tables_heap.h"
#include "peak_memory.h"
#include "platform/temp_dir.h"

namespace qp {
namespace {

using qp::testing::HeapBytes;
using qp::testing::TempDir;

// One screen with two items, and one list, written with CR LF.
const std::string kForm =
    "1,2\r\n"
    "\"d,1b\",2,0,3,1,20,78\r\n"
    "2,4,\"Nom del client: \",10,0,0,0,0,0,\"\"\r\n"
    "3,4,\"Pagat: \",1,0,3,0,0,1,\"|S,S\xA1|N,No\"\r\n"
    "1\r\n"
    "1,2,3,4,5,6,7,\"Clients\",8\r\n";

struct Loaded {
    FormLoadResult result;
    FormTables tables;
};

class FormLoaderTest : public ::testing::Test {
protected:
    Loaded Load(const std::string& bytes, const std::string& language = "CAT") {
        Translator translator(platform_, dir_.Dir(), language, "QPLAYOUT");
        Loaded loaded;
        loaded.result = LoadFormText(bytes, "FORM.MPN", translator, loaded.tables);
        return loaded;
    }

    SystemPlatform platform_;
    TempDir dir_;
};

TEST_F(FormLoaderTest, ReadsScreensItemsAndListsInFieldOrder) {
    Loaded f = Load(kForm);
    ASSERT_TRUE(f.result.ok) << f.result.message;
    EXPECT_EQ(f.tables.ScreenCount, 1);
    EXPECT_EQ(f.tables.MaxItems, 2);
    FormScreen& screen = f.tables.Screen(1);
    EXPECT_EQ(screen.ScreenExitKeys, "d,1b");
    EXPECT_EQ(screen.ItemCount, 2);
    EXPECT_EQ((std::array<int, 5> {screen.ParentScreen, screen.WindowTop, screen.WindowLeft, screen.WindowBottom,
                                   screen.WindowRight}),
              (std::array<int, 5> {0, 3, 1, 20, 78}));
    FormItem& paid = f.tables.Item(1, 2);
    EXPECT_EQ(paid.Row, 3);
    EXPECT_EQ(paid.Column, 4);
    EXPECT_EQ(paid.Label, "Pagat: ");
    EXPECT_EQ(paid.Length, 1);
    EXPECT_EQ(paid.DescWidth, 3);
    EXPECT_EQ(paid.ListNo, 1);
    EXPECT_EQ(paid.Options, "|S,S\xA1|N,No");
    // Values start as Length blanks.
    EXPECT_EQ(f.tables.Item(1, 1).Value, std::string(10, ' '));
    EXPECT_EQ(paid.Value, " ");
    ASSERT_TRUE(f.tables.HasList(1));
    EXPECT_EQ(f.tables.List(1).fields, (std::array<std::int16_t, 8> {1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(f.tables.List(1).Title, "Clients");
}

TEST_F(FormLoaderTest, CommentsBetweenRecordsAreSkipped) {
    const std::string commented =
        "' first\r\n'second, with a comma\r\n   ' indented\r\n"
        "1,2\r\n"
        "' before the screen\r\n"
        "\"d,1b\",2,0,3,1,20,78\r\n"
        "2,4,\"Nom del client: \",10,0,0,0,0,0,\"\"\r\n"
        "3,4,\"Pagat: \",1,0,3,0,0,1,\"|S,S\xA1|N,No\"\r\n"
        "' before the list count\r\n"
        "1\r\n"
        "\t' before a list\r\n"
        "1,2,3,4,5,6,7,\"Clients\",8\r\n";
    Loaded plain = Load(kForm);
    Loaded f = Load(commented);
    ASSERT_TRUE(f.result.ok) << f.result.message;
    EXPECT_EQ(f.tables.Item(1, 2).Options, plain.tables.Item(1, 2).Options);
    EXPECT_EQ(f.tables.Item(1, 1).Label, plain.tables.Item(1, 1).Label);
    EXPECT_EQ(f.tables.List(1).Title, "Clients");
}

TEST_F(FormLoaderTest, LineFeedsAloneAndRecordsAcrossLinesReadTheSame) {
    std::string lf;
    for (char c : kForm)
        if (c != '\r') lf += c;
    Loaded f = Load("' comment\n" + lf);
    ASSERT_TRUE(f.result.ok) << f.result.message;
    EXPECT_EQ(f.tables.Item(1, 2).Label, "Pagat: ");
    EXPECT_EQ(f.tables.List(1).Title, "Clients");

    // The reader counts fields, not lines.
    Loaded spread = Load("1\r\n2\r\n\"d,1b\"\r\n2,0\r\n3,1,20,78,2,4\r\n\"Nom del client: \",10,0,0,0,0,0,\"\",3,4,"
                         "\"Pagat: \",1,0,3,0,0,1,\"|S,S\xA1|N,No\",1,1,2,3,4,5,6,7,\"Clients\",8");
    ASSERT_TRUE(spread.result.ok) << spread.result.message;
    EXPECT_EQ(spread.tables.Item(1, 2).Options, "|S,S\xA1|N,No");
}

// Where the file holds a CR, a lone LF ends no line, as the suite reads it:
// the header below is still part of the comment.
TEST_F(FormLoaderTest, AStrayLfInACrLfFileEndsNoLine) {
    Loaded f = Load("' made elsewhere\n9,9\r\n" + kForm);
    ASSERT_TRUE(f.result.ok) << f.result.message;
    EXPECT_EQ(f.tables.ScreenCount, 1);
    EXPECT_EQ(f.tables.Item(1, 1).Label, "Nom del client: ");
}

TEST_F(FormLoaderTest, ApostrophesInsideFieldsAreText) {
    Loaded f = Load("1,1\r\n\"d\",1,0,0,0,0,0\r\n1,1,'Fila de l'adre\x87" "a: ,2,0,0,0,0,0,\"\"\r\n");
    ASSERT_TRUE(f.result.ok) << f.result.message;
    EXPECT_EQ(f.tables.Item(1, 1).Label, "'Fila de l'adre\x87" "a: ");
}

TEST_F(FormLoaderTest, FilesWithoutListsOrWithAFinalZeroCountLoad) {
    const std::string screen = "1,1\r\n\"d\",1,0,0,0,0,0\r\n1,1,\"A: \",2,0,0,0,0,0,\"\"\r\n";
    for (const std::string& tail : {std::string(), std::string("0\r\n"), std::string("0"),
                                    std::string("' no lists\r\n\r\n"), std::string("0\r\n' done\r\n\r\n")}) {
        Loaded f = Load(screen + tail);
        ASSERT_TRUE(f.result.ok) << "tail " << tail << ": " << f.result.message;
        EXPECT_FALSE(f.tables.HasList(1));
        // A screen with WindowTop 0 has no window of its own.
        EXPECT_EQ(f.tables.Screen(1).WindowTop, 0);
    }
    // Everything after a Ctrl-Z is outside the file.
    EXPECT_TRUE(Load(screen + "\x1A" "garbage,,,").result.ok);
}

TEST_F(FormLoaderTest, EachScreenHoldsItsOwnItemsWhateverMaxItems) {
    Loaded f = Load("2,3\r\n\"d\",1,0,0,0,0,0\r\n1,1,\"A\",2,0,0,0,0,0,\"\"\r\n\"d\",0,1,0,0,0,0\r\n");
    ASSERT_TRUE(f.result.ok) << f.result.message;
    EXPECT_TRUE(f.tables.HasItem(1, 1));
    EXPECT_FALSE(f.tables.HasItem(1, 2));
    EXPECT_FALSE(f.tables.HasItem(2, 1));
    EXPECT_EQ(f.tables.Screen(2).ItemCount, 0);
    EXPECT_EQ(f.tables.Screen(2).ParentScreen, 1);
}

// Counts and lengths come from the file: a small file must stay small in
// memory and quick to load, whether it is accepted or refused.
TEST_F(FormLoaderTest, SmallFilesCannotAskForLargeTables) {
    std::string emptyScreens = "1000,32767\r\n";
    for (int s = 0; s < 1000; ++s) emptyScreens += ",0,0,0,0,0,0\r\n";
    std::string longValues = "1,32767\r\n\"d\",32767,0,0,0,0,0\r\n";
    for (int i = 0; i < 1000; ++i) longValues += "1,1,,32767,0,0,0,0,0,\r\n";
    std::string longScreens = "300,32767\r\n";
    for (int s = 0; s < 300; ++s) longScreens += ",1,0,0,0,0,0\r\n1,1,,32767,0,0,0,0,0,\r\n";
    struct Case {
        const char* what;
        const std::string& bytes;
        bool ok;
        std::string message;
    };
    const Case cases[] = {
        {"a thousand empty screens under the largest MaxItems", emptyScreens, true, ""},
        {"a thousand items of the largest Length", longValues, false,
         "FORM.MPN: line 35: Length of item 33 of screen 1 is 32767, which makes the values of all items longer "
         "than 1048576 characters"},
        {"screens of one item of the largest Length", longScreens, false, "FORM.MPN: line 67: Length of item 1 of screen 33"},
    };
    for (const Case& c : cases) {
        ASSERT_LT(c.bytes.size(), 32u * 1024) << c.what;
        auto start = std::chrono::steady_clock::now();
        Loaded f = Load(c.bytes);
        auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(f.result.ok, c.ok) << c.what << ": " << f.result.message;
        EXPECT_EQ(f.result.message.substr(0, c.message.size()), c.message) << c.what;
        EXPECT_LT(HeapBytes(f.tables), 1024u * 1024) << c.what;
        // It used to take seconds: allocating is what took the time.
        EXPECT_LT(took, std::chrono::seconds(2)) << c.what;
    }
    Loaded f = Load(emptyScreens);
    ASSERT_EQ(f.tables.screens.size(), 1000u);
    EXPECT_TRUE(f.tables.Screen(1000).items.empty());
}

// Beyond what any form of the suite uses, a few bytes of the file (or of
// the language file) would buy a hundred bytes or a megabyte each.
TEST_F(FormLoaderTest, FormsBeyondWhatAnyScreenUsesAreRefused) {
    std::string items = "2,8000\r\n";
    for (int s = 0; s < 2; ++s) {
        items += "\"d\",8000,0,0,0,0,0\r\n";
        for (int i = 0; i < 8000; ++i) items += "1,1,,0,0,0,0,0,0,\r\n";
    }
    Loaded many = Load(items);
    EXPECT_FALSE(many.result.ok);
    EXPECT_EQ(many.result.message, "FORM.MPN: line 8196: the form holds more than 8192 items, more than any form of the "
                                   "suite; item 193 of screen 2 is one too many");

    std::filesystem::create_directories(dir_ / "LOCALE");
    // A translation is at most a screen long: many labels of one letter each.
    dir_.Write("LOCALE/QPLAYOUT.LNG", "A,,," + std::string(kLongestTranslation, 'a') + "\r\n");
    std::string labels = "1,2200\r\n\"d\",2200,0,0,0,0,0\r\n";
    for (int i = 0; i < 2200; ++i) labels += "1,1,A,0,0,0,0,0,0,\r\n";
    Loaded translated = Load(labels, "SPA");
    EXPECT_FALSE(translated.result.ok);
    EXPECT_EQ(translated.result.message, "FORM.MPN: line 2100: the labels, options and list titles read up to item 2098 of "
                                         "screen 1 come to more than 4194304 bytes, more than any form of the suite");
    EXPECT_TRUE(Load(labels).result.ok);
}

TEST_F(FormLoaderTest, TranslatesLabelsOptionsAndTitlesAsRead) {
    dir_.Write("LOCALE/QPLAYOUT.LNG", "");
    std::filesystem::create_directories(dir_ / "LOCALE");
    dir_.Write("LOCALE/QPLAYOUT.LNG",
               "\"Nom del client: \",\"Nome do cliente: \",\"Nom deth client: \",\"Nombre del cliente: \"\r\n"
               "\"|S,S\xA1|N,No\",\"|S,Si|N,Non\",\"|S,\x95" "c|N,Non\",\"|S,S\xA1|N,No\"\r\n"
               "\"Clients\",\"Clientes\",\"Clients\",\"Clientes\"\r\n");
    struct Case {
        const char* language;
        const char* name;
        const char* paid;
        const char* options;
        const char* title;
    };
    for (const Case& c : {Case {"SPA", "Nombre del cliente: ", "Pagat: ", "|S,S\xA1|N,No", "Clientes"},
                          Case {"GLG", "Nome do cliente: ", "Pagat: ", "|S,Si|N,Non", "Clientes"},
                          Case {"OCI", "Nom deth client: ", "Pagat: ", "|S,\x95" "c|N,Non", "Clients"},
                          Case {"CAT", "Nom del client: ", "Pagat: ", "|S,S\xA1|N,No", "Clients"}}) {
        Loaded f = Load(kForm, c.language);
        ASSERT_TRUE(f.result.ok) << f.result.message;
        EXPECT_EQ(f.tables.Item(1, 1).Label, c.name) << c.language;
        EXPECT_EQ(f.tables.Item(1, 2).Label, c.paid) << c.language << ": a text without a record stays Catalan";
        EXPECT_EQ(f.tables.Item(1, 2).Options, c.options) << c.language;
        EXPECT_EQ(f.tables.List(1).Title, c.title) << c.language;
    }
}

TEST_F(FormLoaderTest, EmptyTextsAreNotLookedUp) {
    // A language file whose first record has an empty key must not turn
    // empty options into choices.
    std::filesystem::create_directories(dir_ / "LOCALE");
    dir_.Write("LOCALE/QPLAYOUT.LNG", ",\"|X,x\",\"|X,x\",\"|X,x\"\r\n");
    Loaded f = Load(kForm, "SPA");
    ASSERT_TRUE(f.result.ok) << f.result.message;
    EXPECT_EQ(f.tables.Item(1, 1).Options, "");
}

TEST_F(FormLoaderTest, BrokenFilesAreRefusedWithWhatIsWrong) {
    const std::string head = "1,2\r\n\"d,1b\",2,0,3,1,20,78\r\n";
    const std::string item1 = "2,4,\"Nom: \",10,0,0,0,0,0,\"\"\r\n";
    const std::string item2 = "3,4,\"Pagat: \",1,0,3,0,0,0,\"\"\r\n";
    struct Case {
        const char* what;
        std::string bytes;
        std::string message;
    };
    const Case cases[] = {
        {"empty file", "", "FORM.MPN: the file is empty"},
        {"only comments", "' nothing\r\n'\r\n", "FORM.MPN: the file is empty"},
        {"no screens", "0,2\r\n", "FORM.MPN: line 1: ScreenCount of the header is 0; it must be from 1 to 32767"},
        {"no items", "1,0\r\n", "FORM.MPN: line 1: MaxItems of the header is 0; it must be from 1 to 32767"},
        {"text for a count", "one,2\r\n", "FORM.MPN: line 1: ScreenCount of the header must be a whole number from 1 "
                                          "to 32767, not \"one\""},
        {"count beyond 16 bits", "1,70000\r\n", "FORM.MPN: line 1: MaxItems of the header must be a whole number"},
        {"too many items", "1,2\r\n\"d\",3,0,0,0,0,0\r\n", "FORM.MPN: line 2: ItemCount of screen 1 is 3; it must be "
                                                           "from 0 to 2"},
        {"negative items", "1,2\r\n\"d\",-1,0,0,0,0,0\r\n", "FORM.MPN: line 2: ItemCount of screen 1 is -1"},
        {"missing screen", "2,2\r\n\"d\",0,0,0,0,0,0\r\n", "FORM.MPN: the file ends inside screen 2 (ScreenExitKeys "
                                                            "is missing)"},
        {"screen cut in its head", "1,2\r\n\"d\",2,0,3\r\n", "FORM.MPN: the file ends inside screen 1 (WindowLeft "
                                                             "is missing)"},
        {"screen cut in an item", head + item1 + "3,4,\"Pagat: \",1,0\r\n",
         "FORM.MPN: the file ends inside item 2 of screen 1 (DescWidth is missing)"},
        {"comment between items", head + item1 + "' the second item\r\n" + item2,
         "FORM.MPN: line 4: a comment line inside item 2 of screen 1; comments may stand only between records"},
        {"comment inside the head", "1,2\r\n\"d,1b\",2\r\n 'window\r\n0,3,1,20,78\r\n" + item1 + item2,
         "FORM.MPN: line 3: a comment line inside screen 1"},
        {"parent beyond the screens", "1,2\r\n\"d\",0,2,0,0,0,0\r\n", "FORM.MPN: line 2: ParentScreen of screen 1 is 2"},
        {"reversed window", "1,2\r\n\"d\",0,0,20,1,3,78\r\n",
         "FORM.MPN: line 2: the window of screen 1 (20, 1, 3, 78) must have its top left corner"},
        {"negative length", head + "2,4,\"Nom: \",-2,0,0,0,0,0,\"\"\r\n" + item2,
         "FORM.MPN: line 3: Length of item 1 of screen 1 is -2"},
        {"empty number", head + "2,4,\"Nom: \",,0,0,0,0,0,\"\"\r\n" + item2,
         "FORM.MPN: line 3: Length of item 1 of screen 1 must be a whole number from 0 to 32767, not \"\""},
        {"list without lists", head + item1 + "3,4,\"Pagat: \",1,0,3,0,0,2,\"\"\r\n",
         "FORM.MPN: item 2 of screen 1 opens list 2, but the file defines no lists"},
        {"list beyond the lists", head + item1 + "3,4,\"Pagat: \",1,0,3,0,0,2,\"\"\r\n1\r\n1,2,3,4,5,6,7,\"T\",8\r\n",
         "FORM.MPN: item 2 of screen 1 opens list 2, but the file defines only 1"},
        {"negative list count", head + item1 + item2 + "-1\r\n", "FORM.MPN: line 5: ListCount of the list section is -1"},
        {"zero lists, then more", head + item1 + item2 + "0\r\n1,2,3\r\n",
         "FORM.MPN: line 6: a list count of 0 must be the last field of the file, but \"1\" follows it"},
        {"list cut short", head + item1 + item2 + "2\r\n1,2,3,4,5,6,7,\"T\",8\r\n1,2,3\r\n",
         "FORM.MPN: the file ends inside list 2 (field 4 is missing)"},
    };
    for (const Case& c : cases) {
        Loaded f = Load(c.bytes);
        EXPECT_FALSE(f.result.ok) << c.what;
        EXPECT_EQ(f.result.message.substr(0, c.message.size()), c.message) << c.what << "\n  got: " << f.result.message;
        EXPECT_EQ(f.tables.ScreenCount, 0) << c.what << ": a refused file leaves no half-filled tables";
        EXPECT_TRUE(f.tables.screens.empty()) << c.what;
    }
}

#ifndef _WIN32  // paths are mapped to POSIX names only there
TEST_F(FormLoaderTest, MissingFileIsNamedWithTheSystemsReason) {
    Translator translator(platform_, dir_.Dir(), "CAT", "QPLAYOUT");
    FormTables tables;
    FormLoadResult result = LoadForm(platform_, dir_.Dir(), "QPLAYOUT", translator, tables);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.message.find("FORMS/QPLAYOUT.MPN: cannot open the form file: "), std::string::npos)
        << result.message;
    EXPECT_NE(result.message.find(dir_.Dir()), std::string::npos) << result.message;
}
#endif  // _WIN32

TEST_F(FormLoaderTest, FindsTheFileUnderRootWhateverItsCase) {
    std::filesystem::create_directories(dir_ / "forms");
    dir_.Write("forms/qplayout.mpn", kForm);
    Translator translator(platform_, dir_.Dir(), "CAT", "QPLAYOUT");
    FormTables tables;
    FormLoadResult result = LoadForm(platform_, dir_.Dir(), "QPLAYOUT", translator, tables);
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(tables.Item(1, 1).Label, "Nom del client: ");
}

#ifndef _WIN32

struct ShapeCase {
    const char* name;
    testing::FileShape shape;
    std::string message;  // how the load ends
};

void PrintTo(const ShapeCase& c, std::ostream* os) { *os << c.name; }

class FormMemoryTest : public ::testing::TestWithParam<ShapeCase> {};

// Memory and time in proportion to the file, whatever its shape, at a
// quarter of the largest form file allowed.
TEST_P(FormMemoryTest, StaysInProportionToTheFile) {
    constexpr std::size_t kSize = std::size_t {16} << 20;
    const ShapeCase& c = GetParam();
    TempDir dir;
    std::filesystem::create_directories(dir / "FORMS");
    testing::WriteShape(dir / "FORMS/QPLAYOUT.MPN", c.shape, kSize);
    std::string message;
    const testing::WorkCost cost = testing::MeasureInChild(
        [&] {
            SystemPlatform platform;
            Translator translator(platform, dir.Dir(), "CAT", "QPLAYOUT");
            FormTables tables;
            const FormLoadResult result = LoadForm(platform, dir.Dir(), "QPLAYOUT", translator, tables);
            return result.ok ? "loaded " + std::to_string(tables.ScreenCount) + " screens, " +
                                   std::to_string(tables.lists.size() - 1) + " lists"
                             : result.message.substr(result.message.find(".MPN: ") + 6);
        },
        message);
    ASSERT_TRUE(cost.ran);
    EXPECT_EQ(message, c.message);
    if (!testing::kMemoryMeasurable) GTEST_SKIP() << "a sanitizer's memory and time say nothing of the program's";
    EXPECT_LE(cost.peakBytes, 3 * kSize + (std::size_t {16} << 20)) << "peak " << cost.peakBytes / 1024 << " KB";
    // Hours, when each screen of one long line copied the rest of that line.
    EXPECT_LT(cost.seconds, 10.0);
    ::testing::Test::RecordProperty("peak_kb", std::to_string(cost.peakBytes / 1024));
    ::testing::Test::RecordProperty("seconds", std::to_string(cost.seconds));
}

std::string ScreensAndLists(const std::string& end) {
    std::string text = "32767,1" + end;
    for (int s = 0; s < 32767; ++s) text += "d,0,0,0,0,0,0" + end;
    text += "32767" + end;
    for (int l = 0; l < 32767; ++l) text += "0,0,0,0,0,0,0,t,0" + end;
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, FormMemoryTest,
    ::testing::Values(ShapeCase {"ManyTinyItems", {"32767,32767\r\n\"d\",32767,0,0,0,0,0\r\n", "0,0,,0,0,0,0,0,0,\r\n", ""},
                                 "line 8195: the form holds more than 8192 items, more than any form of the suite; "
                                 "item 8193 of screen 1 is one too many"},
                      ShapeCase {"ManyCommentLines", {"", "'\r\n", ScreensAndLists("\r\n")}, "loaded 32767 screens, 32767 lists"},
                      ShapeCase {"OneHugeLine", {"", " ", ScreensAndLists(",")}, "loaded 32767 screens, 32767 lists"},
                      ShapeCase {"ManyTinyLines", {"", "\r\n", ""}, "the file is empty: the header (ScreenCount, MaxItems) is missing"}),
    [](const ::testing::TestParamInfo<ShapeCase>& p) { return std::string(p.param.name); });

#endif  // _WIN32

}  // namespace
}  // namespace qp
