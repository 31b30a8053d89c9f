// The transfer procedure against real loopback hosts, real archives and the clinic database.
#include "PackageTransfer.h"
#include "Crypto.h"
#include "Fonction.h"
#include "InstallFixture.h"
#include "LoopbackHttpServer.h"
#include "PackageServer.h"
#include "SmallDisk.h"
#include "Windows1252.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>

using namespace halvio;
using test::packageArchive;
using test::PackageServer;
using test::RefusedPort;

namespace {

class PackageTransfer : public test::InstallFixture {
protected:
    std::vector<std::string> log() const { return view.logUtf8(); }
    bool logHas(const std::string& utf8Line) const {
        const auto lines = log();
        return std::find(lines.begin(), lines.end(), utf8Line) != lines.end();
    }
    long logCount(const std::string& utf8Line) const {
        const auto lines = log();
        return std::count(lines.begin(), lines.end(), utf8Line);
    }
    std::vector<std::string> dialogTexts() const {
        std::vector<std::string> texts;
        for (const auto& dialog : view.dialogs)
            texts.push_back(dialog.kind + ":" + utf8FromCp1252(dialog.text));
        return texts;
    }
    // The bytes of each package file at the moment "Fichier sauvé" is logged.
    std::vector<std::string> savedFiles;
    void captureSavedFiles(const std::string& fileName) {
        view.onLog = [this, fileName](const std::string& line) {
            if (line == fr("Fichier sauvé"))
                savedFiles.push_back(test::readBytes(updateFile(fileName)));
        };
    }
    std::vector<std::string> majNames() const {
        std::vector<std::string> names;
        for (const auto& row : majRows())
            names.push_back(row[0]);
        return names;
    }

    static std::string path(const std::string& file) { return "/kliso/update/" + file; }

    // The end of a run whose download of fileName failed: the mode 80 form last, the window closed,
    // no file of that name left, and SETUP not stamped.
    void expectTheFailedDownloadEnd(const std::string& fileName) const;
    // A_ONE and B_TWO both fetched from the internal address and recorded, without a word to the
    // user, and the run stamped.
    void expectBothFromTheInternalAddress(const PackageServer& internal) const;
};

const char* const kFailureForm = "form:Impossible de récupérer le fichier! Réessayer plus tard.";
const char* const kAntivirus = "plain:impossible de récupérer le fichier!\r\nDésactiver votre antivirus.";

void PackageTransfer::expectTheFailedDownloadEnd(const std::string& fileName) const {
    ASSERT_FALSE(view.dialogs.empty());
    EXPECT_EQ(dialogTexts().back(), kFailureForm);
    EXPECT_EQ(view.dialogs.back().mode, 80);
    EXPECT_EQ(log().back(), "Impossible de récupérer le fichier");
    EXPECT_TRUE(view.closed);
    EXPECT_FALSE(std::filesystem::exists(updateFile(fileName)));
    EXPECT_EQ(setupStamp(), kOldStamp);
}

void PackageTransfer::expectBothFromTheInternalAddress(const PackageServer& internal) const {
    EXPECT_EQ(internal.requests(), (std::vector<std::string>{path("a_one.zip"), path("b_two.zip")}));
    EXPECT_TRUE(view.dialogs.empty());
    EXPECT_EQ(majNames(), (std::vector<std::string>{"A_ONE", "B_TWO"}));
    const auto rows = majRows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][3], "un");
    EXPECT_EQ(rows[1][3], "deux");
    EXPECT_NE(setupStamp(), kOldStamp);
}

} // namespace

