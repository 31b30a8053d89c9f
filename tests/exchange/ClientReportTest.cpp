// The client report read from a real clinic database and fax database.
#include "ClientReport.h"
#include "ExchangeFixture.h"
#include "ReportLines.h"
#include "Windows1252.h"

using namespace halvio;
using halvio::test::ExchangeFixture;

namespace {
const DateTime kLastDayOfMay2004{2004, 5, 31, 10, 15, 0};

const char* kParcSetup =
    "insert into setup (nom, adres1, adres2, ville, prov, postal, region, tel, tel2, fax, contact, courriel, "
    "client, maj) values ('Clinique du Parc', '12 rue des Pins', '', 'Québec', 'QC', 'G1A 1A1', '03', "
    "'418 555-0100', '', '418 555-0101', 'Réception', '', 'C1234', '2004-05-11 14:03:22')";

std::vector<std::string> faxes(int site, const std::string& dates, const std::string& onglet, int count) {
    std::vector<std::string> statements;
    for (int i = 0; i < count; ++i)
        statements.push_back("insert into fax (site, dates, onglet) values (" + std::to_string(site) + ", '" +
                             dates + "', '" + onglet + "')");
    return statements;
}

std::vector<std::string> concat(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

std::string dernacces(const std::string& date) {
    return date + std::string(20 - date.size(), ' ');
}
} // namespace

TEST_F(ExchangeFixture, TheExampleClinicGivesItsBodyByteForByte) {
    createClinic(
        {fr(kParcSetup),
         fr("insert into site (id, nom, adresse, ville, fax, faxid, faxnom, faxtel) values (1, 'Clinique du "
            "Parc', '12 rue des Pins', 'Québec', '418 555-0101', 'FX1', 'Clinique du Parc', '418 555-0100')"),
         "insert into md (id, recherche, titre, acces25, dernacces) values (1, 'MEDECIN UN', 'Dr', 'O', "
         "'2004.05.11')",
         "insert into md (id, recherche, titre, acces25, dernacces) values (2, 'MEDECIN DEUX', 'Dre', 'N', "
         "'2004.05.09')"});
    createFax(
        concat({faxes(1, "2004.03.02 09:12:00", "envoyes", 14), faxes(1, "2004.03.03 16:40:10", "envoyes", 9),
                faxes(1, "2004.03.02 10:00:00", "recus", 3), faxes(1, "2004.06.01 08:00:00", "envoyes", 2)}));
    openClinic();
    model.OpenSetup();

    const std::string expected =
        fr("update client set adres1='12 rue des Pins',adres2='',ville='Québec',postal='G1A 1A1',PROV='QC',"
           "REGION='03',TEL='418 555-0100',TEL2='',FAX='418 555-0101',CONTACT='Réception',COURRIEL='',"
           "MAJ='2004.05.10 14:03:22' WHERE CODE='C1234     '\r\n") +
        "FAX=1~2004.03.02~14|1~2004.03.03~9|\r\n" +
        fr("SITE=1~Clinique du Parc~12 rue des Pins~Québec~418 555-0101~FX1~Clinique du Parc~418 "
           "555-0100|\r\n") +
        "id=1|nom=MEDECIN UN|titre=Dr|vigilance=O|Dernacces=" + dernacces("2004.05.11") + "\r\n" +
        "id=2|nom=MEDECIN DEUX|titre=Dre|vigilance=N|Dernacces=" + dernacces("2004.05.09") + "\r\n";

    const ClientReport first = buildClientReport(model, kLastDayOfMay2004);
    EXPECT_EQ(first.client, "C1234     ");
    EXPECT_EQ(reportBody(first.lines), expected);
    EXPECT_TRUE(view.log.empty());
    EXPECT_FALSE(model.ibfax.isOpen());

    // The run repeated without proxy builds it again: SUBSTR is declared already, the users are read anew.
    EXPECT_EQ(reportBody(buildClientReport(model, kLastDayOfMay2004).lines), expected);
    EXPECT_EQ(test::queryValue(fax, server.password,
                               "select count(*) from rdb$functions where rdb$function_name='SUBSTR'"),
              "1");
}

TEST_F(ExchangeFixture, FaxWindowExcludesBothBoundsAndOtherFolders) {
    createClinic({});
    // Run on 31 May 2004: after '2004.02.29', before '2004.05.30', sent faxes only.
    createFax(
        concat({faxes(1, "2004.02.28 23:59:59", "envoyes", 1), faxes(1, "2004.02.29", "envoyes", 1),
                faxes(1, "2004.02.29 08:00:00", "envoyes", 1), faxes(2, "2004.03.15 12:00:00", "envoyes", 2),
                faxes(2, "2004.03.15 12:30:00", "recus", 5), faxes(1, "2004.05.29 18:00:00", "envoyes", 1),
                faxes(1, "2004.05.30", "envoyes", 1), faxes(1, "2004.05.30 09:00:00", "envoyes", 1)}));
    openClinic();
    EXPECT_EQ(readFaxLine(model, kLastDayOfMay2004), "FAX=1~2004.02.29~1|1~2004.05.29~1|2~2004.03.15~2|");
    // On 15 April 2004 the window is '2004.01.15' to '2004.04.14'.
    EXPECT_EQ(readFaxLine(model, {2004, 4, 15, 9, 0, 0}),
              "FAX=1~2004.02.28~1|1~2004.02.29~2|2~2004.03.15~2|");
    EXPECT_FALSE(model.IBTransaction6.isActive());
}

TEST_F(ExchangeFixture, AFaxDatabaseThatFailsLeavesNoLineAndNoWord) {
    createClinic({fr(kParcSetup), "insert into md (id, recherche) values (1, 'A')"});
    openClinic();
    model.OpenSetup();
    struct Case {
        const char* what;
        std::function<void()> prepare;
    };
    const std::vector<Case> cases = {
        {"no fax database", [] {}},
        {"no fax table",
         [&] {
             createFax({});
             test::execute(fax, server.password, {"drop table fax"});
         }},
    };
    for (const Case& c : cases) {
        c.prepare();
        EXPECT_EQ(readFaxLine(model, kLastDayOfMay2004), std::nullopt) << c.what;
        EXPECT_FALSE(model.ibfax.isOpen()) << c.what;
        EXPECT_FALSE(model.IBTransaction6.isActive()) << c.what;
        const ClientReport report = buildClientReport(model, kLastDayOfMay2004);
        ASSERT_EQ(report.lines.size(), 2u) << c.what;
        EXPECT_EQ(report.lines[0].rfind("update client set adres1=", 0), 0u);
        EXPECT_EQ(report.lines[1], "id=1|nom=A|titre=|vigilance=|Dernacces=");
        EXPECT_TRUE(view.log.empty()) << c.what;
    }
}

TEST_F(ExchangeFixture, AUserWhoseLastAccessCannotBeReadIsSentWithoutIt) {
    createClinic(
        {"insert into setup (client) values ('NOUVEAU')",
         "insert into md (id, recherche, titre, acces25, dernacces) values (3, 'X', 'Dr', 'O', '2004')",
         "alter table md drop dernacces"});
    openClinic();
    model.OpenSetup();
    EXPECT_EQ(buildClientReport(model, kLastDayOfMay2004).lines,
              std::vector<std::string>{"id=3|nom=X|titre=Dr|vigilance=O"});
}

namespace {
struct SparseSources {
    const char* name;
    std::vector<std::string> clinic;
    std::optional<std::vector<std::string>> fax; // no fax database when empty
    std::vector<std::string> lines;
};

void PrintTo(const SparseSources& s, std::ostream* os) {
    *os << s.name;
}

class SparseSourcesTest : public ExchangeFixture, public ::testing::WithParamInterface<SparseSources> {};

const std::string kC1Address =
    "update client set adres1='',adres2='',ville='',postal='',PROV='',REGION='',TEL='',"
    "TEL2='',FAX='',CONTACT='',COURRIEL='',MAJ='1899.12.29' WHERE CODE='C1        '";
} // namespace

TEST_P(SparseSourcesTest, LeaveTheirLineOutRatherThanEmpty) {
    const SparseSources& s = GetParam();
    createClinic(s.clinic);
    if (s.fax)
        createFax(*s.fax);
    openClinic();
    model.OpenSetup();
    const ClientReport report = buildClientReport(model, kLastDayOfMay2004);
    EXPECT_EQ(report.lines, s.lines);
    EXPECT_EQ(reportBody(report.lines).size(), s.lines.empty() ? 0u : reportBody(s.lines).size());
    EXPECT_TRUE(view.log.empty());
}

INSTANTIATE_TEST_SUITE_P(
    ClientReport, SparseSourcesTest,
    ::testing::Values(
        SparseSources{"FaxWithoutRowsInTheWindowAndNoSite",
                      {"insert into setup (client) values ('C1')", "insert into md (id) values (5)"},
                      faxes(1, "2004.01.01 10:00:00", "envoyes", 3),
                      {kC1Address, "id=5|nom=|titre=|vigilance=|Dernacces="}},
        SparseSources{
            "SiteTableMissing",
            {"insert into setup (client) values ('C1')", "drop table site", "insert into md (id) values (5)"},
            faxes(4, "2004.04.01 10:00:00", "envoyes", 1),
            {kC1Address, "FAX=4~2004.04.01~1|", "id=5|nom=|titre=|vigilance=|Dernacces="}},
        SparseSources{
            "MdWithoutRows",
            {"insert into setup (client) values ('C1')", "insert into site (id, nom) values (9, ' S ')"},
            std::nullopt,
            {kC1Address, "SITE=9~S~~~~~~|"}},
        SparseSources{"EverySourceEmptyForANewClient",
                      {"insert into setup (client) values (' NOUVEAU')"},
                      std::vector<std::string>{},
                      {}}),
    [](const auto& info) { return std::string(info.param.name); });
