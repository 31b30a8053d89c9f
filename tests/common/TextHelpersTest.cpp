#include "Fonction.h"
#include "TextLines.h"
#include "Windows1252.h"

#include <gtest/gtest.h>

using namespace halvio;

TEST(TextHelpers, ReplaceAllFindsLeftToRightWithoutOverlapsAndRespectsCase) {
    struct Case {
        const char* text;
        const char* oldText;
        const char* newText;
        const char* expected;
    };
    const Case cases[] = {
        {"aaa", "aa", "b", "ba"},
        {"srv:c:\\clinique\\kliso.ib", "kliso.ib", "fax.ib", "srv:c:\\clinique\\fax.ib"},
        {"C:\\CLINIQUE\\KLISO.IB", "kliso.ib", "fax.ib", "C:\\CLINIQUE\\KLISO.IB"},
        {"kliso.ib/kliso.ib", "kliso.ib", "fax.ib", "fax.ib/fax.ib"},
        {"abc", "", "x", "abc"},
        {"a|b||c", "|", "\r\n", "a\r\nb\r\n\r\nc"},
        {"xx", "x", "xx", "xxxx"}, // inserted text is not searched again
        {"HALVIO27", "HALVIO27", "HALVIO26", "HALVIO26"},
        {"", "a", "b", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReplaceAll(c.text, c.oldText, c.newText), c.expected) << c.text;
}

TEST(TextHelpers, TrimmedRemovesCodesZeroToThirtyTwoOnly) {
    EXPECT_EQ(Trimmed("  C1234     "), "C1234");
    EXPECT_EQ(Trimmed(std::string("\0\t\r\n x \x1F", 9)), "x");
    EXPECT_EQ(Trimmed("\xA0x\xA0"), "\xA0x\xA0"); // a no-break space is kept
    EXPECT_EQ(Trimmed("   "), "");
}

TEST(TextHelpers, QuotedDoublesEveryQuote) {
    EXPECT_EQ(Quoted("O'Neil"), "'O''Neil'");
    EXPECT_EQ(Quoted(""), "''");
    EXPECT_EQ(Quoted("''"), "''''''");
}

TEST(TextHelpers, SplitLinesAcceptsEveryLineEnd) {
    struct Case {
        std::string text;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"a\n\rb", {"a", "", "b"}},
        {std::string("a\nb\0c\nd", 7), {"a", "b"}},
        {"", {}},
        {"\r\n", {""}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(splitLines(c.text), c.lines) << c.text;
    EXPECT_EQ(joinCrLfLines({"a", "", "b"}), "a\r\n\r\nb\r\n");
}

TEST(TextHelpers, Windows1252RoundTripsEveryByte) {
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    EXPECT_EQ(cp1252FromUtf8(utf8FromCp1252(all)), all);
    EXPECT_EQ(fr("é à œ €"), "\xE9 \xE0 \x9C \x80");
    EXPECT_EQ(utf8FromCp1252("\x80"), "€");
    EXPECT_EQ(cp1252FromUtf8("日"), "?");
}

TEST(TextHelpers, AsciiCaseFoldingLeavesOtherBytes) {
    EXPECT_EQ(upperAscii("messageform\xE9"), "MESSAGEFORM\xE9");
    EXPECT_TRUE(equalsIgnoringAsciiCase("MessageForm", "MESSAGEFORM"));
    EXPECT_FALSE(equalsIgnoringAsciiCase("\xE9", "\xC9"));
}