TEST_F(PackageTransfer, NameWithBlanksIsTrimmedAndFetchedFromThePublicHost) {
    PackageServer office(test::kOfficeAddress, test::kServicePort);
    PackageServer publicHost(test::kPublicAddress, test::kPublicPort);
    const std::string archive = packageArchive("insert into md (id) values (7)\r\n");
    publicHost.serve(path("sql_test.zip"), archive);
    view.setChecked(CheckBoxId::DirectConnection, false);
    view.setGaugeMaximum(GaugeId::AllFiles, 1000000); // more than arrives: only the end fills it
    addPackage(" Sql_Test ", "Correctif", "2024.01.02 03:04:05", 1234);
    ASSERT_FALSE(std::filesystem::exists(updateFolder()));
    captureSavedFiles("sql_test.zip");

    Button3Click(context);

    const std::string saved = updateFile("sql_test.zip");
    EXPECT_EQ(log(), (std::vector<std::string>{"Tentative de connection à localhost:18081",
                                               "Transfert des fichiers...", "Transfert de Sql_Test",
                                               "Tentative de sauver sur " + saved, "Fichier sauvé"}));
    EXPECT_EQ(publicHost.requests(), std::vector<std::string>{path("sql_test.zip")});
    EXPECT_TRUE(office.requests().empty());
    EXPECT_TRUE(std::filesystem::is_directory(updateFolder()));
    EXPECT_EQ(savedFiles, std::vector<std::string>{archive});
    EXPECT_FALSE(std::filesystem::exists(saved));

    EXPECT_EQ(etats(), std::vector<std::string>{fr("Installé")});
    EXPECT_EQ(model.tmem.row(0).pc, 100);
    EXPECT_EQ(sqlValue("select count(*) from md where id = 7"), "1");
    ASSERT_EQ(majRows().size(), 1u);
    EXPECT_EQ(majRows()[0], (std::vector<std::string>{"Sql_Test", "Correctif", "2024.01.02 03:04:05 ",
                                                      "insert into md (id) values (7)\r\n"}));
    EXPECT_NE(setupStamp(), kOldStamp);
    EXPECT_EQ(context.runningTotal, 1234);
    EXPECT_EQ(view.gaugeProgress(GaugeId::CurrentFile), view.gaugeMaximum(GaugeId::CurrentFile));
    EXPECT_EQ(view.gaugeProgress(GaugeId::AllFiles), 1000000);
    EXPECT_FALSE(view.closed);
    EXPECT_TRUE(view.dialogs.empty());
    EXPECT_FALSE(model.IB.isOpen());
}

TEST_F(PackageTransfer, PackageMissingOnThePublicHostEndsTheRun) {
    PackageServer publicHost(test::kPublicAddress, test::kPublicPort);
    publicHost.serve(path("a_one.zip"), packageArchive("un"));
    publicHost.serve(path("c_three.zip"), packageArchive("trois"));
    view.setChecked(CheckBoxId::DirectConnection, false);
    addPackage("A_ONE");
    addPackage("B_TWO");
    addPackage("C_THREE");

    Button3Click(context);

    ASSERT_EQ(view.dialogs.size(), 2u);
    EXPECT_EQ(view.dialogs[0].kind, "plain");
    EXPECT_EQ(utf8FromCp1252(view.dialogs[0].text),
              "Le fichier b_two.zip n'a pas pu être téléchargé ou enregistré.");
    EXPECT_NE(view.dialogs[0].details.find("404"), std::string::npos) << view.dialogs[0].details;
    expectTheFailedDownloadEnd("b_two.zip");

    EXPECT_EQ(majNames(), std::vector<std::string>{"A_ONE"});
    EXPECT_EQ(etats(), (std::vector<std::string>{"Transmis", "Transfer.", ""}));
    EXPECT_EQ(publicHost.requests(), (std::vector<std::string>{path("a_one.zip"), path("b_two.zip")}));
}

TEST_F(PackageTransfer, PackageFileThatCannotBeWrittenEndsTheRun) {
    PackageServer publicHost(test::kPublicAddress, test::kPublicPort);
    publicHost.serve(path("a_one.zip"), packageArchive("un"));
    view.setChecked(CheckBoxId::DirectConnection, false);
    std::filesystem::create_directories(updateFile("a_one.zip")); // a folder where the file goes
    test::writeBytes(updateFile("a_one.zip") + "/inside", "kept");
    addPackage("A_ONE");
    addPackage("B_TWO");

    Button3Click(context);

    ASSERT_EQ(view.dialogs.size(), 2u);
    EXPECT_EQ(view.dialogs[0].kind, "plain");
    EXPECT_EQ(utf8FromCp1252(view.dialogs[0].text), "Le paquet A_ONE n'a pas pu être installé.");
    EXPECT_NE(view.dialogs[0].details.find(updateFile("a_one.zip")), std::string::npos)
        << view.dialogs[0].details;
    // The file arrived: the clinic is told it could not be saved, and where.
    const std::string notSaved = "Impossible d'enregistrer le fichier " + updateFile("a_one.zip") +
                                 " ! Vérifier l'espace libre sur le disque, puis réessayer plus tard.";
    EXPECT_EQ(dialogTexts()[1], "form:" + notSaved);
    EXPECT_EQ(view.dialogs[1].mode, 80);
    EXPECT_EQ(log().back(), notSaved);
    EXPECT_FALSE(logHas("Impossible de récupérer le fichier"));
    EXPECT_FALSE(logHas("Fichier sauvé"));
    EXPECT_TRUE(view.closed);
    EXPECT_EQ(etats(), (std::vector<std::string>{"Transfer.", ""}));
    EXPECT_TRUE(majRows().empty());
    EXPECT_EQ(publicHost.requests(), std::vector<std::string>{path("a_one.zip")});
    EXPECT_EQ(setupStamp(), kOldStamp);
    EXPECT_EQ(test::readBytes(updateFolder() + "/a_one.zip/inside"), "kept");
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(updateFolder()))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"a_one.zip"}) << "no temporary is left beside it";
}

