#include "Files.h"
#include "FileReplacement.h"
#include "SmallDisk.h"
#include "SystemError.h"
#include "SystemTestSupport.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <thread>
#include <vector>

using namespace halvio;
using namespace halvio::platform;

namespace {

// Local times are checked in a zone that is not UTC, so that a local/UTC mix-up shows.
class ParisTime {
public:
    ParisTime() {
        if (const char* tz = std::getenv("TZ"))
            m_saved = tz;
        setenv("TZ", "Europe/Paris", 1);
        tzset();
    }
    ~ParisTime() {
        if (m_saved)
            setenv("TZ", m_saved->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> m_saved;
};

std::int64_t utcSeconds(int year, int month, int day, int hour, int minute, int second) {
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    return static_cast<std::int64_t>(timegm(&parts));
}

std::int64_t storedSeconds(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0);
    return static_cast<std::int64_t>(info.st_mtim.tv_sec);
}

} // namespace

TEST(FileTimes, SetTimeIsStoredAsLocalTimeAndReadsBack) {
    ParisTime paris;
    test::TempFolder folder;
    const std::string file = folder.path("Maj_kliso.new");
    folder.write("Maj_kliso.new", "x");

    struct Case {
        DateTime local;
        std::int64_t utc;
    };
    const Case cases[] = {
        {{2004, 3, 7, 14, 5, 9}, utcSeconds(2004, 3, 7, 13, 5, 9)},       // winter, UTC+1
        {{2023, 7, 14, 23, 59, 59}, utcSeconds(2023, 7, 14, 21, 59, 59)}, // summer, UTC+2
        {{2024, 1, 1, 0, 0, 0}, utcSeconds(2023, 12, 31, 23, 0, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(DateTimeText(c.local));
        EXPECT_TRUE(setLastWriteTime(file, c.local));
        EXPECT_EQ(storedSeconds(file), c.utc);
        EXPECT_EQ(DateTimeText(lastWriteTime(file)), DateTimeText(c.local));
    }
}

TEST(FileTimes, WrittenFileCarriesTheTimeOfWriting) {
    ParisTime paris;
    test::TempFolder folder;
    const std::int64_t before = std::time(nullptr);
    folder.write("copie.exe", "x");
    const std::int64_t after = std::time(nullptr);
    const std::int64_t written = toUnixSeconds(lastWriteTime(folder.path("copie.exe")));
    EXPECT_GE(written, before);
    EXPECT_LE(written, after);
}

TEST(FileTimes, MissingFile) {
    test::TempFolder folder;
    EXPECT_FALSE(setLastWriteTime(folder.path("none"), DateTime{2004, 3, 7, 14, 5, 9}));
    EXPECT_THROW(lastWriteTime(folder.path("none")), SystemError);
}

TEST(WholeFiles, WriteReplacesTheWholeContentByteForByte) {
    test::TempFolder folder;
    const std::string file = folder.path("kliso.ini");
    writeWholeFile(file, "a first content that is longer than the second\r\n");
    const std::string second("beta=O\r\n\0\xE9\xFF", 11);
    writeWholeFile(file, second);
    EXPECT_EQ(readWholeFile(file), second);
}

TEST(WholeFiles, ReadErrorNamesThePath) {
    test::TempFolder folder;
    const std::string file = folder.path("kliso.ini");
    try {
        readWholeFile(file);
        FAIL() << "no error";
    } catch (const SystemError& error) {
        EXPECT_NE(std::string(error.what()).find(file), std::string::npos) << error.what();
    }
    createFolder(file);
    EXPECT_THROW(readWholeFile(file), SystemError);
}

TEST(WholeFiles, WriteErrorNamesThePath) {
    test::TempFolder folder;
    const std::string file = folder.path("missing/update.zip");
    try {
        writeWholeFile(file, "x");
        FAIL() << "no error";
    } catch (const SystemError& error) {
        EXPECT_NE(std::string(error.what()).find(file), std::string::npos) << error.what();
    }
}

TEST(Folders, CreateFolderMakesOneLevel) {
    test::TempFolder folder;
    const std::string update = folder.path("update");
    EXPECT_FALSE(folderExists(update));
    createFolder(update);
    EXPECT_TRUE(folderExists(update));
    EXPECT_FALSE(fileExists(update));
    EXPECT_NO_THROW(createFolder(update));

    folder.write("file", "x");
    EXPECT_TRUE(fileExists(folder.path("file")));
    EXPECT_FALSE(folderExists(folder.path("file")));
    EXPECT_THROW(createFolder(folder.path("file")), SystemError);
    EXPECT_THROW(createFolder(folder.path("a/b")), SystemError);
    EXPECT_FALSE(folderExists(folder.path("a")));
}

TEST(WholeFiles, DeleteFileReportsWhetherItDeleted) {
    test::TempFolder folder;
    folder.write("update.zip", "x");
    EXPECT_TRUE(deleteFile(folder.path("update.zip")));
    EXPECT_FALSE(fileExists(folder.path("update.zip")));
    EXPECT_FALSE(deleteFile(folder.path("update.zip")));
}

TEST(WholeFiles, MakeExecutableAddsExecutePermission) {
    test::TempFolder folder;
    const std::string file = folder.path("copie.exe");
    writeWholeFile(file, "x");
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    makeExecutable(file);
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0751u);
    EXPECT_THROW(makeExecutable(folder.path("none")), SystemError);
}

TEST(AtomicFiles, ReplacesTheContentKeepsThePermissionsAndLeavesNothingBeside) {
    test::TempFolder folder;
    const std::string file = folder.path("halvio.exe");
    replaceFileAtomically(file, "a first program, longer than the second");
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"halvio.exe"});
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);

    ASSERT_EQ(::chmod(file.c_str(), 0751), 0);
    const std::string second("MZ\0\x90\xff\r\n", 7);
    replaceFileAtomically(file, second);
    EXPECT_EQ(readWholeFile(file), second);
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0751u);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"halvio.exe"});
}

