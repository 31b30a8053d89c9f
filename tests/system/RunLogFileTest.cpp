// The run-wide log file on a real file system: the renaming that bounds it within a run that logs
// without end, and failures to write that must never reach the run.
#include "RunLogFile.h"
#include "SystemTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/mount.h>
#include <unistd.h>

using namespace halvio;
using halvio::platform::RunLogFile;

namespace {

TEST(RunLogFile, ARunThatLogsWithoutEndIsCutAtTheRunawayLimit) {
    test::TempFolder folder;
    RunLogFile log(folder.path("maj_kliso.log"));
    log.startRun("start");
    const std::string block(64 * 1024 - 1, 'e');
    const std::uintmax_t blockSize = block.size() + 22;
    for (std::uintmax_t written = 0; written < RunLogFile::kRunawayLimit + 4 * blockSize;
         written += blockSize)
        log.append(block);

    const auto current = std::filesystem::file_size(log.path());
    const auto previous = std::filesystem::file_size(log.previousPath());
    EXPECT_LE(previous, RunLogFile::kRunawayLimit + blockSize);
    EXPECT_GE(previous, RunLogFile::kRunawayLimit);
    EXPECT_LE(current, 5 * blockSize);
    EXPECT_EQ(folder.read("maj_kliso.log.1").substr(19, 8), " start\r\n");

    // A file under the runaway limit but past the run limit is renamed at the next run only.
    log.startRun("next");
    EXPECT_EQ(std::filesystem::file_size(log.path()),
              current + std::string("yyyy.mm.dd hh:nn:ss next\r\n").size());
    EXPECT_EQ(folder.read("maj_kliso.log.1").size(), previous);
}

TEST(RunLogFile, AFileThatCannotBeWrittenIsLeftAloneWithoutAnError) {
    test::TempFolder folder;
    RunLogFile missingFolder(folder.path("absent/maj_kliso.log"));
    missingFolder.startRun("start");
    missingFolder.append("line");
    EXPECT_FALSE(folder.exists("absent"));

    // A folder in the file's place.
    std::filesystem::create_directory(folder.path("maj_kliso.log"));
    RunLogFile folderInPlace(folder.path("maj_kliso.log"));
    folderInPlace.startRun("start");
    folderInPlace.append("line");
    EXPECT_TRUE(std::filesystem::is_directory(folder.path("maj_kliso.log")));
}

TEST(RunLogFile, AFullDiskLosesLinesButNeverStopsTheRun) {
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    test::TempFolder folder;
    const std::string disk = folder.path("disk");
    std::filesystem::create_directory(disk);
    ASSERT_EQ(::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k"), 0);
    struct Unmount {
        std::string path;
        ~Unmount() { ::umount(path.c_str()); }
    } unmount{disk};

    RunLogFile log(disk + "/maj_kliso.log");
    log.startRun("start");
    const std::string block(1000, 'f');
    for (int i = 0; i < 200; ++i)
        log.append(block);
    // The disk filled up on the way (an exception escaping would have ended the test process).
    const auto size = std::filesystem::file_size(log.path());
    EXPECT_GT(size, 30000u);
    EXPECT_LE(size, 64u * 1024u);
}

} // namespace
