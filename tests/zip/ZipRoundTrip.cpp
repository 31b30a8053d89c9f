// Archives written by the package writer and by the system's zip command read back byte for byte.
#include "ZipTestFiles.h"

#include "ZipError.h"
#include "ZipReader.h"
#include "ZipWriter.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <stdexcept>

using halvio::platform::ZipError;
using halvio::platform::ZipReader;
using halvio::platform::ZipWriter;
using namespace halvio::test;

namespace {

const std::string kPackagePassword = "-vorpa";

std::string allByteValues() {
    std::string bytes;
    for (int value = 0; value < 256; ++value)
        bytes += static_cast<char>(value);
    return bytes;
}

std::string scriptText(std::size_t lines) {
    std::string text;
    for (std::size_t i = 0; i < lines; ++i)
        text += "update md set actif=1 where id=" + std::to_string(i) + " and nom='\xC9lise'\r\n";
    return text;
}

struct RoundTripCase {
    const char* label;
    std::string content;
};

class ZipRoundTrip : public ::testing::TestWithParam<RoundTripCase> {
protected:
    QTemporaryDir m_dir;
    std::string path(const char* name) const { return m_dir.filePath(name).toStdString(); }
};

TEST_P(ZipRoundTrip, EncryptedEntryReadsBackWithThePackagePassword) {
    const std::string archivePath = path("package.zip");
    ZipWriter writer(kPackagePassword);
    writer.addEntry("content.bin", GetParam().content);
    writer.writeTo(archivePath);

    ZipReader reader;
    reader.setPassword(kPackagePassword);
    reader.open(archivePath);
    EXPECT_EQ(reader.entryName(0), "content.bin");
    const std::string content = reader.extract(reader.entryName(0));
    reader.close();
    ASSERT_EQ(content.size(), GetParam().content.size());
    EXPECT_TRUE(content == GetParam().content);

    // The entry really is encrypted: without the password it cannot be read.
    ZipReader withoutPassword;
    withoutPassword.open(archivePath);
    EXPECT_THROW(withoutPassword.extractFirst(), ZipError);
}

INSTANTIATE_TEST_SUITE_P(Contents, ZipRoundTrip,
                         ::testing::Values(RoundTripCase{"every_byte_value", allByteValues()},
                                           RoundTripCase{"empty", std::string()},
                                           RoundTripCase{"noise_5_MiB", noiseBytes(5u << 20, 7)},
                                           RoundTripCase{"script_3_MiB", scriptText(50000)}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(ZipEntries, OnlyTheFirstEntryOfSeveralIsThePackageContent) {
    QTemporaryDir dir;
    const std::string archivePath = dir.filePath("several.zip").toStdString();
    ZipWriter writer(kPackagePassword);
    writer.addEntry("zz_first.sql", "update setup set km=1\r\n");
    writer.addEntry("aa_second.txt", "second entry");
    writer.addEntry("third.bin", allByteValues());
    writer.writeTo(archivePath);

    ZipReader reader;
    reader.setPassword(kPackagePassword);
    reader.open(archivePath);
    EXPECT_EQ(reader.entryCount(), 3u);
    EXPECT_EQ(reader.entryName(0), "zz_first.sql");
    EXPECT_EQ(reader.entryName(2), "third.bin");
    EXPECT_EQ(reader.extractFirst(), "update setup set km=1\r\n");
    EXPECT_EQ(reader.extract("aa_second.txt"), "second entry");
    EXPECT_THROW(reader.extract("missing.txt"), ZipError);
    EXPECT_THROW(reader.entryName(3), ZipError);
}

TEST(ZipEntries, ReaderCanBeReopenedOnAnotherArchive) {
    QTemporaryDir dir;
    const std::string first = dir.filePath("a.zip").toStdString();
    const std::string second = dir.filePath("b.zip").toStdString();
    ZipWriter a(kPackagePassword);
    a.addEntry("a", "first archive");
    a.writeTo(first);
    ZipWriter b(kPackagePassword);
    b.addEntry("b", "second archive");
    b.writeTo(second);

    ZipReader reader;
    reader.setPassword(kPackagePassword);
    reader.open(first);
    EXPECT_EQ(reader.extractFirst(), "first archive");
    reader.open(second);
    EXPECT_FALSE(processHoldsFile(first));
    EXPECT_EQ(reader.extractFirst(), "second archive");
}

// The package password begins with "-"; zip takes it either as the argument after -P or in --password=.
class SystemZipArchive : public ::testing::TestWithParam<QStringList> {};

TEST_P(SystemZipArchive, ReadsBack) {
    QTemporaryDir dir;
    const std::string content = scriptText(2000) + allByteValues();
    writeBytes(dir.filePath("SQL_FIX.sql").toStdString(), content);

    QProcess zip;
    zip.setWorkingDirectory(dir.path());
    zip.start("zip", GetParam() + QStringList{"-q", "out.zip", "SQL_FIX.sql"});
    ASSERT_TRUE(zip.waitForFinished(60000));
    ASSERT_EQ(zip.exitStatus(), QProcess::NormalExit);
    ASSERT_EQ(zip.exitCode(), 0) << zip.readAllStandardError().toStdString();

    ZipReader reader;
    reader.setPassword(kPackagePassword);
    reader.open(dir.filePath("out.zip").toStdString());
    EXPECT_EQ(reader.entryName(0), "SQL_FIX.sql");
    EXPECT_TRUE(reader.extractFirst() == content);

    reader.setPassword("vorpa");
    EXPECT_THROW(reader.extractFirst(), ZipError);
}

INSTANTIATE_TEST_SUITE_P(PasswordForms, SystemZipArchive,
                         ::testing::Values(QStringList{"-P", "-vorpa"}, QStringList{"--password=-vorpa"}),
                         [](const auto& info) {
                             return info.index == 0 ? std::string("P_option") : "long_option";
                         });

} // namespace

// A large entry is read in pieces with the idle function between them; the bytes are the same as
// without one, and an idle function that throws stops the extraction with its error.
TEST(ZipExtractionIdle, RunsBetweenThePiecesOfALargeEntry) {
    QTemporaryDir dir;
    const std::string archivePath = dir.filePath("large.zip").toStdString();
    const std::string content = noiseBytes((3u << 20) + 5, 7);
    ZipWriter writer(kPackagePassword);
    writer.addEntry("large.bin", content);
    writer.writeTo(archivePath);

    ZipReader reader;
    reader.setPassword(kPackagePassword);
    int idleCalls = 0;
    reader.setIdle([&] { ++idleCalls; });
    reader.open(archivePath);
    EXPECT_TRUE(reader.extract("large.bin") == content);
    EXPECT_EQ(idleCalls, 13); // twelve whole pieces of 256 KiB and the last five bytes

    reader.setIdle([] { throw std::runtime_error("stopped"); });
    EXPECT_THROW(reader.extract("large.bin"), std::runtime_error);
}