TEST_F(PackageTransfer, OfficeServerDownEachPackageComesFromTheInternalAddress) {
    RefusedPort office(test::kOfficeAddress, test::kServicePort);
    PackageServer internal(test::kInternalAddress, test::kServicePort);
    internal.serve(path("a_one.zip"), packageArchive("un"));
    internal.serve(path("b_two.zip"), packageArchive("deux"));
    addPackage("A_ONE");
    addPackage("B_TWO");

    Button3Click(context);

    const auto lines = log();
    const std::vector<std::string> expectedOrder = {
        "Transfert de A_ONE", "impossible de recupérer de localhost:18080", "Fichier sauvé",
        "Transfert de B_TWO", "impossible de recupérer de localhost:18080", "Fichier sauvé"};
    std::vector<std::string> seen;
    for (const auto& line : lines)
        if (std::find(expectedOrder.begin(), expectedOrder.end(), line) != expectedOrder.end())
            seen.push_back(line);
    EXPECT_EQ(seen, expectedOrder);
    EXPECT_EQ(logCount("impossible de recupérer de 127.0.0.2:18080"), 0);
    expectBothFromTheInternalAddress(internal);
}

TEST_F(PackageTransfer, OfficeServerIsTriedFirstAgainForTheNextPackage) {
    PackageServer office(test::kOfficeAddress, test::kServicePort);
    PackageServer internal(test::kInternalAddress, test::kServicePort);
    internal.serve(path("a_one.zip"), packageArchive("un"));
    office.serve(path("b_two.zip"), packageArchive("deux"));
    addPackage("A_ONE");
    addPackage("B_TWO");

    Button3Click(context);

    EXPECT_EQ(office.requests(), (std::vector<std::string>{path("a_one.zip"), path("b_two.zip")}));
    EXPECT_EQ(internal.requests(), std::vector<std::string>{path("a_one.zip")});
    EXPECT_EQ(logCount("impossible de recupérer de localhost:18080"), 1);
    const auto rows = majRows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][3], "un");
    EXPECT_EQ(rows[1][3], "deux");
}

TEST_F(PackageTransfer, BothDirectHostsFailingEndTheRunLikeAFailedDownload) {
    RefusedPort office(test::kOfficeAddress, test::kServicePort);
    PackageServer internal(test::kInternalAddress, test::kServicePort);
    PackageServer publicHost(test::kPublicAddress, test::kPublicPort);
    publicHost.serve(path("a_one.zip"), packageArchive("un")); // never asked: the direct path only
    addPackage("A_ONE");
    addPackage("B_TWO");

    Button3Click(context);

    const auto texts = dialogTexts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0], kAntivirus);
    EXPECT_EQ(view.dialogs[1].kind, "plain");
    EXPECT_EQ(utf8FromCp1252(view.dialogs[1].text),
              "Le fichier a_one.zip n'a pas pu être téléchargé ou enregistré.");
    EXPECT_NE(view.dialogs[1].details.find("404"), std::string::npos) << view.dialogs[1].details;
    expectTheFailedDownloadEnd("a_one.zip");
    EXPECT_EQ(log(), (std::vector<std::string>{"Tentative de connection à localhost:18081",
                                               "Transfert des fichiers...", "Transfert de A_ONE",
                                               "impossible de recupérer de localhost:18080",
                                               "impossible de recupérer de 127.0.0.2:18080",
                                               "Impossible de récupérer le fichier"}));
    EXPECT_TRUE(publicHost.requests().empty());
    EXPECT_TRUE(majRows().empty());
    EXPECT_EQ(etats(), (std::vector<std::string>{"Transfer.", ""}));
}

