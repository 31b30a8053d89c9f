// Unpacking, script runs and the record in MAJ, against real archives and the clinic database.
#include "PackageInstaller.h"
#include "ConnectionSecrets.h"
#include "DateTime.h"
#include "Fonction.h"
#include "InstallFixture.h"
#include "PackageNames.h"
#include "PackageServer.h"
#include "PackageTransfer.h"
#include "Windows1252.h"

#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace halvio;
using test::packageArchive;

namespace {

class PackageInstaller : public test::InstallFixture {
protected:
    // The current tmem row as the transfer leaves it before the unpacking: "Transmis".
    void transmittedRow(const std::string& nom, const std::string& description = "Description") {
        addPackage(nom, description);
        model.tmem.first();
        while (Trimmed(model.tmem.current().NOM) != Trimmed(nom))
            model.tmem.next();
    }
    // Saves an archive in the update folder and unpacks and records it as the package steps do.
    std::string install(const std::string& nom, const std::string& archive) {
        std::filesystem::create_directories(updateFolder());
        const std::string file = Trimmed(nom) + ".zip";
        test::writeBytes(updateFile(file), archive);
        std::string content = unpackAndRun(context, updateFile(file), lowerAscii(file));
        const PackageRow& row = model.tmem.current();
        recordPackage(model, Trimmed(nom), Trimmed(row.DESCRIPTION), Trimmed(row.DATES), content);
        return content;
    }
    std::vector<std::int32_t> p1AtEachMessagePass;
    void recordP1() {
        view.onProcessMessages = [this] {
            p1AtEachMessagePass.push_back(view.gaugeProgress(GaugeId::CurrentFile));
        };
    }
    std::vector<std::string> mdIds() const {
        std::vector<std::string> ids;
        for (const auto& row : clinic.query("select id from md order by id"))
            ids.push_back(row[0]);
        return ids;
    }
};

} // namespace

TEST_F(PackageInstaller, ScriptRunsLineByLineWhateverTheCaseOfItsName) {
    for (const char* nom : {"Sql_Fix", "SQL_FIX2"}) {
        transmittedRow(nom);
        install(nom, packageArchive("insert into md (id) values (1)\r\ninsert into md (id) values (2)\r\n"));
        EXPECT_EQ(model.tmem.current().etat, fr("Installé")) << nom;
        sql("delete from md");
    }
    transmittedRow("SQLFIX"); // no "SQL_" prefix: recorded only
    install("SQLFIX", packageArchive("insert into md (id) values (3)"));
    EXPECT_EQ(model.tmem.current().etat, "");
    EXPECT_TRUE(mdIds().empty());
    EXPECT_EQ(majRows().size(), 3u);
}

TEST_F(PackageInstaller, StatementOverTwoLinesGivesTwoFailuresThatAreIgnored) {
    transmittedRow("SQL_TWO");
    recordP1();
    install("SQL_TWO", packageArchive("insert into md (id) values (1)\r\n"
                                      "insert into md (id,\r\n"
                                      "titre) values (2, 'x')\r\n"
                                      "insert into md (id) values (3)\r\n"));
    EXPECT_EQ(mdIds(), (std::vector<std::string>{"1", "3"}));
    EXPECT_EQ(model.tmem.current().etat, fr("Installé"));
    EXPECT_EQ(p1AtEachMessagePass, (std::vector<std::int32_t>{1, 2, 3, 4}));
    // Each failure logged with its statement, the server's message after it.
    const std::vector<std::string> lines = view.logUtf8();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "Instruction refusée par le serveur, ignorée : insert into md (id,");
    EXPECT_EQ(lines[1], "Dynamic SQL Error");
    const auto second = std::find(lines.begin(), lines.end(),
                                  "Instruction refusée par le serveur, ignorée : titre) values (2, 'x')");
    ASSERT_NE(second, lines.end());
    ASSERT_NE(second + 1, lines.end());
    EXPECT_EQ(*(second + 1), "Dynamic SQL Error");
    EXPECT_TRUE(view.dialogs.empty());
    EXPECT_EQ(majRows().size(), 1u);
}

TEST_F(PackageInstaller, FailingLineLeavesItsTransactionForTheNextLines) {
    transmittedRow("SQL_TX");
    model.IB.open();
    runScriptPackage(model, "insert into md (id) values (NULL)\ninsert into md (id) values (4)\n"
                            "insert into md (id) values (NULL)\n");
    EXPECT_EQ(mdIds(), std::vector<std::string>{"4"});
    // Not rolled back: the recording that follows runs in it and its commit ends it.
    EXPECT_TRUE(model.IBTransaction1.isActive());
}

