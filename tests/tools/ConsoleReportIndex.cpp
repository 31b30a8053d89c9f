// The index of a real reports folder: what the console's queries answer from it, how it follows the
// files (added, removed, index deleted or damaged) and that it answers without the report files.
#include "CatalogFixture.h"
#include "ReportIndex.h"
#include "SqliteDatabase.h"
#include "UpdateService.h"
#include "Windows1252.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

using namespace halvio::tools::console;
using halvio::fr;
using halvio::test::CatalogFixture;
using halvio::test::readBytes;
using halvio::test::writeBytes;

namespace fs = std::filesystem;

namespace {

struct Clinic {
    std::string code;
    std::string ville; // UTF-8
    std::string site;  // UTF-8, first site's name
    std::string faxLine = "FAX=1~2026.12.01~2|";
    std::vector<std::string> users = {"id=1|nom=A|titre=Dr|vigilance=O|Dernacces=2026.12.01 10:00"};
};

std::string reportBytes(const Clinic& c) {
    std::string text = "update client set adres1='1 rue',adres2='',ville='" + fr(c.ville) +
                       "',postal='',PROV='QC',REGION='',TEL='',TEL2='',FAX='',CONTACT='',COURRIEL='',"
                       "MAJ='2026.11.30' WHERE CODE='" +
                       c.code + "   '\r\n";
    if (!c.faxLine.empty())
        text += c.faxLine + "\r\n";
    text += "SITE=1~" + fr(c.site) + "~1 rue~" + fr(c.ville) + "~~~~|2~Second~~~~~~|\r\n";
    for (const std::string& user : c.users)
        text += user + "\r\n";
    return text;
}

std::vector<std::string> codes(const std::vector<ClinicSummary>& clinics) {
    std::vector<std::string> result;
    for (const ClinicSummary& clinic : clinics)
        result.push_back(clinic.code);
    return result;
}

ClinicQuery on(const std::string& today, const std::string& search = "") {
    ClinicQuery query;
    query.today = today;
    query.search = search;
    return query;
}

class ConsoleReportIndex : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(reports()); }
    fs::path reports() const { return m_fixture.reports(); }
    fs::path write(const std::string& name, const std::string& bytes) const {
        writeBytes(reports() / name, bytes);
        return reports() / name;
    }
    // Three clinics; C2 has an older and a newer report, and one that cannot be read past its address.
    void writeThreeClinics() const {
        write("C1_20261201-080000_1.maj", reportBytes({"C1", "Québec", "Clinique du Parc"}));
        write("C2_20261101-080000_1.maj", reportBytes({"C2", "Lévis", "Ancien nom"}));
        write("C2_20261205-090000_1.maj", reportBytes({"C2", "LÉVIS", "Éole santé", "FAX=1~2026.12.02~7|"}));
        write("C2_20261206-090000_1.maj", reportBytes({"C2", "Lévis", "x", "FAX=1~2026.12.02~x|"}));
        write("ZZ_20261207-100000_1.maj", reportBytes({"ZZ", "Montréal", "Bureau", "", {}}));
    }

    CatalogFixture m_fixture;
};

} // namespace