namespace {
// A host that takes the connection and then sends nothing, or stops after the headers and part of
// the body, until long after the client's limits; the server lets go of it when it stops.
test::LoopbackReply stalledPackage(bool afterTheHeaders) {
    test::LoopbackReply reply = test::LoopbackReply::text(packageArchive(test::noiseBytes(50000, 7)));
    reply.gate = std::make_shared<test::LoopbackGate>();
    reply.holdHeaders = !afterTheHeaders;
    reply.holdAfter = 20000;
    reply.holdAtMost = std::chrono::seconds(60);
    return reply;
}
} // namespace

TEST_F(PackageTransfer, AStalledOfficeServerPassesToTheInternalAddress) {
    test::LoopbackHttpServer office(test::kOfficeAddress, test::kServicePort);
    office.serve(path("a_one.zip"), stalledPackage(false));
    office.serve(path("b_two.zip"), stalledPackage(true));
    PackageServer internal(test::kInternalAddress, test::kServicePort);
    internal.serve(path("a_one.zip"), packageArchive("un"));
    internal.serve(path("b_two.zip"), packageArchive("deux"));
    addPackage("A_ONE");
    addPackage("B_TWO");

    Button3Click(context);

    EXPECT_EQ(office.requestCount(), 2u);
    EXPECT_EQ(logCount("impossible de recupérer de localhost:18080"), 2);
    expectBothFromTheInternalAddress(internal);
    EXPECT_FALSE(view.closed);
}

TEST_F(PackageTransfer, APublicHostStalledInTheBodyEndsTheRunLikeAFailedDownload) {
    test::LoopbackHttpServer publicHost(test::kPublicAddress, test::kPublicPort);
    publicHost.serve(path("a_one.zip"), stalledPackage(true));
    view.setChecked(CheckBoxId::DirectConnection, false);
    addPackage("A_ONE");
    addPackage("B_TWO");

    Button3Click(context);

    const auto texts = dialogTexts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], "plain:Le fichier a_one.zip n'a pas pu être téléchargé ou enregistré.");
    EXPECT_EQ(utf8FromCp1252(view.dialogs[0].details), "Connexion abandonnée : le serveur ne répond plus.");
    expectTheFailedDownloadEnd("a_one.zip");
    EXPECT_EQ(publicHost.requestCount(), 1u);
    EXPECT_TRUE(majRows().empty());
    EXPECT_EQ(etats(), (std::vector<std::string>{"Transfer.", ""}));
}

// The package file is written while it arrives; whatever ends its download, the file that stood
// under its name stays whole and nothing is left beside it.
class PackageTransferFailing : public PackageTransfer {
protected:
    const std::string archive = packageArchive(test::noiseBytes(300000, 5));

    // Runs the transfer of A_ONE, served by the public host with `reply`, over an earlier a_one.zip.
    void expectThePreviousFileKept(const test::LoopbackReply& reply, const std::string& details) {
        const std::string previous = "the package file of an earlier run";
        std::filesystem::create_directories(updateFolder());
        test::writeBytes(updateFile("a_one.zip"), previous);
        test::LoopbackHttpServer publicHost(test::kPublicAddress, test::kPublicPort);
        publicHost.serve(path("a_one.zip"), reply);
        view.setChecked(CheckBoxId::DirectConnection, false);
        addPackage("A_ONE");

        Button3Click(context);

        const auto texts = dialogTexts();
        ASSERT_EQ(texts.size(), 2u);
        EXPECT_EQ(texts[0], "plain:Le fichier a_one.zip n'a pas pu être téléchargé ou enregistré.");
        EXPECT_NE(utf8FromCp1252(view.dialogs[0].details).find(details), std::string::npos)
            << view.dialogs[0].details;
        EXPECT_EQ(texts[1], kFailureForm);
        EXPECT_EQ(log().back(), "Impossible de récupérer le fichier");
        EXPECT_FALSE(logHas("Tentative de sauver sur " + updateFile("a_one.zip")));
        EXPECT_EQ(publicHost.requestCount(), 1u);
        EXPECT_TRUE(majRows().empty());
        std::vector<std::string> left;
        for (const auto& entry : std::filesystem::directory_iterator(updateFolder()))
            left.push_back(entry.path().filename().string());
        EXPECT_EQ(left, std::vector<std::string>{"a_one.zip"}) << "no temporary is left beside it";
        EXPECT_EQ(test::readBytes(updateFile("a_one.zip")), previous);
    }
};

