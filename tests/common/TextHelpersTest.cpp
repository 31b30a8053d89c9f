#include "Fonction.h"
#include "TextLines.h"
#include "Windows1252.h"

#include <gtest/gtest.h>

#include <optional>

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

// Text typed in UTF-8 told from the system's Windows-1252 bytes, and converted only when nothing is lost.
TEST(TextHelpers, Utf8IsRecognisedStrictlyAndConvertedExactly) {
    const struct {
        const char* label;
        std::string text;
        bool utf8;
        std::optional<std::string> exact;
    } cases[] = {
        {"ASCII only", "Mise a jour", false, "Mise a jour"},
        {"accents and euro sign", "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xC5\x93", true, "\xE9t\xE9 \x80 \x9C"},
        {"Windows-1252 French", "\xE9t\xE9", false, std::nullopt},
        {"a character Windows-1252 lacks", "\xF0\x9F\x98\x80", true, std::nullopt},
        {"a C1 control", "\xC2\x81", true, std::nullopt},
        {"overlong", "\xC0\xAF", false, std::nullopt},
        {"surrogate", "\xED\xA0\x80", false, std::nullopt},
        {"past U+10FFFF", "\xF4\x90\x80\x80", false, std::nullopt},
        {"cut short", "\xC3", false, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isNonAsciiUtf8(c.text), c.utf8) << c.label;
        EXPECT_EQ(exactCp1252FromUtf8(c.text), c.exact) << c.label;
    }
}

TEST(TextHelpers, AsciiCaseFoldingLeavesOtherBytes) {
    EXPECT_EQ(upperAscii("messageform\xE9"), "MESSAGEFORM\xE9");
    EXPECT_TRUE(equalsIgnoringAsciiCase("MessageForm", "MESSAGEFORM"));
    EXPECT_FALSE(equalsIgnoringAsciiCase("\xE9", "\xC9"));
}
