// Package steps that fail once the package file has arrived, run by the transfer procedure against
// real loopback hosts, real archives, the clinic database and a real file system (a small tmpfs for
// a full disk, which needs root). Each fault must leave the package unrecorded, so that the next run
// fetches it again, leave no cut or temporary file behind, end the run through the failed-package
// path unstamped, and tell the clinic in French what failed.
#include "ConnectionSecrets.h"
#include "Fonction.h"
#include "InstallFixture.h"
#include "PackageServer.h"
#include "PackageTransfer.h"
#include "SmallDisk.h"
#include "Windows1252.h"
#include "ZipWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>

using namespace halvio;
using test::packageArchive;

namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;

// The program file that stood in the update folder before the run.
const std::string kPreviousProgram(kMiB, 'p');

// Bytes that deflate shrinks to almost nothing: a large program in a small package file.
std::string compressibleProgram(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>("MZ halvio "[i % 10]);
    return bytes;
}

std::string archiveWithAFolderFirst() {
    platform::ZipWriter writer(secrets::kPackagePassword);
    writer.addFolder("programme/");
    writer.addEntry("programme/halvio.exe", "MZ program");
    test::TempFolder folder;
    writer.writeTo(folder.file("folder.zip"));
    return test::readBytes(folder.file("folder.zip"));
}

class PackageFaults;

struct FaultCase {
    const char* what;
    bool needsSmallDisk; // the update folder is a 3 MiB tmpfs holding the previous halvio.exe
    const char* nom;     // the package between A_ONE (installed) and Z_LAST (left for later)
    std::string archive; // its package file
    std::function<void(PackageFaults&)> prepare;
    const char* etat;      // the failing row's status word at the end
    const char* savedFile; // the file the notice names as not saved, in the update folder; or null
    const char* notice;    // otherwise the notice, UTF-8
    std::vector<std::string> updateFolderAfter;
};

void PrintTo(const FaultCase& fault, std::ostream* out);

class PackageFaults : public test::InstallFixture, public ::testing::WithParamInterface<FaultCase> {
public:
    using InstallFixture::sql;
    using InstallFixture::updateFile;