TEST_F(PackageTransferFailing, AConnectionCutInTheBodyLeavesThePreviousFileWholeAndNoTemporary) {
    test::LoopbackReply cut = test::LoopbackReply::text(archive);
    cut.cutAfter = archive.size() / 2;
    expectThePreviousFileKept(cut, "");
}

TEST_F(PackageTransferFailing, AFileThatIsNotTheSignedOneLeavesThePreviousFileWholeAndNoTemporary) {
    context.signedPackages =
        std::vector<signedreply::ManifestEntry>{{"A_ONE", archive.size(), platform::crypto::sha256("autre")}};
    expectThePreviousFileKept(test::LoopbackReply::text(archive),
                              "ne correspond pas à son empreinte SHA-256 signée");
}

// The second host's reply starts the file again: nothing the first one sent before it failed stays,
// however much longer it was.
TEST_F(PackageTransfer, AHostThatFailsInTheBodyGivesWayToTheNextWhoseBytesAloneAreSaved) {
    test::LoopbackHttpServer office(test::kOfficeAddress, test::kServicePort);
    test::LoopbackReply cut = test::LoopbackReply::text(test::noiseBytes(400000, 9));
    cut.cutAfter = 300000;
    office.serve(path("a_one.zip"), cut);
    PackageServer internal(test::kInternalAddress, test::kServicePort);
    const std::string archive = packageArchive("un");
    internal.serve(path("a_one.zip"), archive);
    addPackage("A_ONE");
    captureSavedFiles("a_one.zip");

    Button3Click(context);

    EXPECT_EQ(office.requestCount(), 1u);
    EXPECT_EQ(logCount("impossible de recupérer de localhost:18080"), 1);
    EXPECT_EQ(savedFiles, std::vector<std::string>{archive});
    ASSERT_EQ(majRows().size(), 1u);
    EXPECT_EQ(majRows()[0][3], "un");
    EXPECT_TRUE(view.dialogs.empty());
    EXPECT_TRUE(std::filesystem::is_empty(updateFolder())) << "no temporary is left";
}

// A disk that fills while the package arrives is no fault of the host: the next host is not tried,
// and the run ends as when the file cannot be saved, the previous package file whole.
TEST_F(PackageTransfer, ADiskThatFillsDuringTheDownloadEndsTheRunAsAFailedSaveWithoutTheNextHost) {
    std::filesystem::create_directories(updateFolder());
    if (!test::SmallDisk::available())
        GTEST_SKIP() << "needs root to mount a small disk as the update folder";
    test::SmallDisk disk(updateFolder());
    const std::string previous = test::noiseBytes(256 << 10, 4);
    test::writeBytes(updateFile("a_one.zip"), previous);
    const std::string archive = packageArchive(test::noiseBytes(test::SmallDisk::kSize, 8));
    PackageServer office(test::kOfficeAddress, test::kServicePort);
    office.serve(path("a_one.zip"), archive);
    PackageServer internal(test::kInternalAddress, test::kServicePort);
    internal.serve(path("a_one.zip"), archive);
    addPackage("A_ONE");
    addPackage("B_TWO");

    Button3Click(context);

    const std::string notSaved = "Impossible d'enregistrer le fichier " + updateFile("a_one.zip") +
                                 " ! Vérifier l'espace libre sur le disque, puis réessayer plus tard.";
    const auto texts = dialogTexts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], "plain:Le paquet A_ONE n'a pas pu être installé.");
    EXPECT_NE(view.dialogs[0].details.find("No space left on device"), std::string::npos)
        << view.dialogs[0].details;
    EXPECT_EQ(texts[1], "form:" + notSaved);
    const std::vector<std::string> lines = log();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(
        std::vector<std::string>(lines.end() - 4, lines.end()),
        (std::vector<std::string>{"Transfert de A_ONE", "Tentative de sauver sur " + updateFile("a_one.zip"),
                                  utf8FromCp1252(view.dialogs[0].details), notSaved}));
    EXPECT_EQ(office.requests(), std::vector<std::string>{path("a_one.zip")});
    EXPECT_TRUE(internal.requests().empty());
    EXPECT_TRUE(view.closed);
    EXPECT_EQ(etats(), (std::vector<std::string>{"Transfer.", ""}));
    EXPECT_TRUE(majRows().empty());
    EXPECT_EQ(setupStamp(), kOldStamp);
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(updateFolder()))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"a_one.zip"}) << "no temporary is left beside it";
    EXPECT_TRUE(test::readBytes(updateFile("a_one.zip")) == previous);
}

