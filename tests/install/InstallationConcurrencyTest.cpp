// Another workstation at work on the same clinic database, through real connections to the private
// server: the installation lock around the transfer, the packages it installed meanwhile, and the
// records it keeps locked while a script or the record in MAJ needs them.
#include "PackageInstaller.h"
#include "PackageTransfer.h"

#include "Fonction.h"
#include "InstallFixture.h"
#include "InstallationLock.h"
#include "PackageServer.h"
#include "Windows1252.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

using namespace halvio;
using namespace std::chrono_literals;
using test::OtherConnection;
using test::packageArchive;

namespace {

const char* const kLockedDataForm =
    "form:Des données sont verrouillées par un autre poste. Réessayer plus tard.";
const char* const kBusyForm = "form:Une mise à jour est en cours sur un autre poste. Réessayer plus tard.";
const char* const kWaitLine = "Données verrouillées par un autre poste : attente de leur libération...";

class InstallationConcurrency : public test::InstallFixture {
protected:
    InstallationConcurrency() {
        sql("insert into md (id, actif) values (1, 0)");
        view.setChecked(CheckBoxId::DirectConnection, false);
    }
    std::vector<std::string> dialogTexts() const {
        std::vector<std::string> texts;
        for (const auto& dialog : view.dialogs)
            texts.push_back(dialog.kind + ":" + utf8FromCp1252(dialog.text) + "|" +
                            std::to_string(dialog.mode));
        return texts;
    }
    bool logHas(const std::string& utf8Line) const {
        const auto lines = view.logUtf8();
        return std::find(lines.begin(), lines.end(), utf8Line) != lines.end();
    }
    std::vector<std::string> column(const std::string& select) const {
        std::vector<std::string> values;
        for (const auto& row : clinic.query(select))
            values.push_back(row.at(0));
        return values;
    }
    std::string installSaved(const std::string& nom, const std::string& content) {
        std::filesystem::create_directories(updateFolder());
        const std::string file = lowerAscii(nom) + ".zip";
        test::writeBytes(updateFile(file), packageArchive(content));
        model.tmem.first();
        while (Trimmed(model.tmem.current().NOM) != nom)
            model.tmem.next();
        // As the package steps take it: unpacked and run, then recorded.
        std::string unpacked = unpackAndRun(context, updateFile(file), file);
        const PackageRow& row = model.tmem.current();
        recordPackage(model, nom, Trimmed(row.DESCRIPTION), Trimmed(row.DATES), unpacked);
        return unpacked;
    }
    static std::string path(const std::string& file) { return "/kliso/update/" + file; }
};

} // namespace