// Whatever stops the writing, the file at the target stays as it was and no temporary is left.
TEST(AtomicFiles, FailureLeavesTheTargetAsItWasAndNoTemporary) {
    struct Case {
        const char* what;
        std::function<std::string(test::TempFolder&)> prepare; // returns the target
        std::size_t bytes;
        const char* reason; // in the error, with the target's path
    };
    const std::vector<Case> cases = {
        {"a folder stands at the target",
         [](test::TempFolder& folder) {
             createFolder(folder.path("halvio.exe"));
             folder.write("halvio.exe/inside", "kept");
             return folder.path("halvio.exe");
         },
         10, "Is a directory"},
        {"the folder of the target is missing",
         [](test::TempFolder& folder) { return folder.path("update/halvio.exe"); }, 10,
         "No such file or directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempFolder folder;
        const std::string target = c.prepare(folder);
        const std::vector<std::string> before = folder.entries();
        try {
            replaceFileAtomically(target, std::string(c.bytes, 'n'));
            ADD_FAILURE() << "no error";
        } catch (const SystemError& error) {
            EXPECT_NE(std::string(error.what()).find(target), std::string::npos) << error.what();
            EXPECT_NE(std::string(error.what()).find(c.reason), std::string::npos) << error.what();
        }
        EXPECT_EQ(folder.entries(), before);
    }
}

// A package of tens of MiB takes its writer well over the idle interval to write and flush, so
// the idle function is reached while it lasts.
constexpr std::size_t kLargeFile = std::size_t{64} << 20;

TEST(AtomicFiles, WithAnIdleFunctionTheFileIsWrittenWholeWhileTheCallerIdles) {
    test::TempFolder folder;
    const std::string file = folder.path("CLIENT.ZIP");
    std::string bytes(kLargeFile, 'z');
    bytes.back() = 'e';
    const std::thread::id caller = std::this_thread::get_id();
    int idleCalls = 0;
    bool idleElsewhere = false;
    replaceFileAtomically(file, bytes, [&] {
        ++idleCalls;
        idleElsewhere = idleElsewhere || std::this_thread::get_id() != caller;
    });
    EXPECT_GT(idleCalls, 0);
    EXPECT_FALSE(idleElsewhere);
    EXPECT_TRUE(readWholeFile(file) == bytes);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"CLIENT.ZIP"});
}

TEST(AtomicFiles, AnIdleFunctionThatThrowsAbandonsTheWritingAndLeavesTheTarget) {
    test::TempFolder folder;
    const std::string file = folder.path("CLIENT.ZIP");
    replaceFileAtomically(file, "the previous package");
    try {
        replaceFileAtomically(file, std::string(kLargeFile, 'n'), [] { throw std::runtime_error("closed"); });
        ADD_FAILURE() << "the idle function's exception was lost";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "closed");
    }
    EXPECT_EQ(readWholeFile(file), "the previous package");
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"CLIENT.ZIP"});
}

TEST(AtomicFiles, FullDiskLeavesThePreviousFileWholeAndNoTemporary) {
    if (!test::SmallDisk::available())
        GTEST_SKIP() << "needs root to mount a small disk";
    test::TempFolder folder;
    createFolder(folder.path("update"));
    test::SmallDisk disk(folder.path("update"));
    const std::string target = disk.folder() + "/halvio.exe";
    const std::string previous(1 << 20, 'p');
    replaceFileAtomically(target, previous);

    const std::string larger(disk.freeBytes() + (1 << 20), 'n');
    // Written on the calling thread, or on a worker while the caller idles: the same failure.
    const std::vector<std::function<void()>> idles = {nullptr, [] {}};
    for (const auto& idle : idles) {
        SCOPED_TRACE(idle ? "with an idle function" : "without an idle function");
        try {
            replaceFileAtomically(target, larger, idle);
            FAIL() << "a file larger than the free space was written";
        } catch (const SystemError& error) {
            EXPECT_NE(std::string(error.what()).find(target), std::string::npos) << error.what();
            EXPECT_NE(std::string(error.what()).find("No space left on device"), std::string::npos)
                << error.what();
        }
        EXPECT_EQ(readWholeFile(target), previous);
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(disk.folder()))
            names.push_back(entry.path().filename().string());
        EXPECT_EQ(names, std::vector<std::string>{"halvio.exe"});
    }

    // What fits once the previous file is counted is written whole.
    const std::string fitting(disk.freeBytes() - (64 << 10), 'f');
    replaceFileAtomically(target, fitting);
    EXPECT_EQ(readWholeFile(target), fitting);
}