TEST_F(ConsoleReportIndex, TheClinicListComesFromEachClinicsLatestReadableReport) {
    writeThreeClinics();
    ReportIndex index(reports());
    EXPECT_TRUE(index.openSync().rebuilt);
    EXPECT_EQ(index.openSync().read, 5u);
    const auto clinics = index.clinics(on("2026.12.10"));
    ASSERT_EQ(codes(clinics), (std::vector<std::string>{"C1", "C2", "ZZ"}));
    const ClinicSummary& c2 = clinics[1];
    EXPECT_EQ(c2.name, "Éole santé");
    EXPECT_EQ(c2.city, "LÉVIS");
    EXPECT_EQ(c2.lastReportAt, "2026.12.05 09:00:00");
    EXPECT_EQ(c2.reportCount, 3) << "the unreadable report of C2 counts too";
    EXPECT_EQ(c2.activeUsers, 1);
    EXPECT_EQ(c2.faxesLast30Days, 7);
    EXPECT_EQ(clinics[2].activeUsers, 0);
    EXPECT_EQ(clinics[2].faxesLast30Days, 0);

    index.setCatalogNames({{"C2", "Clinique Éole"}, {"NOPE", "x"}});
    EXPECT_EQ(index.clinics(on("2026.12.10"))[1].name, "Clinique Éole");
    EXPECT_EQ(index.clinics(on("2026.12.10"))[0].name, "Clinique du Parc");

    // A report stored later replaces what the list shows, at once.
    index.add(write("C1_20261209-070000_2.maj", reportBytes({"C1", "Gatineau", "Parc"})));
    const auto after = index.clinics(on("2026.12.10"));
    EXPECT_EQ(after[0].city, "Gatineau");
    EXPECT_EQ(after[0].reportCount, 2);
    EXPECT_EQ(after[0].lastReportAt, "2026.12.09 07:00:00");
}

TEST_F(ConsoleReportIndex, OneClinicShowsItsLatestReportAndEveryReportNewestFirst) {
    writeThreeClinics();
    // Same second: the sequence orders them, 10 after 9.
    write("C2_20261205-090000_10.maj", reportBytes({"C2", "Lévis 10", "S"}));
    write("C2_20261205-090000_9.maj", reportBytes({"C2", "Lévis 9", "S"}));
    ReportIndex index(reports());
    const auto detail = index.clinic("C2", "2026.12.10");
    ASSERT_TRUE(detail);
    EXPECT_EQ(detail->address.ville, "Lévis 10");
    EXPECT_EQ(detail->address.maj, "2026.11.30");
    ASSERT_EQ(detail->sites.size(), 2u);
    EXPECT_EQ(detail->sites[1].nom, "Second");
    ASSERT_EQ(detail->users.size(), 1u);
    EXPECT_EQ(detail->users[0].dernacces, "2026.12.01 10:00");
    std::vector<std::string> files;
    for (const ReportEntry& entry : detail->reports)
        files.push_back(entry.fileName);
    EXPECT_EQ(files, (std::vector<std::string>{"C2_20261206-090000_1.maj", "C2_20261205-090000_10.maj",
                                               "C2_20261205-090000_9.maj", "C2_20261205-090000_1.maj",
                                               "C2_20261101-080000_1.maj"}));
    EXPECT_NE(detail->reports[0].fault, "");
    EXPECT_EQ(detail->reports[0].code, "C2");
    EXPECT_EQ(detail->reports[1].size, fs::file_size(reports() / "C2_20261205-090000_10.maj"));
    EXPECT_FALSE(index.clinic("C9", "2026.12.10"));
    EXPECT_FALSE(index.clinic("", "2026.12.10"));

    write("F_20261208-000000_1.maj",
          reportBytes({"F", "V", "S", "FAX=2~2026.12.03~1|1~2026.12.03~2|1~2026.12.01~3|"}));
    index.synchronize();
    std::vector<std::string> faxes;
    const auto withFaxes = index.clinic("F", "2026.12.10");
    ASSERT_TRUE(withFaxes);
    for (const FaxDay& day : withFaxes->faxes)
        faxes.push_back(day.day + " " + day.site + " " + std::to_string(day.count));
    EXPECT_EQ(faxes, (std::vector<std::string>{"2026.12.01 1 3", "2026.12.03 1 2", "2026.12.03 2 1"}));
}

