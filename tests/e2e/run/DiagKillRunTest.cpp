// The real updater killed in the middle of the DIAG renumbering, at several moments of it, each kill
// followed by another run: whatever the moment, every row of DIAG is there exactly once, either as
// it was or renumbered, and a run that is left to end renumbers every row once. The run-wide log
// keeps what each killed run wrote.
#include "ChildProcesses.h"
#include "ClinicInstallation.h"
#include "RunSupport.h"
#include "ServiceOnLoopback.h"
#include "UpdaterRun.h"
#include "Windows1252.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

namespace halvio::test {
namespace {

// Enough rows for the copy to last a few seconds, so that each moment can be caught.
constexpr int kDiagRows = 20000;

// What the updater's connection has done to DIAG so far, as the server's monitoring tables tell.
struct DiagWork {
    long long updated = 0, inserted = 0, deleted = 0;
    bool hasIdColumn = false;
};

bool hasIdColumn(const ClinicInstallation& clinic) {
    return clinic.value("select count(*) from rdb$relation_fields where rdb$relation_name = 'DIAG' and "
                        "rdb$field_name = 'ID'") == "1";
}

DiagWork diagWorkOf(const ClinicInstallation& clinic) {
    const auto counts = clinic.query(
        "select coalesce(sum(r.mon$record_updates), 0), coalesce(sum(r.mon$record_inserts), 0), "
        "coalesce(sum(r.mon$record_deletes), 0) from mon$attachments a join mon$table_stats t on "
        "t.mon$stat_id = a.mon$stat_id join mon$record_stats r on r.mon$stat_id = t.mon$record_stat_id "
        "where t.mon$table_name = 'DIAG' and a.mon$attachment_id <> current_connection");
    DiagWork work;
    work.updated = std::stoll(counts.at(0).at(0));
    work.inserted = std::stoll(counts.at(0).at(1));
    work.deleted = std::stoll(counts.at(0).at(2));
    work.hasIdColumn = hasIdColumn(clinic);
    return work;
}

struct KillMoment {
    const char* name;
    std::function<bool(const DiagWork&)> reached;
    bool beforeTheCommit; // the kill surely comes before the renumbering could commit
};

// Every column but MD and ID, which the renumbering changes, and a NULL read as the empty text that
// its copy holds: the rows as the clinic knows them.
std::vector<std::vector<std::string>> diagContent(const ClinicInstallation& clinic) {
    return clinic.query(
        "select diag, code, coalesce(dates, ''), desc_ramq, coalesce(desc_spec, '') from diag "
        "order by diag");
}

// MD and ID of every row; the ID reads NULL until the column is there.
std::vector<std::vector<std::string>> diagNumbers(const ClinicInstallation& clinic) {
    return clinic.query(std::string("select diag, md, ") + (hasIdColumn(clinic) ? "id" : "null") +
                        " from diag order by diag");
}

// Every row with a number of its own from the generator, and MD 0 as every copy has.
bool fullyRenumbered(const ClinicInstallation& clinic) {
    const std::string n = std::to_string(kDiagRows);
    return clinic.query("select count(*), count(distinct id), sum(iif(id > 0, 1, 0)), sum(iif(md = 0, 1, 0)) "
                        "from diag") == std::vector<std::vector<std::string>>{{n, n, n, n}};
}

TEST(DiagKillRun, EveryRowIsThereOnceWhereverTheUpdaterIsKilledAndALaterRunRenumbersThemAll) {
    ChildProcesses processes;
    TempFolder serviceRoot;
    ClinicInstallation clinic(exampleClinic());
    clinic.execute({"delete from diag",
                    "execute block as declare i integer = 0; begin while (i < " + std::to_string(kDiagRows) +
                        ") do begin insert into diag (diag, code, md, dates, desc_ramq, desc_spec) values ("
                        "'D' || lpad(:i, 6, '0'), mod(:i, 9999), mod(:i, 40) + 1, '2004.03.07', "
                        "'Otite de l''oreille ' || :i, iif(mod(:i, 10) = 0, null, 'Suivi ' || :i)); "
                        "i = i + 1; end end"});
    const auto content = diagContent(clinic);
    ASSERT_EQ(content.size(), static_cast<size_t>(kDiagRows));

    ServiceCatalog catalog(serviceRoot.path());
    catalog.setClient("C1234", {"Clinique du Parc", "15", "47", {}});
    catalog.publish("UPDATEDIAG", "2024.01.10 10:00:00", fr("Renumérotation des diagnostics"), "diag");
    ServiceOnLoopback service(catalog);

    const std::vector<KillMoment> moments{
        {"the column ID has just been added", [](const DiagWork& w) { return w.hasIdColumn; }, true},
        {"the rows are being marked", [](const DiagWork& w) { return w.updated > 0; }, true},
        {"half the rows are copied", [](const DiagWork& w) { return w.inserted >= kDiagRows / 2; }, true},
        {"the old rows are being deleted", [](const DiagWork& w) { return w.deleted > 0; }, false},
    };
    for (const KillMoment& moment : moments) {
        SCOPED_TRACE(std::string("killed when ") + moment.name);
        const auto numbersBefore = diagNumbers(clinic);

        UpdaterRun run(processes, clinic);
        bool reached = false;
        while (!reached && run.isRunning()) {
            reached = moment.reached(diagWorkOf(clinic));
            if (!reached)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ASSERT_TRUE(reached) << "the run ended first" << clinic.diagnostics();
        processes.kill(run.pid());
        ASSERT_TRUE(run.waitEnded(kRunLimit));

        EXPECT_EQ(diagContent(clinic), content) << "a row is missing or doubled";
        const bool untouched = diagNumbers(clinic) == numbersBefore;
        EXPECT_TRUE(untouched || fullyRenumbered(clinic)) << "rows renumbered in part";
        if (moment.beforeTheCommit) {
            EXPECT_TRUE(untouched);
        }
        EXPECT_EQ(clinic.value("select count(*) from diag where id = -1"), "0");

        // UPDATEDIAG is recorded only once its migration has committed: a run killed before that
        // leaves it for the next run to fetch again.
        if (untouched) {
            EXPECT_EQ(clinic.value("select count(*) from maj where nom = 'UPDATEDIAG'"), "0");
        }
        // A run killed after the commit may have recorded it; forget it so that each run renumbers.
        clinic.execute({"delete from maj where nom = 'UPDATEDIAG'"});
    }

    UpdaterRun run(processes, clinic);
    ASSERT_TRUE(run.waitEnded(kRunLimit)) << "the updater did not end by itself" << clinic.diagnostics();
    EXPECT_EQ(run.exitCode(), 0) << clinic.diagnostics();
    EXPECT_EQ(diagContent(clinic), content);
    EXPECT_TRUE(fullyRenumbered(clinic)) << clinic.value("select count(distinct id) from diag");
    EXPECT_EQ(clinic.value("select count(*) from maj where nom = 'UPDATEDIAG'"), "1");

    // The run-wide log holds the five runs, the killed ones' lines included.
    const std::string log = readBytesIfAny(clinic.inProgramFolder("maj_kliso.log")).value_or("");
    auto occurrences = [&](const std::string& text) {
        size_t count = 0;
        for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
            ++count;
        return count;
    };
    EXPECT_EQ(occurrences(fr("===== Démarrage de la mise à jour par internet : ")), 5u) << log;
    EXPECT_EQ(occurrences(" Transfert de UPDATEDIAG\r\n"), 5u) << log;
    EXPECT_EQ(occurrences(fr(" Mise à jour terminer. fermeture dans 10 secondes.\r\n")), 1u) << log;
}

} // namespace
} // namespace halvio::test