TEST_F(PackageInstaller, EmptyLinesAreSkippedButAdvanceTheGauge) {
    transmittedRow("SQL_GAPS");
    recordP1();
    install("SQL_GAPS",
            packageArchive("insert into md (id) values (1)\r\n\r\n\ninsert into md (id) values (2)\r"
                           "\rinsert into md (id) values (3)"));
    EXPECT_EQ(view.gaugeMaximum(GaugeId::CurrentFile), 6);
    EXPECT_EQ(p1AtEachMessagePass, (std::vector<std::int32_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(mdIds(), (std::vector<std::string>{"1", "2", "3"}));
}

TEST_F(PackageInstaller, NulByteEndsTheScript) {
    transmittedRow("SQL_NUL");
    const std::string script =
        std::string("insert into md (id) values (1)\r\n") + '\0' + "insert into md (id) values (2)\r\n";
    install("SQL_NUL", packageArchive(script));
    EXPECT_EQ(mdIds(), std::vector<std::string>{"1"});
    EXPECT_EQ(majRows()[0][3], script); // the record keeps the whole content
}

TEST_F(PackageInstaller, OnlyTheFirstEntryIsUsed) {
    transmittedRow("SQL_MULTI");
    const std::string archive = packageArchive({{"zzz_first.sql", "insert into md (id) values (1)"},
                                                {"aaa_second.sql", "insert into md (id) values (2)"}},
                                               secrets::kPackagePassword);
    const std::string content = install("SQL_MULTI", archive);
    EXPECT_EQ(content, "insert into md (id) values (1)");
    EXPECT_EQ(mdIds(), std::vector<std::string>{"1"});
    EXPECT_EQ(majRows()[0][3], "insert into md (id) values (1)");
}

TEST_F(PackageInstaller, UnreadableArchiveIsNotRecordedAndStaysInPlace) {
    const std::string good = packageArchive("insert into md (id) values (1)");
    const std::pair<const char*, std::string> cases[] = {
        {"wrong password", packageArchive({{"a.sql", "insert into md (id) values (1)"}}, "autre")},
        {"damaged", good.substr(0, good.size() / 2)},
        {"not an archive", "PK but nothing else"},
        {"empty archive", std::string("PK\x05\x06", 4) + std::string(18, '\0')},
    };
    for (const auto& [what, archive] : cases) {
        transmittedRow("SQL_BAD");
        EXPECT_ANY_THROW(install("SQL_BAD", archive)) << what;
        EXPECT_TRUE(std::filesystem::exists(updateFile("SQL_BAD.zip"))) << what;
        EXPECT_FALSE(uz.isOpen()) << what;
        EXPECT_TRUE(majRows().empty()) << what;
        EXPECT_TRUE(mdIds().empty()) << what;
        EXPECT_EQ(model.tmem.current().etat, "") << what;
    }
}

TEST_F(PackageInstaller, FailedUnpackingEndsTheTransferUnstamped) {
    test::PackageServer publicHost(test::kPublicAddress, test::kPublicPort);
    publicHost.serve("/kliso/update/a_one.zip", packageArchive("un"));
    publicHost.serve("/kliso/update/b_bad.zip", packageArchive({{"x", "deux"}}, "autre"));
    publicHost.serve("/kliso/update/c_three.zip", packageArchive("trois"));
    view.setChecked(CheckBoxId::DirectConnection, false);
    addPackage("A_ONE");
    addPackage("B_BAD");
    addPackage("C_THREE");

    Button3Click(context);

    EXPECT_EQ(etats(), (std::vector<std::string>{"Transmis", "Transmis", ""}));
    ASSERT_EQ(majRows().size(), 1u);
    EXPECT_EQ(majRows()[0][0], "A_ONE");
    EXPECT_TRUE(std::filesystem::exists(updateFile("b_bad.zip")));
    EXPECT_EQ(setupStamp(), kOldStamp);
    // A damaged package ends the run through the failed-package path (PackageFaultsTest).
    EXPECT_TRUE(view.closed);
}

TEST_F(PackageInstaller, DescriptionWithAnApostropheIsStored) {
    transmittedRow("OUTIL", "L'outil de l'h\xF4pital");
    install("OUTIL", packageArchive("contenu"));
    ASSERT_EQ(majRows().size(), 1u);
    EXPECT_EQ(majRows()[0][1], "L'outil de l'h\xF4pital");
}

TEST_F(PackageInstaller, RecordedPackageIsUpdatedInPlaceAndANewOneInserted) {
    sql("insert into maj (nom, description, dates, fichier) values ('PKG_A', 'ancien', '2001.01.01 "
        "00:00:00', 'vieux')");
    addPackage(" PKG_A ", " nouveau ", " 2024.06.07 08:09:10 ");
    addPackage("PKG_B", "autre", "2024.06.07 08:09:11");
    model.tmem.first();
    install("PKG_A", packageArchive("neuf"));
    model.tmem.next();
    install("PKG_B", packageArchive("bee"));

    EXPECT_EQ(majRows(), (std::vector<std::vector<std::string>>{
                             {"PKG_A", "nouveau", "2024.06.07 08:09:10 ", "neuf"},
                             {"PKG_B", "autre", "2024.06.07 08:09:11 ", "bee"},
                         }));
}

TEST_F(PackageInstaller, Halvio27IsRecordedAsHalvio26) {
    struct Case {
        const char* what;
        std::vector<std::string> before;
        std::vector<std::vector<std::string>> after;
    };
    const std::vector<Case> cases = {
        {"no HALVIO26 row: one is inserted",
         {},
         {{"HALVIO26", "Halvio 27", "2024.06.07 08:09:10 ", "exe27"}}},
        {"a HALVIO26 row is updated",
         {"insert into maj values ('HALVIO26', 'Halvio 26', '2020.01.01 00:00:00', 'exe26')"},
         {{"HALVIO26", "Halvio 27", "2024.06.07 08:09:10 ", "exe27"}}},
        {"a row still named HALVIO27 is left alone",
         {"insert into maj values ('HALVIO26', 'Halvio 26', '2020.01.01 00:00:00', 'exe26')",
          "insert into maj values ('HALVIO27', 'ancien 27', '2019.01.01 00:00:00', 'old27')"},
         {{"HALVIO26", "Halvio 27", "2024.06.07 08:09:10 ", "exe27"},
          {"HALVIO27", "ancien 27", "2019.01.01 00:00:00 ", "old27"}}},
    };
    for (const Case& c : cases) {
        sql("delete from maj");
        for (const auto& statement : c.before)
            sql(statement);
        addPackage("HALVIO27", "Halvio 27", "2024.06.07 08:09:10");
        std::filesystem::create_directories(updateFolder());
        test::writeBytes(updateFile("halvio27.zip"), packageArchive("exe27"));
        const std::string content = unpackAndRun(context, updateFile("halvio27.zip"), "halvio27.zip");
        recordPackage(model, recordName("HALVIO27"), "Halvio 27", "2024.06.07 08:09:10", content);
        EXPECT_EQ(majRows(), c.after) << c.what;
    }
}

TEST_F(PackageInstaller, PackageFileIsDeletedWhateverTheCurrentDirectory) {
    test::PackageServer publicHost(test::kPublicAddress, test::kPublicPort);
    publicHost.serve("/kliso/update/pkg.zip", packageArchive("contenu"));
    view.setChecked(CheckBoxId::DirectConnection, false);
    addPackage("PKG");
    test::TempFolder elsewhere;
    std::filesystem::create_directory(elsewhere.file("update"));
    test::writeBytes(elsewhere.file("update/pkg.zip"), "a file of the same name elsewhere");
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(elsewhere.path());

    Button3Click(context);
    std::filesystem::current_path(previous);

    EXPECT_FALSE(std::filesystem::exists(updateFile("pkg.zip")));
    EXPECT_TRUE(std::filesystem::exists(elsewhere.file("update/pkg.zip")));
    EXPECT_EQ(majRows().size(), 1u);
}

TEST_F(PackageInstaller, EndOfRunIsStampedAfterTheLastPackage) {
    test::PackageServer publicHost(test::kPublicAddress, test::kPublicPort);
    publicHost.serve("/kliso/update/a_one.zip", packageArchive("un"));
    publicHost.serve("/kliso/update/b_two.zip", packageArchive("deux"));
    view.setChecked(CheckBoxId::DirectConnection, false);
    addPackage("A_ONE");
    addPackage("B_TWO");

    const std::string runStart = DateTimeText(DateTime::now());
    std::string lastPackageSaved;
    view.onLog = [&](const std::string& line) {
        if (line == fr("Fichier sauvé") && model.tmem.currentIndex() == 1) {
            // Let the clock pass the second at which the run began.
            static_cast<void>(
                QTest::qWaitFor([&] { return DateTimeText(DateTime::now()) != runStart; }, 3000));
            lastPackageSaved = DateTimeText(DateTime::now());
        }
    };
    Button3Click(context);

    ASSERT_NE(lastPackageSaved, runStart);
    const std::string stamp = setupStamp();
    EXPECT_GE(stamp, lastPackageSaved);
    EXPECT_LE(stamp, DateTimeText(DateTime::now()));
    EXPECT_FALSE(model.IB.isOpen());
}