// A file written piece by piece as it arrives: the target keeps its previous bytes until the commit,
// a restart drops what was written, and the committed file is exactly what followed the restart,
// across the pieces handed to the disk on the way.
TEST(FileReplacements, TheTargetChangesOnlyAtTheCommitToWhatFollowedTheLastRestart) {
    // A package file is Cached (read once, then deleted), a program file Flushed: readers see the same.
    for (const Durability durability : {Durability::Flushed, Durability::Cached}) {
        SCOPED_TRACE(durability == Durability::Flushed ? "flushed" : "cached");
        test::TempFolder folder;
        const std::string file = folder.path("halvio.zip");
        folder.write("halvio.zip", "the previous package");
        ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
        const std::string dropped(FileReplacement::kWritePiece + 12345, 'd');
        std::string kept(2 * FileReplacement::kWritePiece + 777, 'k');
        kept.front() = 'P';
        kept.back() = 'e';

        FileReplacement replacement(file, durability);
        replacement.append(dropped);
        ASSERT_EQ(folder.entries().size(), 2u);
        const std::string temporary = folder.entries()[0];
        EXPECT_EQ(temporary.rfind(".halvio.zip.", 0), 0u) << temporary;
        EXPECT_EQ(folder.read(temporary), dropped);
        replacement.restart();
        EXPECT_EQ(replacement.size(), 0u);
        for (std::size_t offset = 0; offset < kept.size(); offset += 65536) // as an HTTP body arrives
            replacement.append(std::string_view(kept).substr(offset, 65536));
        EXPECT_EQ(replacement.size(), kept.size());
        EXPECT_EQ(readWholeFile(file), "the previous package");

        replacement.commit();
        EXPECT_TRUE(readWholeFile(file) == kept);
        EXPECT_EQ(folder.entries(), std::vector<std::string>{"halvio.zip"});
        struct stat info {};
        ASSERT_EQ(::stat(file.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0640u);
        EXPECT_THROW(replacement.append("more"), std::logic_error);
    }
}

TEST(FileReplacements, AReplacementNotCommittedLeavesTheTargetAndNoTemporary) {
    test::TempFolder folder;
    folder.write("halvio.zip", "the previous package");
    {
        FileReplacement replacement(folder.path("halvio.zip"));
        replacement.append(std::string(100000, 'n'));
        EXPECT_EQ(folder.entries().size(), 2u);
    }
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"halvio.zip"});
    EXPECT_EQ(folder.read("halvio.zip"), "the previous package");
    {
        FileReplacement unused(folder.path("new.zip")); // nothing written at all
    }
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"halvio.zip"});
}

// The disk fills in the middle of a file arriving in pieces: the piece that does not fit fails,
// the previous file stays whole, and a restart gives the space back for a file that fits.
TEST(FileReplacements, ADiskThatFillsMidWayFailsThatPieceAndARestartFreesTheSpace) {
    if (!test::SmallDisk::available())
        GTEST_SKIP() << "needs root to mount a small disk";
    test::TempFolder folder;
    createFolder(folder.path("update"));
    test::SmallDisk disk(folder.path("update"));
    const std::string target = disk.folder() + "/halvio.zip";
    const std::string previous(1 << 20, 'p');
    replaceFileAtomically(target, previous);
    const auto names = [&] {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(disk.folder()))
            found.push_back(entry.path().filename().string());
        return found;
    };

    std::string fitting;
    {
        FileReplacement replacement(target);
        const std::string piece(65536, 'n');
        std::size_t written = 0;
        try {
            for (; written < test::SmallDisk::kSize; written += piece.size())
                replacement.append(piece);
            FAIL() << "more than the disk holds was written";
        } catch (const SystemError& error) {
            EXPECT_NE(std::string(error.what()).find(target), std::string::npos) << error.what();
            EXPECT_NE(std::string(error.what()).find("No space left on device"), std::string::npos)
                << error.what();
        }
        EXPECT_GT(written, 0u) << "the disk was full before the first piece";
        EXPECT_EQ(readWholeFile(target), previous);

        replacement.restart();
        fitting.assign(disk.freeBytes() - (64 << 10), 'f');
        replacement.append(fitting);
        replacement.commit();
        EXPECT_EQ(readWholeFile(target), fitting);
    }
    EXPECT_EQ(names(), std::vector<std::string>{"halvio.zip"});

    {
        FileReplacement replacement(target);
        EXPECT_THROW(replacement.append(std::string(test::SmallDisk::kSize, 'n')), SystemError);
    }
    EXPECT_EQ(names(), std::vector<std::string>{"halvio.zip"});
    EXPECT_TRUE(readWholeFile(target) == fitting);
}
