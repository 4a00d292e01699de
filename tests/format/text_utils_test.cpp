#include "format/text_utils.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>
#include <vector>

namespace qp {
namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s.push_back(static_cast<char>(v));
    return s;
}

std::string WithoutBlanks(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != ' ') out.push_back(c);
    return out;
}

// ---- UpperText -------------------------------------------------------------

TEST(UpperText, TranslatesByTheSelectedTable) {
    struct Case {
        std::string text;
        bool fold;
        std::string expected;
    };
    const std::string peru = "Per\xA3, \xA4" "and\xA3";  // Perú, ñandú
    const std::vector<Case> cases = {
        {peru, false, "PER\xE9, \xA5" "AND\xE9"},
        {peru, true, "PERU, NANDU"},
        {"@[`{", false, "@[`{"},
        {"@[`{", true, "    "},
        {"0123456789 !\"#$%&'()*+,-./:;<=>?", true, "0123456789 !\"#$%&'()*+,-./:;<=>?"},
        {Bytes({0x87, 0x8A, 0x82, 0x95, 0xA2}), false, Bytes({0x80, 0xD4, 0x90, 0xE3, 0xE0})},
        {Bytes({0x87, 0x8A, 0x82, 0x95, 0xA2}), true, "CEEOO"},
        {Bytes({0xEE, 0xFF, 0x00, 0x1F}), false, Bytes({0xEE, 0xFF, 0x00, 0x1F})},
        {Bytes({0xEE, 0xFF, 0x00, 0x1F}), true, Bytes({0xEE, 0xFF, 0x00, 0x1F})},
        {Bytes({0xE1, 0x98, 0xE7, 0x9C, 0xB8}), true, "SYT  "},
        {"", true, ""},
    };
    for (const Case& c : cases) {
        TextUtils utils;
        utils.FoldAccents = c.fold;
        EXPECT_EQ(utils.UpperText(c.text), c.expected) << "fold=" << c.fold;
    }
}

// The two tables must agree: a letter and its capital fold to the same plain
// letter, and folding gives only capitals or spaces in the translated range.
TEST(UpperText, TablesAgreeOverEveryByte) {
    TextUtils upper;
    TextUtils fold;
    fold.FoldAccents = true;
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        EXPECT_EQ(fold.UpperText(upper.UpperText(byte)), fold.UpperText(byte)) << "byte " << b;
        const auto folded = static_cast<unsigned char>(fold.UpperText(byte)[0]);
        if (b >= 64 && b <= 237)
            EXPECT_TRUE(folded == ' ' || (folded >= 'A' && folded <= 'Z')) << "byte " << b;
        else
            EXPECT_EQ(folded, b);
    }
}

// ---- Item stack ------------------------------------------------------------

TEST(ItemStack, PopsInReverseOrderWithAnyBytes) {
    TextUtils stack;
    const std::vector<std::string> items = {"A", "", "BC", Bytes({0x00, 0xFF, 0x01, 0x00}), std::string(300, 'x')};
    for (const std::string& item : items) stack.PushItem(item);
    for (auto it = items.rbegin(); it != items.rend(); ++it) EXPECT_EQ(stack.PopItem(), *it);
    EXPECT_EQ(stack.PopItem(), "");
}

TEST(ItemStack, EmptyStackPopsEmptyAndStaysUsable) {
    TextUtils stack;
    EXPECT_EQ(stack.PopItem(), "");
    EXPECT_EQ(stack.PopItem(), "");
    stack.PushItem("after");
    EXPECT_EQ(stack.PopItem(), "after");
}

TEST(ItemStack, OverlongItemKeepsItsFirst32767Bytes) {
    TextUtils stack;
    stack.PushItem("below");
    std::string big(40000, 'b');
    big[0] = 'a';
    stack.PushItem(big);
    const std::string popped = stack.PopItem();
    EXPECT_EQ(popped.size(), 32767u);
    EXPECT_EQ(popped, big.substr(0, 32767));
    EXPECT_EQ(stack.PopItem(), "below");
}

// ---- FormatParagraph -------------------------------------------------------

struct ParagraphCase {
    std::string text;
    int indent;
    int width;
    std::string alignment;
    std::string expected;
};