TEST_F(PackageTransfer, ExistingPackageFileIsReplaced) {
    PackageServer publicHost(test::kPublicAddress, test::kPublicPort);
    const std::string archive = packageArchive("nouveau");
    publicHost.serve(path("pkg.zip"), archive);
    view.setChecked(CheckBoxId::DirectConnection, false);
    std::filesystem::create_directory(updateFolder());
    test::writeBytes(updateFile("pkg.zip"), std::string(archive.size() * 3, 'x'));
    addPackage("PKG");
    captureSavedFiles("pkg.zip");

    Button3Click(context);

    EXPECT_EQ(savedFiles, std::vector<std::string>{archive});
    ASSERT_EQ(majRows().size(), 1u);
    EXPECT_EQ(majRows()[0][3], "nouveau");
}

TEST_F(PackageTransfer, RunningTotalAddsTheAnnouncedSizes) {
    PackageServer publicHost(test::kPublicAddress, test::kPublicPort);
    publicHost.serve(path("a_one.zip"), packageArchive(test::noiseBytes(5000, 3)));
    publicHost.serve(path("b_two.zip"), packageArchive("deux"));
    view.setChecked(CheckBoxId::DirectConnection, false);
    addPackage("A_ONE", "un", "2024.01.02 03:04:05", 100);     // smaller than the file
    addPackage("B_TWO", "deux", "2024.01.02 03:04:05", 70000); // larger than the file
    addPackage("C_NULL", "trois", "2024.01.02 03:04:05", std::nullopt);
    publicHost.serve(path("c_null.zip"), packageArchive("trois"));
    context.runningTotal = 99; // from an earlier run: the procedure starts from 0

    std::vector<std::int32_t> totalsAtEachTransfer;
    view.onLog = [&](const std::string& line) {
        if (line.rfind("Transfert de ", 0) == 0)
            totalsAtEachTransfer.push_back(context.runningTotal);
    };
    Button3Click(context);

    EXPECT_EQ(totalsAtEachTransfer, (std::vector<std::int32_t>{0, 100, 70100}));
    EXPECT_EQ(context.runningTotal, 70100);
}

TEST_F(PackageTransfer, NamesThatAreNoPlainFileNamesArePassedOver) {
    PackageServer publicHost(test::kPublicAddress, test::kPublicPort);
    publicHost.serve(path("good.zip"), packageArchive("bon"));
    view.setChecked(CheckBoxId::DirectConnection, false);
    addPackage("../EVIL");
    addPackage("  ");
    addPackage("C:\\TEMP\\X");
    addPackage("GOOD");
    addPackage("SUB/DIR");

    Button3Click(context);

    EXPECT_TRUE(logHas("Paquet ignoré, nom de fichier invalide : \"../EVIL\""));
    EXPECT_TRUE(logHas("Paquet ignoré, nom de fichier invalide : \"\""));
    EXPECT_TRUE(logHas("Paquet ignoré, nom de fichier invalide : \"C:\\TEMP\\X\""));
    EXPECT_TRUE(logHas("Paquet ignoré, nom de fichier invalide : \"SUB/DIR\""));
    EXPECT_EQ(publicHost.requests(), std::vector<std::string>{path("good.zip")});
    EXPECT_EQ(majNames(), std::vector<std::string>{"GOOD"});
    EXPECT_EQ(etats(), (std::vector<std::string>{"", "", "", "Transmis", ""}));
    EXPECT_TRUE(std::filesystem::is_empty(updateFolder()));
    EXPECT_FALSE(std::filesystem::exists(programFolder.path() + "/evil.zip"));
    EXPECT_NE(setupStamp(), kOldStamp);
}

