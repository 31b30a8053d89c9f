// What the unpacking relies on when a package cannot be read: every failure is a ZipError naming the
// archive, and the archive file is released when the reader closes.
#include "ZipTestFiles.h"

#include "ZipError.h"
#include "ZipReader.h"
#include "ZipWriter.h"

#include <QTemporaryDir>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>

using halvio::platform::ZipError;
using halvio::platform::ZipReader;
using halvio::platform::ZipWriter;
using namespace halvio::test;

namespace {

const std::string kPackagePassword = "-vorpa";

class ZipFailures : public ::testing::Test {
protected:
    std::string path(const char* name) const { return m_dir.filePath(name).toStdString(); }

    std::string writePackage(const char* name, const std::string& content,
                             const std::string& password = kPackagePassword) const {
        ZipWriter writer(password);
        writer.addEntry("content.bin", content);
        writer.writeTo(path(name));
        return path(name);
    }

    // Opens and extracts the first entry as the unpacking does; returns the error's message.
    static std::string unpackError(const std::string& archivePath, const std::string& password) {
        ZipReader reader;
        reader.setPassword(password);
        try {
            reader.open(archivePath);
            reader.extractFirst();
        } catch (const ZipError& error) {
            return error.what();
        }
        return {};
    }

    QTemporaryDir m_dir;
};

TEST_F(ZipFailures, WrongPasswordIsAnError) {
    const std::string archivePath = writePackage("p.zip", noiseBytes(70000, 3));
    for (const std::string password : {"vorpa", "-VORPA", "-vorpa ", "x", ""}) {
        const std::string message = unpackError(archivePath, password);
        EXPECT_FALSE(message.empty()) << "password '" << password << "' was accepted";
        EXPECT_NE(message.find(archivePath), std::string::npos) << message;
    }
}

TEST_F(ZipFailures, DamagedArchivesAreErrors) {
    const std::string good = readBytes(writePackage("good.zip", noiseBytes(200000, 11)));
    // Unencrypted and made of incompressible bytes, the entry is a stored deflate block: a changed byte
    // in the middle is caught by nothing but the CRC at the end of the entry.
    const std::string plain = readBytes(writePackage("plain.zip", noiseBytes(200000, 12), ""));

    struct Damage {
        const char* label;
        std::string bytes;
        std::string password;
    };
    std::string flippedPlain = plain;
    flippedPlain[plain.size() / 2] = static_cast<char>(flippedPlain[plain.size() / 2] ^ 0x01);
    std::string flippedEncrypted = good;
    flippedEncrypted[good.size() / 2] = static_cast<char>(flippedEncrypted[good.size() / 2] ^ 0x40);
    const Damage cases[] = {
        {"empty file", std::string(), kPackagePassword},
        {"garbage", noiseBytes(4096, 5), kPackagePassword},
        {"cut in half", good.substr(0, good.size() / 2), kPackagePassword},
        {"last byte missing", good.substr(0, good.size() - 1), kPackagePassword},
        {"byte changed, encrypted", flippedEncrypted, kPackagePassword},
        {"byte changed, unencrypted", flippedPlain, ""},
    };
    for (const Damage& damage : cases) {
        const std::string archivePath = path("damaged.zip");
        writeBytes(archivePath, damage.bytes);
        EXPECT_FALSE(unpackError(archivePath, damage.password).empty()) << damage.label;
    }
    EXPECT_TRUE(unpackError(path("plain.zip"), "").empty());
}

TEST_F(ZipFailures, MissingFileIsAnError) {
    const std::string missing = path("missing.zip");
    EXPECT_NE(unpackError(missing, kPackagePassword).find("missing.zip"), std::string::npos);
}

TEST_F(ZipFailures, EmptyArchiveOpensButHasNoFirstEntry) {
    ZipWriter().writeTo(path("empty.zip"));
    ZipReader reader;
    reader.setPassword(kPackagePassword);
    reader.open(path("empty.zip"));
    EXPECT_EQ(reader.entryCount(), 0u);
    EXPECT_THROW(reader.entryName(0), ZipError);
    EXPECT_THROW(reader.extractFirst(), ZipError);
}

TEST_F(ZipFailures, NothingCanBeReadBeforeOpenOrAfterClose) {
    ZipReader reader;
    EXPECT_THROW(reader.entryName(0), ZipError);
    reader.setPassword(kPackagePassword);
    reader.open(writePackage("p.zip", "x"));
    reader.close();
    EXPECT_FALSE(reader.isOpen());
    EXPECT_THROW(reader.extractFirst(), ZipError);
    reader.close();
}

TEST_F(ZipFailures, ArchiveFileIsReleasedOnCloseAndOnDestruction) {
    const std::string archivePath = writePackage("p.zip", "package content");
    const std::vector<std::pair<const char*, std::function<void(std::unique_ptr<ZipReader>&)>>> endings = {
        {"close", [](std::unique_ptr<ZipReader>& reader) { reader->close(); }},
        {"destruction", [](std::unique_ptr<ZipReader>& reader) { reader.reset(); }},
    };
    for (const auto& [label, end] : endings) {
        auto reader = std::make_unique<ZipReader>();
        reader->setPassword(kPackagePassword);
        reader->open(archivePath);
        EXPECT_EQ(reader->extractFirst(), "package content");
        ASSERT_TRUE(processHoldsFile(archivePath)) << label;
        end(reader);
        EXPECT_FALSE(processHoldsFile(archivePath)) << label;
    }
    EXPECT_TRUE(std::filesystem::remove(archivePath));
}

TEST_F(ZipFailures, FailedOpenLeavesNoArchiveHeld) {
    const std::string archivePath = writePackage("p.zip", "content");
    writeBytes(path("bad.zip"), "not an archive");
    ZipReader reader;
    reader.setPassword(kPackagePassword);
    reader.open(archivePath);
    EXPECT_THROW(reader.open(path("bad.zip")), ZipError);
    EXPECT_FALSE(reader.isOpen());
    EXPECT_FALSE(processHoldsFile(archivePath));
}

} // namespace