TEST(FormatParagraph, LaysOutEveryAlignment) {
    const std::string text = "uno dos tres cuatro";
    const std::vector<ParagraphCase> cases = {
        {text, 0, 10, "E", "uno dos   tres      cuatro    "},
        {text, 0, 10, "l", "uno dos   tres      cuatro    "},
        {text, 0, 10, "i", "uno dos   tres      cuatro    "},
        {text, 0, 10, "A", "uno    dostrescuatro"},
        {text, 0, 10, "b", "uno    dostrescuatro"},
        {text, 0, 10, "N", "uno dos---tres------cuatro----"},
        {text, 0, 10, "D", "   uno dos      tres    cuatro"},
        {text, 0, 10, "r", "   uno dos      tres    cuatro"},
        {text, 0, 10, "C", " uno dos     tres     cuatro  "},
        {text, 0, 10, "X", "uno dostrescuatro"},
        {text, 0, 10, "", "uno dostrescuatro"},
        {text, 0, 10, "EE", "uno dostrescuatro"},
        {text, -2, 10, "E", "uno dos     tres      cuatro  "},
        {text, 3, 10, "E", "   uno dostres      cuatro    "},
        {"a b c d e f", 0, 8, "A", "a  b c de f"},
        {"aa bb cc dd", 0, 9, "A", "aa  bb ccdd"},
        {"abcdefghijkl", 0, 5, "E", "abcdefghijkl   "},
        {"ab cdefghijkl", 0, 5, "E", "ab   cdefghijkl"},
        {"tail   ", 0, 6, "E", "tail  "},
        {"   ", 0, 5, "E", "     "},
        {"", 0, 5, "E", ""},
        {"one", 0, 0, "E", "one"},
        {"one", 0, -4, "E", "one"},
    };
    for (const ParagraphCase& c : cases) {
        std::string laidOut = c.text;
        FormatParagraph(laidOut, c.indent, c.width, c.alignment);
        EXPECT_EQ(laidOut, c.expected) << '"' << c.text << "\" indent " << c.indent << " width " << c.width
                                       << " alignment \"" << c.alignment << '"';
    }
}

TEST(FormatParagraph, ControlCodesTakeNoWidth) {
    const std::vector<ParagraphCase> cases = {
        // Two control codes widen the room of the first line by two bytes.
        {"\x01uno\x02 dos tres", 0, 8, "E", "\x01uno\x02 dos tres    "},
        // Control codes after the last word taken go with it.
        {"abc\x01\x02 def", 0, 3, "E", "abc\x01\x02" "def"},
        // A control code ends the line, and the blanks before it are dropped.
        {"ab  \x01" "cd", 0, 4, "E", "ab  \x01" "cd  "},
    };
    for (const ParagraphCase& c : cases) {
        std::string laidOut = c.text;
        FormatParagraph(laidOut, c.indent, c.width, c.alignment);
        EXPECT_EQ(laidOut, c.expected);
    }
}

// Whatever the input, the layout ends and loses no visible character; with a
// filling alignment every line is exactly the width.
TEST(FormatParagraph, RandomInputKeepsEveryCharacter) {
    std::mt19937 rng(12345);
    const std::vector<std::string> alignments = {"E", "D", "C", "A", "N", "Q", "", "\xFF"};
    const std::string alphabet = "ab  cdeXYZ\xA4\x87";
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int length = static_cast<int>(rng() % 60);
        for (int i = 0; i < length; ++i) text.push_back(alphabet[rng() % alphabet.size()]);
        const int width = static_cast<int>(rng() % 14) + 1;
        const int indent = static_cast<int>(rng() % 41) - 20;
        const std::string& alignment = alignments[rng() % alignments.size()];
        std::string laidOut = text;
        FormatParagraph(laidOut, indent, width, alignment);
        std::string visible = WithoutBlanks(laidOut);
        if (alignment == "N") std::erase(visible, '-');
        ASSERT_EQ(visible, WithoutBlanks(text)) << '"' << text << "\" width " << width << " indent " << indent;
        if (alignment == "E" || alignment == "D" || alignment == "C") {
            ASSERT_EQ(laidOut.size() % static_cast<std::size_t>(width), 0u) << '"' << text << '"';
        }
    }
}

TEST(FormatParagraph, AnyBytesAndExtremeArgumentsAreSafe) {
    std::mt19937 rng(99);
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        const int length = static_cast<int>(rng() % 40);
        for (int i = 0; i < length; ++i) text.push_back(static_cast<char>(rng() % 256));
        std::string alignment(rng() % 3, static_cast<char>(rng() % 256));
        FormatParagraph(text, static_cast<int>(rng() % 200) - 100, static_cast<int>(rng() % 30) - 5, alignment);
    }
    std::string text = "some words to lay out";
    FormatParagraph(text, INT_MIN, 8, "E");
    EXPECT_EQ(text.size() % 8, 0u);
    text = "some words";
    FormatParagraph(text, INT_MAX, 4, "E");
    EXPECT_EQ(text.size() % 4, 0u);
}

}  // namespace
}  // namespace qp