TEST_F(ConsoleReportIndex, TheThirtyDayWindowsIncludeTodayAndTheThirtiethDayBefore) {
    write("W_20261210-000000_1.maj",
          reportBytes({"W",
                       "V",
                       "S",
                       "FAX=1~2026.11.09~1|1~2026.11.10~2|2~2026.12.10~4|1~2026.12.11~8|",
                       {"id=1|nom=A|titre=|vigilance=O|Dernacces=2026.11.09 23:59",
                        "id=2|nom=B|titre=|vigilance=O|Dernacces=2026.11.10",
                        "id=3|nom=C|titre=|vigilance=O|Dernacces=2026.12.10 08:00",
                        "id=4|nom=D|titre=|vigilance=O|Dernacces=2026.12.11",
                        "id=5|nom=E|titre=|vigilance=O|Dernacces=", "id=6|nom=F|titre=|vigilance=O"}}));
    ReportIndex index(reports());
    const struct {
        std::string today;
        int activeUsers;
        int faxes;
    } cases[] = {{"2026.12.10", 2, 6},
                 {"2026.12.11", 2, 12},
                 {"2026.12.09", 2, 3},
                 {"2027.01.11", 0, 0},
                 {"2026.11.08", 0, 0}};
    for (const auto& c : cases) {
        const auto clinics = index.clinics(on(c.today));
        ASSERT_EQ(clinics.size(), 1u);
        EXPECT_EQ(clinics[0].activeUsers, c.activeUsers) << c.today;
        EXPECT_EQ(clinics[0].faxesLast30Days, c.faxes) << c.today;
        EXPECT_EQ(index.clinic("W", c.today)->summary.faxesLast30Days, c.faxes) << c.today;
    }
    EXPECT_THROW(index.clinics(on("10/12/2026")), std::invalid_argument);
}

TEST_F(ConsoleReportIndex, SearchFoldsCaseAndAccentedCapitalsAndEveryColumnSortsBothWays) {
    writeThreeClinics();
    ReportIndex index(reports());
    const struct {
        std::string search;
        std::vector<std::string> codes;
    } searches[] = {{"lévis", {"C2"}}, {"QUÉBEC", {"C1"}},      {"c", {"C1", "C2"}},
                    {"z", {"ZZ"}},     {"éole SANTÉ", {"C2"}},  {"%", {}},
                    {"'", {}},         {"", {"C1", "C2", "ZZ"}}};
    for (const auto& s : searches)
        EXPECT_EQ(codes(index.clinics(on("2026.12.10", s.search))), s.codes) << s.search;

    // C1: Clinique du Parc, Québec, 1 report, 1 user, 2 faxes; C2: Éole santé, LÉVIS, 3, 1, 7;
    // ZZ: Bureau, Montréal, 1, 0, 0.
    const struct {
        ClinicColumn column;
        std::vector<std::string> ascending;
    } sorts[] = {
        {ClinicColumn::Code, {"C1", "C2", "ZZ"}},        {ClinicColumn::Name, {"ZZ", "C1", "C2"}},
        {ClinicColumn::City, {"C2", "ZZ", "C1"}},        {ClinicColumn::LastReport, {"C1", "C2", "ZZ"}},
        {ClinicColumn::ReportCount, {"C1", "ZZ", "C2"}}, {ClinicColumn::ActiveUsers, {"ZZ", "C1", "C2"}},
        {ClinicColumn::Faxes, {"ZZ", "C1", "C2"}}};
    for (const auto& s : sorts) {
        ClinicQuery query = on("2026.12.10");
        query.sortBy = s.column;
        EXPECT_EQ(codes(index.clinics(query)), s.ascending) << static_cast<int>(s.column);
        query.descending = true;
        auto descending = s.ascending;
        std::reverse(descending.begin(), descending.end());
        // Equal values keep the code order in both directions.
        if (s.column == ClinicColumn::ReportCount)
            descending = {"C2", "C1", "ZZ"};
        if (s.column == ClinicColumn::ActiveUsers)
            descending = {"C1", "C2", "ZZ"};
        EXPECT_EQ(codes(index.clinics(query)), descending) << static_cast<int>(s.column);
    }
}