namespace {

// The archive with its first entry's uncompressed size replaced, in its local header and in the
// central directory alike, as a damaged or hostile archive would record it.
std::string withRecordedSize(std::string archive, std::uint32_t size) {
    const auto put = [&](std::size_t at) {
        for (int i = 0; i < 4; ++i)
            archive[at + static_cast<std::size_t>(i)] = static_cast<char>((size >> (8 * i)) & 0xff);
    };
    const std::size_t local = archive.find("PK\x03\x04");
    const std::size_t central = archive.find("PK\x01\x02");
    if (local == std::string::npos || central == std::string::npos)
        throw std::logic_error("not a ZIP archive");
    put(local + 22);
    put(central + 24);
    return archive;
}

// The peak of this process's resident memory, VmHWM, in bytes; resetPeak() starts it again from now.
std::size_t peakResident() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stoul(line.substr(6)) * 1024;
    throw std::runtime_error("no VmHWM");
}
void resetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

} // namespace

TEST_F(ZipFailures, FirstEntryThatIsAFolderIsNoFile) {
    ZipWriter writer(kPackagePassword);
    writer.addFolder("programme/");
    writer.addEntry("programme/halvio.exe", "MZ program");
    writer.writeTo(path("folder.zip"));
    const std::string message = unpackError(path("folder.zip"), kPackagePassword);
    EXPECT_NE(message.find("programme/ is not a file"), std::string::npos) << message;
}

// The size an entry records is a claim: memory follows the bytes that really inflate, and an entry
// that does not inflate to exactly its recorded size is an error.
TEST_F(ZipFailures, RecordedSizeThatIsNotTheTruthIsAnErrorAndCostsNoMemory) {
    const std::string content = noiseBytes(1000, 21);
    ZipWriter writer(kPackagePassword);
    writer.addEntry("a", content);
    writer.writeTo(path("honest.zip"));
    const std::string honest = readBytes(path("honest.zip"));
    ZipWriter tinyWriter;
    tinyWriter.addEntry("a", "x");
    tinyWriter.writeTo(path("tiny.zip"));
    const std::string tiny = readBytes(path("tiny.zip"));
    ASSERT_LT(tiny.size(), 200u);

    struct Case {
        const char* what;
        std::string archive;
        std::string password;
        const char* reason;
    };
    const Case cases[] = {
        {"a tiny archive claims 2 GiB", withRecordedSize(tiny, 0x7ffffff0), "", "shorter"},
        {"an encrypted entry claims 2 GiB", withRecordedSize(honest, 0x7ffffff0), kPackagePassword,
         "shorter"},
        {"an entry claims less than it holds", withRecordedSize(honest, 10), kPackagePassword, "longer"},
        {"an entry claims more than a blob holds", withRecordedSize(tiny, 0x80000000u), "", "too large"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeBytes(path("claim.zip"), c.archive);
        resetPeak();
        const std::size_t before = peakResident();
        const std::string message = unpackError(path("claim.zip"), c.password);
        EXPECT_NE(message.find(c.reason), std::string::npos) << message;
        EXPECT_LT(peakResident() - before, std::size_t{16} << 20);
    }
    EXPECT_TRUE(unpackError(path("honest.zip"), kPackagePassword).empty());
}
