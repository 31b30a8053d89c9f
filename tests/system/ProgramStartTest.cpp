#include "ProgramStart.h"
#include "SystemTestSupport.h"

#include <QTest>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using namespace halvio;
using namespace halvio::platform;

namespace {

// Reports its pid, then waits for "go" so the test can look at it while it runs, then reports its
// folder, arguments, starter and where its output goes.
const char* const kReportingTool = "output=$(readlink /proc/$$/fd/1)\n"
                                   "echo $$ > pid.tmp; mv pid.tmp pid\n"
                                   "while [ ! -e go ]; do sleep 0.02; done\n"
                                   "{ pwd; echo \"$*\"; echo \"$HALVIO_STARTER_PID\"; echo \"$output\"; } "
                                   "> report.tmp; mv report.tmp report\n";

std::string firstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

} // namespace

TEST(ProgramStart, StartsTheExeOfTheNameDetachedInTheFolder) {
    test::TempFolder folder;
    folder.writeScript("tool.exe", kReportingTool);

    ASSERT_TRUE(startProgram("tool  first second", folder.path()));
    ASSERT_TRUE(test::waitForCompleteFile(folder.path("pid")));
    const pid_t pid = std::stoi(folder.read("pid"));
    EXPECT_EQ(getsid(pid), pid) << "not in a session of its own";

    folder.write("go", "");
    ASSERT_TRUE(test::waitForCompleteFile(folder.path("report")));
    EXPECT_EQ(folder.read("report"),
              folder.path() + "\nfirst second\n" + std::to_string(getpid()) + "\n/dev/null\n");
}

TEST(ProgramStart, KeepsRunningAfterItsCallerEnded) {
    test::TempFolder folder;
    folder.writeScript("copie.exe", kReportingTool);

    const pid_t caller = fork();
    ASSERT_GE(caller, 0);
    if (caller == 0)
        _exit(startProgram("copie maj_kliso.new maj_kliso.exe", folder.path()) ? 0 : 1);
    int status = 0;
    ASSERT_EQ(waitpid(caller, &status, 0), caller);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0) << "startProgram failed in the caller";

    // The tool only writes its report once told to, which is after its caller has gone.
    folder.write("go", "");
    ASSERT_TRUE(test::waitForCompleteFile(folder.path("report")));
    const std::string report = folder.read("report");
    EXPECT_EQ(report,
              folder.path() + "\nmaj_kliso.new maj_kliso.exe\n" + std::to_string(caller) + "\n/dev/null\n");
}

TEST(ProgramStart, LooksForTheExactNameFirstAndOnlyInTheFolder) {
    struct Case {
        std::vector<std::string> files;
        const char* commandLine;
        const char* started; // nullptr: nothing starts
    };
    const Case cases[] = {
        {{"tool", "tool.exe"}, "tool", "tool"},
        {{"tool.exe"}, "tool", "tool.exe"},
        {{"tool.exe"}, "tool.exe", "tool.exe"},
        {{"tool.exe"}, "other", nullptr},
        {{"tool"}, "tool.exe", nullptr},
        {{}, "sh -c true", nullptr}, // no search path: only the given folder counts
        {{"tool"}, "", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.commandLine);
        test::TempFolder folder;
        for (const std::string& name : c.files)
            folder.writeScript(name, "echo " + name + " > which.tmp; mv which.tmp which\n");
        EXPECT_EQ(startProgram(c.commandLine, folder.path()), c.started != nullptr);
        if (c.started) {
            ASSERT_TRUE(test::waitForCompleteFile(folder.path("which")));
            EXPECT_EQ(firstLine(folder.read("which")), c.started);
        }
    }
}

TEST(ProgramStart, FileThatCannotRunIsNotStarted) {
    test::TempFolder folder;
    folder.write("copie.exe", "not a program");
    EXPECT_FALSE(startProgram("copie maj_kliso.new maj_kliso.exe", folder.path()));
}