TEST_F(ConsoleReportIndex, AnUnreadableReportIsListedWithItsReasonNewestFirst) {
    writeThreeClinics();
    write("NOUVEAU_20261208-000000_1.maj", "FAX=1~2026.12.01~2|\r\n");
    write("cut_20261209-000000_1.maj", "update client set adres1='1 r");
    ReportIndex index(reports());
    const auto unreadable = index.unreadableReports();
    ASSERT_EQ(unreadable.size(), 3u);
    EXPECT_EQ(unreadable[0].fileName, "cut_20261209-000000_1.maj");
    EXPECT_EQ(unreadable[0].fault, "la dernière ligne n'est pas terminée (rapport tronqué)");
    EXPECT_EQ(unreadable[0].code, "");
    EXPECT_EQ(unreadable[1].fault, "ligne 1 : pas d'instruction d'adresse (client sans code, NOUVEAU)");
    EXPECT_EQ(unreadable[1].receivedAt, "2026.12.08 00:00:00");
    EXPECT_EQ(unreadable[2].code, "C2");
    EXPECT_EQ(unreadable[2].fault.substr(0, 32), "ligne 2 : groupe 1 : nombre de t");
    EXPECT_EQ(codes(index.clinics(on("2026.12.10"))), (std::vector<std::string>{"C1", "C2", "ZZ"}));
}

TEST_F(ConsoleReportIndex, TheIndexIsRebuiltFromTheFilesWhenDeletedOrDamagedAndFollowsRemovedFiles) {
    writeThreeClinics();
    const fs::path indexFile = reports() / ReportIndex::kIndexFileName;
    std::vector<ClinicSummary> first;
    {
        ReportIndex index(reports());
        first = index.clinics(on("2026.12.10"));
    }
    {
        ReportIndex index(reports());
        EXPECT_FALSE(index.openSync().rebuilt);
        EXPECT_EQ(index.openSync().read, 0u) << "an index that is up to date reads no report again";
    }
    const auto sameList = [&](ReportIndex& index) {
        const auto again = index.clinics(on("2026.12.10"));
        ASSERT_EQ(again.size(), first.size());
        for (size_t i = 0; i < again.size(); ++i) {
            EXPECT_EQ(again[i].code, first[i].code);
            EXPECT_EQ(again[i].city, first[i].city);
            EXPECT_EQ(again[i].reportCount, first[i].reportCount);
            EXPECT_EQ(again[i].faxesLast30Days, first[i].faxesLast30Days);
        }
    };
    fs::remove(indexFile);
    {
        ReportIndex index(reports());
        EXPECT_TRUE(index.openSync().rebuilt);
        sameList(index);
    }
    for (const std::string& junk : {std::string("not a database at all"), std::string(100000, '\x5A')}) {
        writeBytes(indexFile, junk);
        ReportIndex index(reports());
        EXPECT_TRUE(index.openSync().rebuilt) << junk.size();
        sameList(index);
    }
    {
        // Damage inside a real index: its pages past the header overwritten.
        std::string bytes = readBytes(indexFile);
        ASSERT_GT(bytes.size(), 8192u);
        std::fill(bytes.begin() + 4096, bytes.end(), '\x01');
        writeBytes(indexFile, bytes);
        fs::remove(indexFile.string() + "-wal");
        ReportIndex index(reports());
        EXPECT_TRUE(index.openSync().rebuilt);
        sameList(index);
    }
    // C2's latest readable report gone: the clinic is shown from its older one; ZZ's only report
    // gone: ZZ is no more; a file put in meanwhile is read.
    fs::remove(reports() / "C2_20261205-090000_1.maj");
    fs::remove(reports() / "ZZ_20261207-100000_1.maj");
    write("N_20261209-000000_1.maj", reportBytes({"N", "Nouvelle", "N"}));
    ReportIndex index(reports());
    EXPECT_FALSE(index.openSync().rebuilt);
    EXPECT_EQ(index.openSync().dropped, 2u);
    EXPECT_EQ(index.openSync().read, 1u);
    const auto clinics = index.clinics(on("2026.12.10"));
    ASSERT_EQ(codes(clinics), (std::vector<std::string>{"C1", "C2", "N"}));
    EXPECT_EQ(clinics[1].city, "Lévis");
    EXPECT_EQ(clinics[1].name, "Ancien nom");
    EXPECT_EQ(clinics[1].reportCount, 2);
    EXPECT_FALSE(index.reportFile("ZZ_20261207-100000_1.maj"));
}

