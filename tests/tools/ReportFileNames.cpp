// The name a report's file takes from the client code: any code gives a safe name of bounded length,
// and two different codes never give the same name.
#include "ReportStore.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using halvio::tools::ReportStore;

TEST(ReportFileName, APlainCodeIsItself) {
    EXPECT_EQ(ReportStore::fileNameCode("C0042"), "C0042");
    EXPECT_EQ(ReportStore::fileNameCode("clinique-du_parc"), "clinique-du_parc");
    EXPECT_EQ(ReportStore::fileNameCode(std::string(64, 'Z')), std::string(64, 'Z'));
    EXPECT_EQ(ReportStore::fileNameCode(""), "_");
}

TEST(ReportFileName, AnyOtherCodeIsCutAlteredAndMarked) {
    const std::string codes[] = {std::string(65, 'Z'),
                                 std::string(300, 'C'),
                                 std::string(299, 'C') + "D",
                                 "../x",
                                 "a/b",
                                 "a\\b",
                                 "con:",
                                 ".",
                                 "..",
                                 std::string("\0\xFF", 2),
                                 "C0042 ",
                                 "\xC9t\xE9",
                                 "a_b~0123456789abcdef"};
    std::set<std::string> names{ReportStore::fileNameCode("a_b"), ReportStore::fileNameCode("C0042")};
    for (const std::string& code : codes) {
        const std::string name = ReportStore::fileNameCode(code);
        EXPECT_LE(name.size(), 57u) << code;
        EXPECT_EQ(name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_~"),
                  std::string::npos)
            << code << " -> " << name;
        EXPECT_NE(name.find('~'), std::string::npos) << code;
        EXPECT_TRUE(names.insert(name).second) << code << " -> " << name << " is another code's name";
        EXPECT_EQ(ReportStore::fileNameCode(code), name) << "the same code, another name";
    }
    EXPECT_EQ(ReportStore::fileNameCode("../x").substr(0, 5), "___x~");
}