// Names with a blank or "#" are asked for percent-encoded: "SP ACE" once failed on every run and
// held back the packages after it, "H#F" fetched "/kliso/update/h".
TEST_F(PackageTransfer, NamesWithBlanksOrHashesAreFetchedEncodedAndTheNextPackagesFollow) {
    PackageServer publicHost(test::kPublicAddress, test::kPublicPort);
    publicHost.serve(path("h"), packageArchive("h seul"));
    publicHost.serve(path("h#f.zip"), packageArchive("h#f"));
    publicHost.serve(path("sp ace.zip"), packageArchive("espace"));
    publicHost.serve(path("zz.zip"), packageArchive("dernier"));
    view.setChecked(CheckBoxId::DirectConnection, false);
    addPackage("H#F");
    addPackage("Q?X");
    addPackage("SP ACE");
    addPackage("ZZ");

    Button3Click(context);

    EXPECT_EQ(publicHost.targets(),
              (std::vector<std::string>{path("h%23f.zip"), path("sp%20ace.zip"), path("zz.zip")}));
    EXPECT_TRUE(logHas("Paquet ignoré, nom de fichier invalide : \"Q?X\""));
    const auto rows = majRows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][0], "H#F");
    EXPECT_EQ(rows[0][3], "h#f");
    EXPECT_EQ(rows[1][0], "SP ACE");
    EXPECT_EQ(rows[1][3], "espace");
    EXPECT_EQ(rows[2][0], "ZZ");
    EXPECT_EQ(etats(), (std::vector<std::string>{"Transmis", "", "Transmis", "Transmis"}));
    EXPECT_TRUE(view.dialogs.empty());
    EXPECT_FALSE(view.closed);
    EXPECT_NE(setupStamp(), kOldStamp);
}

TEST_F(PackageTransfer, LoopGoesOnAfterTheDiagMigrationAndPassesOverItsRow) {
    PackageServer publicHost(test::kPublicAddress, test::kPublicPort);
    for (const char* file : {"a_one.zip", "updatediag.zip", "z_last.zip"})
        publicHost.serve(path(file), packageArchive(file));
    view.setChecked(CheckBoxId::DirectConnection, false);
    sql("insert into diag (diag, code) values ('Grippe', 'A01')");
    addPackage("A_ONE");
    addPackage("UPDATEDIAG");
    addPackage("Z_LAST");

    Button3Click(context);

    EXPECT_EQ(majNames(), (std::vector<std::string>{"A_ONE", "UPDATEDIAG", "Z_LAST"}));
    ASSERT_EQ(model.tmem.rowCount(), 4u); // the migration's progress row, appended
    EXPECT_EQ(Trimmed(model.tmem.row(3).NOM), "");
    EXPECT_NE(model.tmem.row(3).etat, "Transfer.");
    EXPECT_EQ(model.tmem.row(2).etat, "Transmis");
    EXPECT_EQ(publicHost.requests().size(), 3u);
    EXPECT_EQ(logCount("Transfert de Z_LAST"), 1);
    for (const auto& line : log())
        EXPECT_EQ(line.find("Paquet ignor"), std::string::npos) << line;
    EXPECT_NE(sqlValue("select id from diag"), "<null>");
    EXPECT_NE(setupStamp(), kOldStamp);
}

TEST_F(PackageTransfer, SelfUpdatePackageEndsTheProcedureAtOnce) {
    PackageServer publicHost(test::kPublicAddress, test::kPublicPort);
    for (const char* file : {"a_one.zip", "maj_kliso.zip", "sql_after.zip"})
        publicHost.serve(path(file), packageArchive(file));
    view.setChecked(CheckBoxId::DirectConnection, false);
    sql("insert into maj (nom, dates, fichier) values ('COPIE', '2024.01.01 00:00:00', '#!/bin/sh\nexit "
        "0\n')");
    addPackage("A_ONE");
    addPackage("MAJ_KLISO");
    addPackage("SQL_AFTER");

    Button3Click(context);

    EXPECT_TRUE(view.closed);
    EXPECT_EQ(majNames(), (std::vector<std::string>{"A_ONE", "COPIE", "MAJ_KLISO"}));
    EXPECT_EQ(etats(), (std::vector<std::string>{"Transmis", "Transmis", ""}));
    EXPECT_EQ(publicHost.requests(), (std::vector<std::string>{path("a_one.zip"), path("maj_kliso.zip")}));
    EXPECT_EQ(setupStamp(), kOldStamp);
    EXPECT_EQ(test::readBytes(programFolder.file("Maj_kliso.new")), "maj_kliso.zip");
}
