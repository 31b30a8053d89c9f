// The tools' command line parser: what each word becomes, in order, and which command lines it
// refuses, with the reason the tool prints before its usage.
#include "OptionParser.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct ParseCase {
    std::vector<const char*> words; // after the program's name
    bool equalsForm;
    std::string taken; // what the handlers saw, in order; empty when refused
    std::string refusal;
};

// Parses as a tool with a repeatable value, a single value, a flag and plain words would.
std::string parse(const ParseCase& c) {
    std::string taken;
    std::string single;
    bool flag = false;
    halvio::tools::OptionParser parser("usage\n");
    parser.value("--listen", [&](const std::string& value) { taken += "listen=" + value + ";"; })
        .value("--single", single)
        .flag("--stdin", flag)
        .words([&](const std::string& word) { taken += "word=" + word + ";"; });
    if (c.equalsForm)
        parser.withEqualsForm();
    std::vector<const char*> argv{"tool"};
    argv.insert(argv.end(), c.words.begin(), c.words.end());
    parser.parse(static_cast<int>(argv.size()), argv.data());
    return taken + "single=" + single + ";stdin=" + (flag ? "yes" : "no");
}

TEST(OptionParser, TakesEachWordAsItsOptionSaysOrRefusesTheLine) {
    const ParseCase cases[] = {
        {{}, false, "single=;stdin=no", ""},
        {{"--listen", "a:1", "out.zip", "--listen", "b:2"},
         false,
         "listen=a:1;word=out.zip;listen=b:2;single=;stdin=no",
         ""},
        {{"--single", "x", "--single", "y"}, false, "single=y;stdin=no", ""},
        {{"--stdin", "--single", "-vorpa"}, false, "single=-vorpa;stdin=yes", ""},
        {{"--single", "--stdin"}, false, "single=--stdin;stdin=no", ""},
        {{"--single=x"}, true, "single=x;stdin=no", ""},
        {{"--single="}, true, "single=;stdin=no", ""},
        {{"--single=x"}, false, "", "unknown option: --single=x"},
        {{"--stdin=x"}, true, "", "unknown option: --stdin"},
        {{"--bogus", "x"}, false, "", "unknown option: --bogus"},
        {{"--listen"}, false, "", "missing value for --listen"},
        {{"out.zip", "--single"}, true, "", "missing value for --single"},
    };
    for (const ParseCase& c : cases) {
        std::string line;
        for (const char* word : c.words)
            line += std::string(word) + " ";
        if (c.refusal.empty()) {
            EXPECT_EQ(parse(c), c.taken) << line;
            continue;
        }
        try {
            parse(c);
            ADD_FAILURE() << "accepted: " << line;
        } catch (const std::invalid_argument& error) {
            EXPECT_EQ(std::string(error.what()), c.refusal) << line;
        }
    }
}

TEST(OptionParser, WithoutWordsAPlainWordIsAnUnknownOption) {
    std::string single;
    halvio::tools::OptionParser parser("usage\n");
    parser.value("--single", single);
    const char* argv[] = {"tool", "stray"};
    EXPECT_THROW(parser.parse(2, argv), std::invalid_argument);
}

TEST(OptionParser, AHandlersOwnRefusalReachesTheCaller) {
    halvio::tools::OptionParser parser("usage\n");
    parser.value("--listen",
                 [](const std::string& value) { throw std::invalid_argument("bad address " + value); });
    const char* argv[] = {"tool", "--listen", "clinic.example:80"};
    try {
        parser.parse(3, argv);
        ADD_FAILURE() << "accepted";
    } catch (const std::invalid_argument& error) {
        EXPECT_EQ(std::string(error.what()), "bad address clinic.example:80");
    }
}

} // namespace
