// A whole run of the real updater against the reference service, from the countdown to the close:
// what the service received, what the database, the program folder and the workstations got.
#include "ChildProcesses.h"
#include "ClinicInstallation.h"
#include "Fonction.h"
#include "LoopbackHttpServer.h"
#include "RunSupport.h"
#include "ServiceOnLoopback.h"
#include "UpdaterRun.h"
#include "Windows1252.h"
#include "WorkstationListener.h"

#include <gtest/gtest.h>

#include <set>

namespace halvio::test {
namespace {

const char* const kClient = "C1234";

std::vector<std::string> column(const std::vector<std::vector<std::string>>& rows, size_t index) {
    std::vector<std::string> values;
    for (const auto& row : rows)
        values.push_back(row.at(index));
    return values;
}

TEST(WholeRun, InstallsEveryNewerPackageReportsTheClinicAndClosesTenSecondsAfterTheEnd) {
    ChildProcesses processes;
    TempFolder serviceRoot;

    tools::WorkstationListener firstWorkstation({{"127.0.0.1", 0}}, {});
    tools::WorkstationListener thirdWorkstation({{"127.0.0.1", 0}}, {});
    firstWorkstation.start();
    thirdWorkstation.start();
    ClinicRows rows = exampleClinic();
    // The second workstation is off: its refusal must not stop the third from being told.
    rows.workstations = {{"  127.0.0.1", " " + std::to_string(firstWorkstation.boundAddresses().at(0).port)},
                         {"127.0.0.1", std::to_string(LoopbackHttpServer::closedPort())},
                         {"127.0.0.1", std::to_string(thirdWorkstation.boundAddresses().at(0).port)}};
    ClinicInstallation clinic(rows);

    const std::string halvio = programBytes("halvio");
    const std::string halvio26 = programBytes("halvio26");
    const std::string script = "update md set titre='Dre Vigneault' where id=2\r\n"
                               "update nosuchtable set x=1\r\n"
                               "\r\n"
                               "insert into site (id, nom) values (3, 'Annexe Nord')\n";
    ServiceCatalog catalog(serviceRoot.path());
    catalog.setClient(kClient, {"Clinique du Parc",
                                "15",
                                "47",
                                {"update md set actif=1 where id=2", "update nosuchtable set x=1",
                                 "update site set faxid='FX9' where id=2"}});
    catalog.publish("UPDATEDIAG", "2024.01.10 10:00:00", fr("Renumérotation des diagnostics"), "diag");
    catalog.publish("SQL_CLINIQUE", "2024.01.10 10:00:00", fr("Mise à jour de l'assurance"), script);
    catalog.publish("HALVIO", "2024.01.10 10:00:00", "Nouvelle version du programme", halvio);
    // Installed already with this very date: the "/" reads as ".".
    catalog.publish("HHALVIO", "2004/05/12 10:22:33", "Aide", programBytes("hhalvio"));
    catalog.publish("HALVIO27", "2024.01.10 10:00:00", "Version 26", halvio26);
    ServiceOnLoopback service(catalog);

    UpdaterRun run(processes, clinic);
    ASSERT_TRUE(run.waitEnded(kRunLimit))
        << "the updater did not end by itself" << clinic.diagnostics() << "\n--- service ---\n"
        << service.log();
    EXPECT_EQ(run.exitCode(), 0) << clinic.diagnostics();
    EXPECT_FALSE(readBytesIfAny(clinic.inProgramFolder("maj_kliso.err"))) << clinic.diagnostics();

    // The report: posted once, to the office server, after the countdown, byte for byte as built.
    const std::vector<ServiceRequest> posts = service.requests("POST");
    ASSERT_EQ(traffic(posts), std::vector<std::string>{"POST /C1234.maj 200 at office"}) << service.log();
    EXPECT_GE(secondsBetween(run.started(), posts.front().arrived), 5.0)
        << "the exchange began before the countdown";
    const std::vector<std::string> reports = service.reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports.front(), expectedReportBody(rows, QDate::currentDate()));
    EXPECT_EQ(readBytesIfAny(clinic.inProgramFolder("test.txt")), catalog.expectedReply(kClient));

    // The newer packages, in name order, from the office server; HHALVIO is installed already.
    EXPECT_EQ(traffic(service.requests("GET")),
              (std::vector<std::string>{"GET /kliso/update/halvio.zip 200 at office",
                                        "GET /kliso/update/halvio27.zip 200 at office",
                                        "GET /kliso/update/sql_clinique.zip 200 at office",
                                        "GET /kliso/update/updatediag.zip 200 at office"}));

