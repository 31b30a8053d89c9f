// The updater replacing itself when the service publishes MAJ_KLISO: the real copy tool puts the new
// program in place and starts it, and that next run finds nothing newer, neither at its start nor
// in the service's list.
#include "ChildProcesses.h"
#include "ClinicInstallation.h"
#include "RunSupport.h"
#include "ServiceOnLoopback.h"
#include "UpdaterRun.h"
#include "Windows1252.h"

#include <QTest>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace halvio::test {
namespace {

const char* const kClient = "C1234";

void setLastWriteTime(const std::string& path, const QDateTime& time) {
    const timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(time.toSecsSinceEpoch()), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

bool isExecutable(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && (info.st_mode & S_IXUSR) != 0;
}

TEST(SelfUpdateRun, CopyToolReplacesTheUpdaterAndItsNextStartFindsNothingNewer) {
    ChildProcesses processes;
    TempFolder serviceRoot;
    const ClinicRows rows = exampleClinic();
    ClinicInstallation clinic(rows);

    // The running updater is an hour old and the published one half an hour: the next start finds
    // nothing newer only if the replaced file is dated from its replacement.
    const QDateTime now = QDateTime::currentDateTime();
    setLastWriteTime(clinic.updater(), now.addSecs(-3600));
    const std::string published =
        now.addSecs(-1800).toString(QStringLiteral("yyyy.MM.dd hh:mm:ss")).toStdString();
    // Still a working updater: the bytes after the program change nothing when it runs.
    const std::string newUpdater =
        *readBytesIfAny(clinic.updater()) + "\nmaj_kliso published by the service\n";
    const std::string copyTool = *readBytesIfAny(HALVIO_BINARY_DIR "/bin/copie.exe");

    ServiceCatalog catalog(serviceRoot.path());
    catalog.setClient(kClient, {"Clinique du Parc", "15", "47", {}});
    catalog.publish("SQL_APRES", published, fr("Après la mise à jour"), "update md set actif=1 where id=1");
    catalog.publish("MAJ_KLISO", published, fr("Programme de mise à jour"), newUpdater);
    catalog.publish("COPIE", published, "Outil de copie", copyTool);
    ServiceOnLoopback service(catalog);

    UpdaterRun first(processes, clinic);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !service.requests("POST").empty() || !first.isRunning(); },
                                static_cast<int>(kRunLimit.count())))
        << clinic.diagnostics();
    // SQL_APRES, after MAJ_KLISO in name order, stays pending in this run; the service then stops
    // offering it, so that what the next run finds is only what this one installed.
    catalog.withdraw("SQL_APRES");
    ASSERT_TRUE(first.waitEnded(kRunLimit)) << clinic.diagnostics() << "\n--- service ---\n" << service.log();
    EXPECT_EQ(first.exitCode(), 0);

    const std::vector<std::string> downloads{"GET /kliso/update/copie.zip 200 at office",
                                             "GET /kliso/update/maj_kliso.zip 200 at office"};
    EXPECT_EQ(traffic(service.requests("GET")), downloads);
    const std::vector<std::vector<std::string>> recorded{{"COPIE", copyTool}, {"MAJ_KLISO", newUpdater}};
    EXPECT_EQ(clinic.query(
                  "select nom, fichier from maj where nom in ('COPIE','MAJ_KLISO','SQL_APRES') order by nom"),
              recorded);
    EXPECT_EQ(clinic.value("select maj from setup"), "2004.05.11 14:03:22")
        << "a self-update does not stamp SETUP";
    EXPECT_EQ(readBytesIfAny(clinic.inProgramFolder("Maj_kliso.new")), newUpdater);
    EXPECT_EQ(readBytesIfAny(clinic.inProgramFolder("copie.exe")), copyTool);
    EXPECT_TRUE(isExecutable(clinic.inProgramFolder("copie.exe")));

    // The copy tool waits for the updater to end, copies the new file over it and starts it again.
    ASSERT_TRUE(QTest::qWaitFor([&] { return readBytesIfAny(clinic.updater()) == newUpdater; }, 60000))
        << "maj_kliso.exe was not replaced" << clinic.diagnostics();
    EXPECT_TRUE(isExecutable(clinic.updater()));
    std::vector<pid_t> restarted;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            restarted = processes.childrenRunning(clinic.updater());
            return !restarted.empty();
        },
        60000))
        << "the copy tool did not start the updater again";
    ASSERT_EQ(restarted.size(), 1u);

    // A start variant would hold the next run in its dialog: it must reach the exchange instead,
    // report again and install nothing.
    UpdaterRun next(processes, restarted.front());
    ASSERT_TRUE(next.waitEnded(kRunLimit))
        << "the next run did not end by itself" << clinic.diagnostics() << "\n--- service ---\n"
        << service.log();
    EXPECT_EQ(next.exitCode(), 0);
    EXPECT_FALSE(readBytesIfAny(clinic.inProgramFolder("maj_kliso.err"))) << clinic.diagnostics();
    const std::vector<ServiceRequest> posts = service.requests("POST");
    ASSERT_EQ(posts.size(), 2u) << service.log();
    const std::string report = expectedReportBody(rows, QDate::currentDate());
    EXPECT_EQ(service.reports(), (std::vector<std::string>{report, report}));
    EXPECT_EQ(traffic(service.requests("GET")), downloads) << "the next run downloaded something";
    EXPECT_EQ(clinic.value("select count(*) from maj where nom='SQL_APRES'"), "0");

    const QDateTime stamp = clinic.setupMaj();
    ASSERT_TRUE(stamp.isValid());
    EXPECT_GE(secondsBetween(posts.back().arrived, stamp), -2.0);
    EXPECT_GE(secondsBetween(stamp, next.ended()), 9.0);
    EXPECT_LE(secondsBetween(stamp, next.ended()), 25.0);
}