    std::vector<std::string> updateFolderNames() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(updateFolder()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

void PrintTo(const FaultCase& fault, std::ostream* out) {
    *out << fault.what;
}

TEST_P(PackageFaults, PackageIsLeftUnrecordedNothingCutIsLeftAndTheRunEndsWithAFrenchNotice) {
    const FaultCase& fault = GetParam();
    std::filesystem::create_directories(updateFolder());
    std::optional<test::SmallDisk> disk;
    if (fault.needsSmallDisk) {
        if (!test::SmallDisk::available())
            GTEST_SKIP() << "needs root to mount a small disk as the update folder";
        disk.emplace(updateFolder());
        test::writeBytes(updateFile("halvio.exe"), kPreviousProgram);
    }
    sql("insert into maj (nom, description, dates, fichier) values ('HALVIO', 'ancien', "
        "'2001.01.01 00:00:00', 'ancien programme')");
    const auto majBefore = majRows();
    test::PackageServer publicHost(test::kPublicAddress, test::kPublicPort);
    publicHost.serve("/kliso/update/a_one.zip", packageArchive("un"));
    const std::string fileName = lowerAscii(fault.nom) + ".zip";
    publicHost.serve("/kliso/update/" + fileName, fault.archive);
    publicHost.serve("/kliso/update/z_last.zip", packageArchive("dernier"));
    view.setChecked(CheckBoxId::DirectConnection, false);
    addPackage("A_ONE");
    addPackage(fault.nom, "Nouveau", "2024.06.07 08:09:10");
    addPackage("Z_LAST");
    if (fault.prepare)
        fault.prepare(*this);

    Button3Click(context);

    const std::string notice = fault.savedFile
                                   ? "Impossible d'enregistrer le fichier " + updateFile(fault.savedFile) +
                                         " ! Vérifier l'espace libre sur le disque, puis réessayer plus tard."
                                   : fault.notice;
    ASSERT_EQ(view.dialogs.size(), 2u);
    EXPECT_EQ(view.dialogs[0].kind, "plain");
    EXPECT_EQ(utf8FromCp1252(view.dialogs[0].text),
              "Le paquet " + std::string(fault.nom) + " n'a pas pu être installé.");
    EXPECT_FALSE(view.dialogs[0].details.empty());
    EXPECT_EQ(view.dialogs[1].kind, "form");
    EXPECT_EQ(utf8FromCp1252(view.dialogs[1].text), notice);
    EXPECT_EQ(view.dialogs[1].mode, 80);
    // The cause, as the plain box shows it in its details (it may run over several lines), then the
    // notice, last.
    std::string log;
    for (const std::string& line : view.logUtf8())
        log += line + "\n";
    EXPECT_TRUE(log.ends_with(utf8FromCp1252(view.dialogs[0].details) + "\n" + notice + "\n")) << log;
    EXPECT_TRUE(view.closed);

    std::vector<std::vector<std::string>> majExpected = majBefore;
    majExpected.insert(majExpected.begin(), {"A_ONE", "Description", "2024.01.02 03:04:05 ", "un"});
    EXPECT_EQ(majRows(), majExpected) << "the failing package must not be recorded";
    EXPECT_EQ(model.tmem.row(1).etat, fault.etat);
    EXPECT_EQ(model.tmem.row(2).etat, "");
    EXPECT_EQ(publicHost.requests(),
              (std::vector<std::string>{"/kliso/update/a_one.zip", "/kliso/update/" + fileName}));
    EXPECT_EQ(setupStamp(), kOldStamp);
    EXPECT_FALSE(model.IB.isOpen());
    EXPECT_EQ(updateFolderNames(), fault.updateFolderAfter);
    if (fault.needsSmallDisk) {
        EXPECT_EQ(test::readBytes(updateFile("halvio.exe")), kPreviousProgram);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, PackageFaults,
    ::testing::Values(
        FaultCase{"halvio.exe does not fit on the disk",
                  true,
                  "HALVIO",
                  packageArchive(compressibleProgram(5 * kMiB / 2)),
                  {},
                  "Transmis",
                  "halvio.exe",
                  nullptr,
                  {"halvio.exe"}},
        FaultCase{"the package file does not fit on the disk",
                  true,
                  "HALVIO",
                  packageArchive(test::noiseBytes(5 * kMiB / 2, 7)),
                  {},
                  "Transfer.",
                  "halvio.zip",
                  nullptr,
                  {"halvio.exe"}},
        FaultCase{"a folder stands where hhalvio.exe goes",
                  false,
                  "HHALVIO",
                  packageArchive("MZ help"),
                  [](PackageFaults& test) {
                      std::filesystem::create_directories(test.updateFile("hhalvio.exe") + "/x");
                  },
                  "Transmis",
                  "hhalvio.exe",
                  nullptr,
                  {"hhalvio.exe"}},
        FaultCase{
            "the first entry of the archive is a folder",
            false,
            "HALVIO",
            archiveWithAFolderFirst(),
            {},
            "Transmis",
            nullptr,
            "Le paquet HALVIO est endommagé et n'a pas été installé. Il sera repris à la prochaine mise à "
            "jour.",
            {"halvio.zip"}},
        FaultCase{
            "the archive is not under the package password",
            false,
            "B_BAD",
            packageArchive({{"x", "deux"}}, "autre"),
            {},
            "Transmis",
            nullptr,
            "Le paquet B_BAD est endommagé et n'a pas été installé. Il sera repris à la prochaine mise à "
            "jour.",
            {"b_bad.zip"}},
        FaultCase{
            "the DIAG migration fails",
            false,
            "UPDATEDIAG",
            packageArchive("diag"),
            [](PackageFaults& test) {
                // Every copy carries MD 0, which this constraint refuses.
                test.sql("insert into diag (diag, code, md) values ('Grippe', 'A01', 1)");
                test.sql("alter table diag add constraint diag_md_set check (md <> 0)");
            },
            "Transmis",
            nullptr,
            "La renumérotation des codes de diagnostic n'a pas pu être terminée. Elle sera reprise à la "
            "prochaine mise à jour.",
            {}}),
    [](const ::testing::TestParamInfo<FaultCase>& info) {
        std::string name;
        for (const char* c = info.param.what; *c; ++c)
            if (std::isalnum(static_cast<unsigned char>(*c)))
                name += *c;
        return name;
    });

} // namespace
