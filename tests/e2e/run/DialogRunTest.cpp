// Runs that end in notices to the user, on the test's own X server: the test answers each dialog
// as the user would, by its title, and the program ends once they are answered.
#include "ChildProcesses.h"
#include "ClinicInstallation.h"
#include "LoopbackHttpServer.h"
#include "RunSupport.h"
#include "ServiceHosts.h"
#include "ServiceOnLoopback.h"
#include "SmallDisk.h"
#include "UpdaterRun.h"
#include "VirtualDisplay.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <mutex>

namespace halvio::test {
namespace {

// The service's hosts are fixed in the updater: a server already there would answer in the test's place.
tools::ListenAddress freeServiceAddress(const char* host) {
    const tools::ListenAddress address = serviceAddress(host);
    if (someoneListensOn(address.host, address.port))
        throw std::runtime_error(tools::toText(address) +
                                 " is taken: another suite or program holds the service ports");
    return address;
}

std::unique_ptr<LoopbackHttpServer> listenOn(const char* host) {
    const tools::ListenAddress address = freeServiceAddress(host);
    return std::make_unique<LoopbackHttpServer>(address.host, address.port);
}

// A notice the run must show: its window title, and what a test says when it does not come.
struct Notice {
    std::string title;
    std::string whenMissing;
};

class DialogRun : public ::testing::Test {
protected:
    std::string whatIsShown() { return "\n" + display.state(); }

    // Answers the notices in order, as someone at the workstation would, then waits for the program
    // to end by itself with exit code 0. The first notice is given the time of a whole run.
    void answerThenSeeTheEnd(UpdaterRun& run, const std::vector<Notice>& notices,
                             const ClinicInstallation& clinic, const ServiceOnLoopback& service) {
        const auto running = [&] { return run.isRunning(); };
        for (size_t i = 0; i < notices.size(); ++i)
            ASSERT_TRUE(display.pressReturnIn(notices[i].title, running, i == 0 ? kDialogLimit : 60s))
                << notices[i].whenMissing << whatIsShown() << clinic.diagnostics()
                << (i == 0 ? "\n" + service.log() : std::string());
        ASSERT_TRUE(run.waitEnded(60s))
            << "the program did not end once the notices were answered" << whatIsShown();
        EXPECT_EQ(run.exitCode(), 0);
    }

    // What a failed run leaves: SETUP as it was, and no crash report.
    static void expectUnstampedWithoutReport(const ClinicInstallation& clinic) {
        EXPECT_EQ(clinic.value("select maj from setup"), "2004.05.11 14:03:22")
            << "a failed run does not stamp SETUP";
        EXPECT_FALSE(readBytesIfAny(clinic.inProgramFolder("maj_kliso.err"))) << clinic.diagnostics();
    }