TEST_F(InstallationConcurrency, AScriptLineWaitsForARecordAnotherWorkstationHoldsAndAppliesOnce) {
    OtherConnection other(clinic.name(), clinic.password());
    other.execute("update md set actif = 5 where id = 1");
    view.onProcessMessages = [&] { // the other workstation ends its work once this one waits for it
        if (other.inTransaction() && !view.log.empty())
            other.commit();
    };
    addPackage("SQL_COMPTE");

    installSaved("SQL_COMPTE", "insert into site (id, nom) values (1, 'avant')\r\n"
                               "update md set actif = actif + 1 where id = 1\r\n"
                               "insert into site (id, nom) values (2, 'apres')\r\n");

    EXPECT_EQ(sqlValue("select actif from md where id = 1"), "6");
    EXPECT_EQ(column("select id from site order by id"), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(view.logUtf8(), std::vector<std::string>{kWaitLine});
    EXPECT_EQ(model.tmem.current().etat, fr("Installé"));
    EXPECT_EQ(column("select nom from maj"), std::vector<std::string>{"SQL_COMPTE"});
}

TEST_F(InstallationConcurrency, TheRecordWaitsForTheMajRowAnotherWorkstationHolds) {
    sql("insert into maj (nom, description, dates) values ('PKG_A', 'ancien', '2001.01.01 00:00:00')");
    OtherConnection other(clinic.name(), clinic.password());
    other.execute("update maj set description = 'en cours' where nom = 'PKG_A'");
    view.onProcessMessages = [&] {
        if (other.inTransaction())
            other.commit();
    };
    addPackage("PKG_A", "nouveau", "2024.06.07 08:09:10");

    installSaved("PKG_A", "neuf");

    EXPECT_EQ(majRows(),
              (std::vector<std::vector<std::string>>{{"PKG_A", "nouveau", "2024.06.07 08:09:10 ", "neuf"}}));
    EXPECT_EQ(view.logUtf8(), std::vector<std::string>{kWaitLine});
}

TEST_F(InstallationConcurrency, ARecordStillLockedAfterTheWaitStopsThePackageAndEndsTheRunUnrecorded) {
    test::PackageServer publicHost(test::kPublicAddress, test::kPublicPort);
    publicHost.serve(path("sql_compte.zip"),
                     packageArchive("insert into site (id, nom) values (1, 'avant')\r\n"
                                    "update md set actif = actif + 1 where id = 1\r\n"
                                    "insert into site (id, nom) values (2, 'apres')\r\n"));
    publicHost.serve(path("sql_suite.zip"), packageArchive("insert into site (id, nom) values (3, 'suite')"));
    addPackage("SQL_COMPTE");
    addPackage("SQL_SUITE");
    OtherConnection other(clinic.name(), clinic.password());
    other.execute("update md set actif = 5 where id = 1");
    model.lockConflictWait = 2s;

    Button3Click(context);

    // Stopped at the locked line: the line was not taken for a failed one and skipped.
    EXPECT_EQ(column("select id from site order by id"), std::vector<std::string>{"1"});
    EXPECT_TRUE(majRows().empty());
    EXPECT_EQ(etats(), (std::vector<std::string>{"Installation", ""}));
    EXPECT_TRUE(logHas("Données toujours verrouillées par un autre poste après 2 secondes."))
        << testing::PrintToString(view.logUtf8());
    EXPECT_EQ(dialogTexts(), std::vector<std::string>{std::string(kLockedDataForm) + "|80"});
    EXPECT_TRUE(view.closed);
    EXPECT_EQ(setupStamp(), kOldStamp);
    EXPECT_EQ(publicHost.requests(), std::vector<std::string>{path("sql_compte.zip")});
    EXPECT_EQ(sqlValue("select count(*) from maj_verrou"), "0") << "the installation lock was not released";
    other.rollback();
    EXPECT_EQ(sqlValue("select actif from md where id = 1"), "0");
}

TEST_F(InstallationConcurrency, ARunThatCannotHaveTheInstallationLockInstallsNothing) {
    test::PackageServer publicHost(test::kPublicAddress, test::kPublicPort);
    publicHost.serve(path("sql_a.zip"), packageArchive("insert into site (id, nom) values (1, 'a')"));
    addPackage("SQL_A");
    InstallationLock otherWorkstation(model.IB, InstallationLockTiming{}, "POSTE-2 (processus 42)");
    ASSERT_TRUE(otherWorkstation.tryAcquire(view).taken);
    model.installationLock.wait = 1500ms;
    model.installationLock.retryEvery = 200ms;

    Button3Click(context);

    EXPECT_EQ(
        view.logUtf8(),
        (std::vector<std::string>{
            "Tentative de connection à localhost:18081", "Transfert des fichiers...",
            "Une installation est déjà en cours sur le poste POSTE-2 (processus 42) : attente de sa fin "
            "(2 secondes au plus)...",
            "L'autre installation n'est pas terminée : aucune mise à jour n'a été installée."}));
    EXPECT_EQ(dialogTexts(), std::vector<std::string>{std::string(kBusyForm) + "|80"});
    EXPECT_TRUE(view.closed);
    EXPECT_TRUE(publicHost.requests().empty());
    EXPECT_TRUE(majRows().empty());
    EXPECT_EQ(sqlValue("select count(*) from site"), "0");
    EXPECT_EQ(setupStamp(), kOldStamp);
    EXPECT_EQ(etats(), std::vector<std::string>{""});
}

TEST_F(InstallationConcurrency, PackagesAnotherWorkstationInstalledWhileThisOneWaitedArePassedOver) {
    test::PackageServer publicHost(test::kPublicAddress, test::kPublicPort);
    publicHost.serve(path("sql_a.zip"), packageArchive("insert into site (id, nom) values (1, 'a')"));
    publicHost.serve(path("sql_b.zip"), packageArchive("insert into site (id, nom) values (2, 'b')"));
    publicHost.serve(path("sql_c.zip"), packageArchive("insert into site (id, nom) values (3, 'c')"));
    addPackage("SQL_A", "Description", "2024.01.02 03:04:05");
    addPackage("SQL_B", "Description", "2024.01.02 03:04:05");
    addPackage("SQL_C", "Description", "2024.01.02 03:04:05");
    // The other workstation installs SQL_A at the offered date and SQL_B at a later one, then ends;
    // an older SQL_C is still to be installed here.
    auto otherWorkstation = std::make_unique<InstallationLock>(model.IB, InstallationLockTiming{}, "POSTE-2");
    ASSERT_TRUE(otherWorkstation->tryAcquire(view).taken);
    view.onProcessMessages = [&] {
        if (!otherWorkstation || view.messagePasses < 3)
            return;
        sql("insert into maj (nom, description, dates, fichier) values ('SQL_A', 'poste 2', '2024.01.02 "
            "03:04:05', 'a')");
        sql("insert into maj (nom, description, dates, fichier) values ('SQL_B', 'poste 2', '2024.02.01 "
            "00:00:00', 'b')");
        sql("insert into maj (nom, description, dates, fichier) values ('SQL_C', 'poste 2', '2023.12.31 "
            "00:00:00', 'c')");
        otherWorkstation.reset();
    };
    model.installationLock.retryEvery = 200ms;

    Button3Click(context);

    EXPECT_TRUE(logHas("SQL_A : déjà installé par un autre poste, passé."));
    EXPECT_TRUE(logHas("SQL_B : déjà installé par un autre poste, passé."));
    EXPECT_FALSE(logHas("Transfert de SQL_A"));
    EXPECT_EQ(publicHost.requests(), std::vector<std::string>{path("sql_c.zip")});
    EXPECT_EQ(column("select id from site order by id"), std::vector<std::string>{"3"});
    EXPECT_EQ(column("select trim(description) from maj order by nom"),
              (std::vector<std::string>{"poste 2", "poste 2", "Description"}));
    EXPECT_NE(setupStamp(), kOldStamp);
    EXPECT_FALSE(view.closed);
    EXPECT_TRUE(view.dialogs.empty());
}
