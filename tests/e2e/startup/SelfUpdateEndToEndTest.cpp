// The updater replacing itself through the real programs: maj_kliso.exe started in a prepared
// folder finds a newer build of itself in MAJ, the user answers its notice on a private X server,
// the real copy tool it starts puts the new build in place and starts it, and that start finds
// nothing newer.
#include "ChildProcesses.h"
#include "StartupFolder.h"
#include "VirtualDisplay.h"

#include "DateTime.h"
#include "Files.h"
#include "ServiceHosts.h"

#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <chrono>

using namespace halvio;
using namespace halvio::test;

namespace {

using namespace std::chrono_literals;

constexpr std::chrono::milliseconds kStepLimit = 60s;
constexpr int kStepLimitMs = static_cast<int>(kStepLimit.count());
const DateTime kProgramTime{2021, 6, 15, 10, 20, 30};
const std::string kBinaries = std::string(HALVIO_BINARY_DIR) + "/bin/";

// Members go in reverse order: the display, then every process still running (the restarted
// updater, adopted when the copy tool ends), then the folder they ran in.
class SelfUpdateEndToEnd : public ::testing::Test {
protected:
    StartupFolder folder{mainServer()};
    ChildProcesses processes;
    VirtualDisplay display{processes};
};

} // namespace

TEST_F(SelfUpdateEndToEnd, TheCopyToolPutsTheNewerBuildInPlaceAndItsStartFindsNothingNewer) {
    const std::string installed = platform::readWholeFile(kBinaries + "maj_kliso.exe");
    // A newer build: the same program with bytes after its end, which the loader ignores.
    const std::string newer = installed + "\nbuild of 2021.06.15 10:20:31\n";
    const std::string copyTool = platform::readWholeFile(kBinaries + "copie.exe");
    platform::writeWholeFile(folder.programFile(), installed);
    platform::makeExecutable(folder.programFile());
    ASSERT_TRUE(platform::setLastWriteTime(folder.programFile(), kProgramTime));
    folder.addMajRow("MAJ_KLISO", "2021.06.15 10:20:31 ", newer);
    folder.addMajRow("COPIE", "2021.01.01 00:00:00 ", copyTool);
    const std::string noticeTitle = std::string(hosts::kVendorShortName) + "  Information!";

    SpawnOptions options;
    options.arguments = {folder.programFile()};
    // The updater's own environment, without what would change its course or the copy tool's.
    options.environment = display.environmentFor({"QT_QPA_PLATFORM=xcb"});
    options.workingDirectory = folder.path();
    const pid_t updater = processes.start(options);

    std::vector<std::string> notice;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            notice = display.windowsTitled(noticeTitle);
            return !notice.empty() || processes.hasEnded(updater);
        },
        kStepLimitMs))
        << "no notice of a newer updater";
    ASSERT_EQ(notice.size(), 1u) << "the updater ended without its notice";
    EXPECT_FALSE(platform::fileExists(folder.file("Maj_kliso.new")));
    ASSERT_TRUE(display.pressReturnIn(
        noticeTitle, [&] { return !processes.hasEnded(updater); }, kStepLimit))
        << display.state();

    ASSERT_TRUE(processes.waitEnded(updater, kStepLimit)) << "the updater did not end after its notice";
    // 128 + the signal's number for an updater that did not exit normally.
    EXPECT_EQ(processes.exitCode(updater), 0);
    EXPECT_EQ(platform::readWholeFile(folder.file("copie.exe")), copyTool);
    EXPECT_EQ(platform::readWholeFile(folder.file("Maj_kliso.new")), newer);
    EXPECT_EQ(DateTimeText(platform::lastWriteTime(folder.file("Maj_kliso.new"))), "2021.06.15 10:20:31");

    ASSERT_TRUE(
        QTest::qWaitFor([&] { return platform::readWholeFile(folder.programFile()) == newer; }, kStepLimitMs))
        << "the copy tool did not replace maj_kliso.exe";
    EXPECT_GE(DateTimeText(platform::lastWriteTime(folder.programFile())), "2021.06.15 10:20:31");

    // The copy tool starts the new build; it passes the check and goes on to the column check,
    // which adds SETUP.ESCOMPTE.
    std::vector<pid_t> restarted;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            restarted = processes.childrenRunning(folder.programFile());
            return !restarted.empty();
        },
        kStepLimitMs))
        << "the copy tool did not start the new build";
    ASSERT_TRUE(QTest::qWaitFor([&] { return folder.setupHasColumn("ESCOMPTE"); }, kStepLimitMs))
        << "the next start did not get past the check";
    EXPECT_TRUE(display.windowsTitled(noticeTitle).empty());
    EXPECT_EQ(processes.childrenRunning(folder.programFile()), restarted) << "the next start ended";
    EXPECT_EQ(platform::readWholeFile(folder.programFile()), newer);
    EXPECT_EQ(DateTimeText(platform::lastWriteTime(folder.file("Maj_kliso.new"))), "2021.06.15 10:20:31");
    EXPECT_FALSE(platform::fileExists(folder.file("maj_kliso.err")));
    for (pid_t pid : restarted)
        processes.kill(pid);
}
