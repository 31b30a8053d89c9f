// What the unpacking relies on when a package cannot be read: every failure is a ZipError naming the
// archive, and the archive file is released when the reader closes.
#include "ZipTestFiles.h"

#include "ZipError.h"
#include "ZipReader.h"
#include "ZipWriter.h"

#include <QTemporaryDir>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

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