    ChildProcesses processes;
    VirtualDisplay display{processes};
};

TEST_F(DialogRun, ServiceFailingAtEveryEndpointIsTriedTwiceOverThenTheUserIsToldAndTheProgramEnds) {
    const ClinicRows rows = exampleClinic();
    ClinicInstallation clinic(rows);

    // The three endpoints of the report: the office server answers 503, nothing listens at the
    // internal address, and the second public address breaks its reply off.
    std::mutex mutex;
    std::vector<std::string> attempts;
    auto office = listenOn(hosts::kOfficeServer);
    office->handleOthers([&](const RecordedRequest& request) {
        const std::lock_guard lock(mutex);
        attempts.push_back("office " + request.method + " " + request.path);
        return LoopbackReply::text("en maintenance", 503);
    });
    freeServiceAddress(hosts::kInternalAddress);
    auto secondPublic = listenOn(hosts::kSecondPublicAddress);
    secondPublic->handleOthers([&](const RecordedRequest& request) {
        const std::lock_guard lock(mutex);
        attempts.push_back("second public " + request.method + " " + request.path);
        LoopbackReply broken = LoopbackReply::text(std::string(2000, 'x'));
        broken.cutAfter = 100;
        return broken;
    });

    UpdaterRun run(processes, clinic, display.name());
    ASSERT_TRUE(display.pressReturnIn(
        "Information", [&] { return run.isRunning(); }, kDialogLimit))
        << "no \"Information\" dialog" << whatIsShown() << clinic.diagnostics();
    // The notice comes after the sixth failure: three endpoints, then the three again without proxy.
    {
        const std::lock_guard lock(mutex);
        EXPECT_EQ(attempts,
                  (std::vector<std::string>{"office POST /C1234.maj", "second public POST /C1234.maj",
                                            "office POST /C1234.maj", "second public POST /C1234.maj"}));
    }
    ASSERT_TRUE(run.waitEnded(60s)) << "the program did not end once the notice was answered"
                                    << whatIsShown();
    EXPECT_EQ(run.exitCode(), 0);

    // Every attempt sends the whole report; nothing more was tried, nothing changed.
    const std::string report = expectedReportBody(rows, QDate::currentDate());
    for (const auto* server : {office.get(), secondPublic.get()}) {
        const std::vector<RecordedRequest> requests = server->requests();
        ASSERT_EQ(requests.size(), 2u);
        for (const RecordedRequest& request : requests)
            EXPECT_EQ(request.body, report);
    }
    EXPECT_FALSE(readBytesIfAny(clinic.inProgramFolder("test.txt")));
    expectUnstampedWithoutReport(clinic);
}

TEST_F(DialogRun, PackageMissingOnTheServiceEndsTheRunWithThePackagesBeforeItRecordedAndNoStamp) {
    ClinicInstallation clinic(exampleClinic());
    TempFolder serviceRoot;
    ServiceCatalog catalog(serviceRoot.path());
    catalog.setClient("C1234", {"Clinique du Parc", "15", "47", {}});
    const std::string halvio = programBytes("halvio");
    catalog.publish("HALVIO", "2024.01.10 10:00:00", "Nouvelle version du programme", halvio);
    catalog.announce("HHALVIO", "2024.01.10 10:00:00", "Aide, sans fichier");
    catalog.publish("SQL_Z", "2024.01.10 10:00:00", "Script suivant", "update md set actif=1 where id=1");
    ServiceOnLoopback service(catalog);

    UpdaterRun run(processes, clinic, display.name());
    // The direct connection is ticked at every start: after the internal address has failed too,
    // its "antivirus" box comes first, then the two notices of a failed download.
    ASSERT_NO_FATAL_FAILURE(answerThenSeeTheEnd(run,
                                                {{"maj_kliso", "no \"antivirus\" box"},
                                                 {"maj_kliso", "no box with the error's text"},
                                                 {"Vantorix  Attention!", "no mode 80 dialog"}},
                                                clinic, service));

    EXPECT_EQ(traffic(service.requests("GET")),
              (std::vector<std::string>{"GET /kliso/update/halvio.zip 200 at office",
                                        "GET /kliso/update/hhalvio.zip 404 at office",
                                        "GET /kliso/update/hhalvio.zip 404 at internal"}));
    const std::vector<std::vector<std::string>> recorded{{"HALVIO", "2024.01.10 10:00:00 "},
                                                         {"HHALVIO", "2004.05.12 10:22:33 "},
                                                         {"SQL_CLINIQUE", "2003.01.01 00:00:00 "}};
    EXPECT_EQ(clinic.query("select nom, dates from maj order by nom"), recorded);
    EXPECT_EQ(readBytesIfAny(clinic.inProgramFolder("update/halvio.exe")), halvio);
    EXPECT_EQ(fileNames(clinic.inProgramFolder("update")), std::vector<std::string>{"halvio.exe"});
    expectUnstampedWithoutReport(clinic);
}

// The update folder is a 3 MiB disk holding the clinic's current halvio.exe; the new program does
// not fit beside it. The file the clinic program picks up must stay whole, and the package must stay
// unrecorded so that the next run fetches it again.
TEST_F(DialogRun, FullDiskLeavesThePreviousProgramWholeAndThePackageForTheNextRun) {
    if (!SmallDisk::available())
        GTEST_SKIP() << "needs root to mount a small disk as the update folder";
    ClinicInstallation clinic(exampleClinic());
    const std::string update = clinic.inProgramFolder("update");
    std::filesystem::create_directories(update);
    SmallDisk disk(update);
    const std::string previous = programBytes("halvio en service") + std::string(1 << 20, 'p');
    writeBytes(update + "/halvio.exe", previous);

    TempFolder serviceRoot;
    ServiceCatalog catalog(serviceRoot.path());
    catalog.setClient("C1234", {"Clinique du Parc", "15", "47", {}});
    const std::string program(5 << 19, 'h'); // 2.5 MiB that deflate shrinks to a small package file
    catalog.publish("HALVIO", "2024.01.10 10:00:00", "Nouvelle version du programme", program);
    catalog.publish("SQL_Z", "2024.01.10 10:00:00", "Script suivant", "update md set actif=1 where id=1");
    ServiceOnLoopback service(catalog);

    UpdaterRun run(processes, clinic, display.name());
    ASSERT_NO_FATAL_FAILURE(answerThenSeeTheEnd(
        run, {{"maj_kliso", "no box with the error's text"}, {"Vantorix  Attention!", "no mode 80 dialog"}},
        clinic, service));

    EXPECT_EQ(traffic(service.requests("GET")),
              std::vector<std::string>{"GET /kliso/update/halvio.zip 200 at office"});
    EXPECT_EQ(readBytesIfAny(update + "/halvio.exe"), previous);
    EXPECT_EQ(fileNames(update), std::vector<std::string>{"halvio.exe"}) << "no cut or temporary file";
    const std::vector<std::vector<std::string>> recorded{{"HHALVIO", "2004.05.12 10:22:33 "},
                                                         {"SQL_CLINIQUE", "2003.01.01 00:00:00 "}};
    EXPECT_EQ(clinic.query("select nom, dates from maj order by nom"), recorded);
    expectUnstampedWithoutReport(clinic);
}

// An error no step expects: a plain file stands where the update folder goes.
TEST_F(DialogRun, UnexpectedErrorIsReportedThenTheRunEndsByItselfUnstamped) {
    ClinicInstallation clinic(exampleClinic());
    writeBytes(clinic.inProgramFolder("update"), "not a folder");
    TempFolder serviceRoot;
    ServiceCatalog catalog(serviceRoot.path());
    catalog.setClient("C1234", {"Clinique du Parc", "15", "47", {}});
    catalog.publish("GABARITS", "2024.01.10 10:00:00", "Gabarits de lettres", "lettres");
    catalog.publish("SQL_Z", "2024.01.10 10:00:00", "Script suivant", "update md set actif=1 where id=1");
    ServiceOnLoopback service(catalog);

    UpdaterRun run(processes, clinic, display.name());
    // The unexpected error's report, answered as someone at the workstation would.
    ASSERT_TRUE(display.pressReturnIn(
        "Vantorix - Erreur", [&] { return run.isRunning(); }, kDialogLimit))
        << "no crash report" << whatIsShown() << clinic.diagnostics() << "\n"
        << service.log();
    const QDateTime answered = QDateTime::currentDateTime();
    ASSERT_TRUE(run.waitEnded(60s)) << "the window did not close by itself after the report" << whatIsShown();
    EXPECT_EQ(run.exitCode(), 0);
    EXPECT_GE(secondsBetween(answered, run.ended()), 9.0) << "the run ends by the timed close";

    const std::optional<std::string> report = readBytesIfAny(clinic.inProgramFolder("maj_kliso.err"));
    ASSERT_TRUE(report) << clinic.diagnostics();
    // The countdown started the exchange; the library's own text is kept.
    EXPECT_NE(report->find("Handler: Timer1Timer\r\nMessage: Cannot create the folder '" +
                           clinic.inProgramFolder("update") + "': File exists"),
              std::string::npos)
        << *report;

    // The run stopped before its first download, as a failed run stops.
    EXPECT_TRUE(service.requests("GET").empty());
    EXPECT_EQ(clinic.value("select count(*) from maj where nom in ('GABARITS', 'SQL_Z')"), "0");
    EXPECT_EQ(clinic.value("select maj from setup"), "2004.05.11 14:03:22")
        << "a failed run does not stamp SETUP";
}

} // namespace
} // namespace halvio::test