// A site name holding "~" or "|" gives a SITE= line that cannot be split: the clinic stays in the list
// with its address, users and faxes, and its page says why its sites are missing, until a report
// with readable sites comes. An index of the layout before the sites' fault is made again.
TEST_F(ConsoleReportIndex, AClinicWhoseSiteLineCannotBeSplitIsListedWithItsSitesFault) {
    writeThreeClinics();
    write("AMB_20261208-080000_1.maj", reportBytes({"AMB", "Rimouski", "Parc ~|= de l'Est"}));
    const auto expectSitesFault = [](ReportIndex& index) {
        const auto clinics = index.clinics(on("2026.12.10"));
        ASSERT_EQ(codes(clinics), (std::vector<std::string>{"AMB", "C1", "C2", "ZZ"}));
        EXPECT_EQ(clinics[0].city, "Rimouski");
        EXPECT_EQ(clinics[0].name, "") << "no site to take a name from";
        EXPECT_EQ(clinics[0].activeUsers, 1);
        EXPECT_EQ(clinics[0].faxesLast30Days, 2);
        const auto detail = index.clinic("AMB", "2026.12.10");
        ASSERT_TRUE(detail);
        EXPECT_EQ(detail->address.adres1, "1 rue");
        EXPECT_TRUE(detail->sites.empty());
        EXPECT_EQ(detail->sitesFault.rfind("ligne 3 : une valeur de site contient « ~ » ou « | »", 0), 0u)
            << detail->sitesFault;
        EXPECT_NE(detail->sitesFault.find("« 1~Parc ~ »"), std::string::npos) << detail->sitesFault;
        EXPECT_EQ(detail->users.size(), 1u);
        EXPECT_EQ(detail->faxes.size(), 1u);
        ASSERT_EQ(detail->reports.size(), 1u);
        EXPECT_EQ(detail->reports[0].fault, "") << "the report itself was read";
        EXPECT_EQ(index.clinic("C1", "2026.12.10")->sitesFault, "");
    };
    const fs::path indexFile = reports() / ReportIndex::kIndexFileName;
    {
        ReportIndex index(reports());
        expectSitesFault(index);
        EXPECT_EQ(index.unreadableReports().size(), 1u) << "C2's alone";
    }
    {
        // The index as the layout before the sites' fault left it.
        SqliteDatabase older(indexFile);
        older.execute("ALTER TABLE clinic DROP COLUMN sites_fault; PRAGMA user_version=1");
    }
    ReportIndex index(reports());
    EXPECT_TRUE(index.openSync().rebuilt);
    EXPECT_EQ(index.openSync().read, 6u);
    expectSitesFault(index);

    index.add(write("AMB_20261209-080000_1.maj", reportBytes({"AMB", "Rimouski", "Parc de l'Est"})));
    const auto readable = index.clinic("AMB", "2026.12.10");
    ASSERT_TRUE(readable);
    EXPECT_EQ(readable->sitesFault, "");
    ASSERT_EQ(readable->sites.size(), 2u);
    EXPECT_EQ(readable->summary.name, "Parc de l'Est");
}