// A COPIE that the system cannot start: the run keeps its updater, installs the packages after
// MAJ_KLISO, and ends by itself (the notice closes by itself too); nothing is left for the next
// start to try again.
TEST(SelfUpdateRun, ACopyToolThatCannotStartLeavesTheRunToEndWithTheCurrentUpdater) {
    ChildProcesses processes;
    TempFolder serviceRoot;
    ClinicInstallation clinic(exampleClinic());
    const QDateTime now = QDateTime::currentDateTime();
    setLastWriteTime(clinic.updater(), now.addSecs(-3600));
    const std::string published =
        now.addSecs(-1800).toString(QStringLiteral("yyyy.MM.dd hh:mm:ss")).toStdString();
    const std::string runningUpdater = *readBytesIfAny(clinic.updater());

    ServiceCatalog catalog(serviceRoot.path());
    catalog.setClient(kClient, {"Clinique du Parc", "15", "47", {}});
    catalog.publish("SQL_APRES", published, fr("Après la mise à jour"), "update md set actif=1 where id=1");
    catalog.publish("MAJ_KLISO", published, fr("Programme de mise à jour"), runningUpdater + "\nnewer\n");
    catalog.publish("COPIE", published, "Outil de copie", "neither a program nor a script");
    ServiceOnLoopback service(catalog);

    UpdaterRun run(processes, clinic);
    ASSERT_TRUE(run.waitEnded(kRunLimit))
        << "the run did not end by itself" << clinic.diagnostics() << "\n--- service ---\n"
        << service.log();
    EXPECT_EQ(run.exitCode(), 0);
    EXPECT_FALSE(readBytesIfAny(clinic.inProgramFolder("maj_kliso.err"))) << clinic.diagnostics();

    EXPECT_EQ(traffic(service.requests("GET")),
              (std::vector<std::string>{"GET /kliso/update/copie.zip 200 at office",
                                        "GET /kliso/update/maj_kliso.zip 200 at office",
                                        "GET /kliso/update/sql_apres.zip 200 at office"}));
    EXPECT_EQ(clinic.query("select nom from maj where nom in ('COPIE','MAJ_KLISO','SQL_APRES') order by nom"),
              (std::vector<std::vector<std::string>>{{"COPIE"}, {"SQL_APRES"}}));
    EXPECT_EQ(clinic.value("select actif from md where id=1"), "1");
    EXPECT_TRUE(clinic.setupMaj().isValid());
    EXPECT_NE(clinic.value("select maj from setup"), "2004.05.11 14:03:22") << "the run ended normally";
    EXPECT_FALSE(readBytesIfAny(clinic.inProgramFolder("Maj_kliso.new")));
    EXPECT_EQ(readBytesIfAny(clinic.updater()), runningUpdater);
}

} // namespace
} // namespace halvio::test
