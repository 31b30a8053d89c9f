// Two workstations of one clinic running the real updater at the same moment (the usual morning):
// both start on a database that lacks ESCOMPTE, both exchange with the service and find the same
// packages pending, and each package is installed once.
#include "ChildProcesses.h"
#include "ClinicInstallation.h"
#include "RunSupport.h"
#include "ServiceOnLoopback.h"
#include "UpdaterRun.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace halvio::test {
namespace {

TEST(TwoWorkstations, StartedTogetherOnOneClinicTheyApplyANonIdempotentScriptOnce) {
    ChildProcesses processes;
    TempFolder serviceRoot;
    ClinicRows rows = exampleClinic();
    rows.workstations.clear();
    ClinicInstallation clinic(rows);
    ASSERT_EQ(clinic.value("select count(*) from rdb$relation_fields "
                           "where rdb$relation_name = 'SETUP' and rdb$field_name = 'ESCOMPTE'"),
              "0");

    // SITE has no key: a second run of the script would add a second row.
    const std::string script = "insert into site (id, nom) values (9, 'Annexe Est')\r\n";
    ServiceCatalog catalog(serviceRoot.path());
    catalog.setClient(rows.setup.client, {"Clinique du Parc", "15", "47", {}});
    catalog.publish("GABARITS", "2024.01.10 10:00:00", "Lettres", "lettres");
    catalog.publish("SQL_ANNEXE", "2024.01.10 10:00:00", "Annexe", script);
    ServiceOnLoopback service(catalog);

    UpdaterRun first(processes, clinic);
    UpdaterRun second(processes, clinic);
    const bool firstEnded = first.waitEnded(kRunLimit);
    const bool secondEnded = second.waitEnded(kRunLimit);
    ASSERT_TRUE(firstEnded && secondEnded)
        << "an updater did not end by itself" << clinic.diagnostics() << "\n--- service ---\n"
        << service.log();
    EXPECT_EQ(first.exitCode(), 0) << clinic.diagnostics();
    EXPECT_EQ(second.exitCode(), 0) << clinic.diagnostics();
    EXPECT_FALSE(readBytesIfAny(clinic.inProgramFolder("maj_kliso.err"))) << clinic.diagnostics();

    // Both reported and found the packages pending; the one that waited fetched nothing.
    EXPECT_EQ(service.reports().size(), 2u) << service.log();
    const auto gets = traffic(service.requests("GET"));
    EXPECT_EQ(std::count(gets.begin(), gets.end(), "GET /kliso/update/sql_annexe.zip 200 at office"), 1)
        << service.log();
    EXPECT_EQ(std::count(gets.begin(), gets.end(), "GET /kliso/update/gabarits.zip 200 at office"), 1)
        << service.log();

    EXPECT_EQ(clinic.value("select count(*) from site where id = 9"), "1");
    EXPECT_EQ(clinic.value("select count(*) from maj where nom = 'SQL_ANNEXE'"), "1");
    EXPECT_EQ(clinic.value("select count(*) from maj where nom = 'GABARITS'"), "1");
    EXPECT_EQ(clinic.value("select count(*) from rdb$relation_fields "
                           "where rdb$relation_name = 'SETUP' and rdb$field_name = 'ESCOMPTE'"),
              "1");
    EXPECT_EQ(clinic.value("select count(*) from maj_verrou"), "0") << "a run left its lock behind";
    EXPECT_TRUE(clinic.setupMaj().isValid());
}

} // namespace
} // namespace halvio::test