TEST_F(ConsoleReportIndex, QueriesAnswerWithoutTheReportFilesAndNameOnlyIndexedFiles) {
    writeThreeClinics();
    write("C1_nostamp.maj", reportBytes({"C1", "Sans date", "S"}));
    fs::last_write_time(reports() / "C1_nostamp.maj",
                        fs::file_time_type::clock::now() + std::chrono::hours(24 * 365 * 5));
    ReportIndex index(reports());
    const auto path = index.reportFile("C2_20261101-080000_1.maj");
    ASSERT_TRUE(path);
    EXPECT_EQ(*path, reports() / "C2_20261101-080000_1.maj");
    for (const char* name : {"../C2_20261101-080000_1.maj", "/etc/passwd", ".index.sqlite",
                             "C9_20261101-080000_1.maj", "reports/C2_20261101-080000_1.maj", ""})
        EXPECT_FALSE(index.reportFile(name)) << name;

    const fs::path away = m_fixture.path("away");
    fs::create_directories(away);
    for (const auto& entry : std::vector<fs::directory_entry>(fs::directory_iterator(reports()), {}))
        if (entry.path().extension() == ".maj")
            fs::rename(entry.path(), away / entry.path().filename());
    ASSERT_FALSE(fs::exists(reports() / "C1_nostamp.maj"));
    const auto clinics = index.clinics(on("2026.12.10"));
    ASSERT_EQ(codes(clinics), (std::vector<std::string>{"C1", "C2", "ZZ"}));
    EXPECT_EQ(clinics[0].city, "Sans date") << "a name without a stamp is dated by its file's time";
    EXPECT_EQ(clinics[0].lastReportAt.size(), 19u);
    EXPECT_EQ(index.clinic("C2", "2026.12.10")->reports.size(), 3u);
    EXPECT_EQ(index.unreadableReports().size(), 1u);
}

TEST_F(ConsoleReportIndex, EachReportTheServiceStoresIsIndexedAtOnce) {
    fs::create_directories(m_fixture.catalog());
    ReportIndex index(reports());
    halvio::tools::UpdateServiceConfig config;
    config.catalog = m_fixture.catalog();
    config.reports = reports();
    config.listen = {{"127.0.0.1", 0}};
    config.reportStored = [&index](const fs::path& file) { index.add(file); };
    halvio::tools::UpdateService service(config);
    service.start();
    httplib::Client client("127.0.0.1", service.boundAddresses().at(0).port);
    const auto reply = client.Post("/S1.maj", reportBytes({"S1", "Sherbrooke", "Site"}), "text/plain");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 200);
    const auto clinics = index.clinics(on("2026.12.10"));
    ASSERT_EQ(codes(clinics), std::vector<std::string>{"S1"});
    EXPECT_EQ(clinics[0].city, "Sherbrooke");
    EXPECT_EQ(index.clinic("S1", "2026.12.10")->reports.at(0).fileName,
              service.storedReports().at(0).filename().string());
    service.stop();
}

TEST_F(ConsoleReportIndex, WorkersAddingReportsWhilePagesReadTheIndexLoseNone) {
    constexpr int kWorkers = 4, kReportsEach = 25;
    ReportIndex index(reports());
    std::vector<std::thread> threads;
    for (int worker = 0; worker < kWorkers; ++worker)
        threads.emplace_back([&, worker] {
            for (int i = 0; i < kReportsEach; ++i) {
                const std::string code = "T" + std::to_string(worker);
                const std::string name =
                    code + "_20261201-0800" + (i < 10 ? "0" : "") + std::to_string(i) + "_1.maj";
                index.add(write(name, reportBytes({code, "Ville " + std::to_string(i), "S"})));
            }
        });
    std::thread reader([&] {
        for (int i = 0; i < 50; ++i) {
            index.clinics(on("2026.12.10"));
            index.unreadableReports();
        }
    });
    for (std::thread& thread : threads)
        thread.join();
    reader.join();
    const auto clinics = index.clinics(on("2026.12.10"));
    ASSERT_EQ(clinics.size(), static_cast<size_t>(kWorkers));
    for (const ClinicSummary& clinic : clinics) {
        EXPECT_EQ(clinic.reportCount, kReportsEach) << clinic.code;
        EXPECT_EQ(clinic.city, "Ville " + std::to_string(kReportsEach - 1)) << clinic.code;
    }
    EXPECT_EQ(ReportIndex(reports()).openSync().read, 0u) << "every stored report was in the index";
}