    // The reply's settings and statements, the failing one skipped.
    EXPECT_EQ(Trimmed(clinic.value("select nom from setup")), "Clinique du Parc");
    EXPECT_EQ(clinic.value("select nomx from setup"), "Clinique du Parc");
    EXPECT_EQ(clinic.value("select cast(escompte as integer) from setup"), "15");
    EXPECT_EQ(clinic.value("select dsq_eventprefix from setup"), "47");
    EXPECT_EQ(clinic.value("select actif from md where id=2"), "1");
    EXPECT_EQ(clinic.value("select faxid from site where id=2"), "FX9");

    // The script ran line by line past its failing statement.
    EXPECT_EQ(Trimmed(clinic.value("select titre from md where id=2")), "Dre Vigneault");
    EXPECT_EQ(clinic.value("select nom from site where id=3"), "Annexe Nord");

    // Every package recorded with its content; HALVIO27 under HALVIO26, SQL_CLINIQUE updated in place.
    const auto recorded = clinic.query("select nom, description, dates, fichier from maj order by nom");
    EXPECT_EQ(column(recorded, 0),
              (std::vector<std::string>{"HALVIO", "HALVIO26", "HHALVIO", "SQL_CLINIQUE", "UPDATEDIAG"}));
    EXPECT_EQ(column(recorded, 1), (std::vector<std::string>{"Nouvelle version du programme", "Version 26",
                                                             "Aide", fr("Mise à jour de l'assurance"),
                                                             fr("Renumérotation des diagnostics")}));
    EXPECT_EQ(column(recorded, 2), (std::vector<std::string>{"2024.01.10 10:00:00 ", "2024.01.10 10:00:00 ",
                                                             "2004.05.12 10:22:33 ", "2024.01.10 10:00:00 ",
                                                             "2024.01.10 10:00:00 "}));
    EXPECT_EQ(column(recorded, 3), (std::vector<std::string>{halvio, halvio26, "<null>", script, "diag"}));

    // The program files, and no package file left behind.
    EXPECT_EQ(fileNames(clinic.inProgramFolder("update")),
              (std::vector<std::string>{"halvio.exe", "halvio26.exe"}));
    EXPECT_EQ(readBytesIfAny(clinic.inProgramFolder("update/halvio.exe")), halvio);
    EXPECT_EQ(readBytesIfAny(clinic.inProgramFolder("update/halvio26.exe")), halvio26);
    EXPECT_TRUE(fileNames(clinic.otherFolder()).empty()) << "the updater wrote into its current directory";

    // The two workstations that are on were told once each, the way the clinic's listeners expect.
    for (const tools::WorkstationListener* workstation : {&firstWorkstation, &thirdWorkstation}) {
        const auto calls = workstation->calls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls.front().method, "GET");
        EXPECT_EQ(calls.front().path, "/MAJ");
        EXPECT_EQ(calls.front().userAgent, "Mozilla/3.0 (compatible; Indy Library)");
        EXPECT_EQ(calls.front().accept, "text/html, */*");
    }

    // DIAG renumbered: the same rows, each with a fresh ID, MD at 0, texts kept.
    const auto diag =
        clinic.query("select trim(diag), md, trim(dates), desc_spec, id from diag order by diag");
    EXPECT_EQ(column(diag, 0), (std::vector<std::string>{"D1", "D2", "D3"}));
    EXPECT_EQ(column(diag, 1), (std::vector<std::string>{"0", "0", "0"}));
    EXPECT_EQ(column(diag, 2), (std::vector<std::string>{"2004.01.01", "", "2004.02.02"}));
    EXPECT_EQ(column(diag, 3),
              (std::vector<std::string>{"Texte d'origine", "", fr("Autre texte, accentué")}));
    const auto ids = column(diag, 4);
    EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), 3u);
    for (const std::string& id : ids)
        EXPECT_TRUE(id != "<null>" && id != "-1") << id;
    EXPECT_EQ(clinic.value("select count(*) from rdb$triggers where rdb$trigger_name='DIAG_BI'"), "1");
    EXPECT_EQ(clinic.value("select count(*) from rdb$generators where rdb$generator_name='GEN_DIAG_ID'"),
              "1");

    // SETUP.MAJ stamped after the last package, and the window closed by itself ten seconds later.
    const QDateTime stamp = clinic.setupMaj();
    ASSERT_TRUE(stamp.isValid()) << clinic.value("select maj from setup");
    EXPECT_GE(secondsBetween(service.requests("GET").back().arrived, stamp), -2.0);
    EXPECT_GE(secondsBetween(stamp, run.ended()), 9.0);
    EXPECT_LE(secondsBetween(stamp, run.ended()), 25.0);

    // The choice of the direct connection saved, the rest of kliso.ini kept.
    EXPECT_EQ(readBytesIfAny(clinic.inProgramFolder("kliso.ini")), clinic.klisoIniAtStart() + "beta=O\r\n");
}

} // namespace
} // namespace halvio::test
