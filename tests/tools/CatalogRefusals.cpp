// The running service sends a client only a reply that the updater applies: a faulty catalog line is
// answered 500 with FILE:LINE and the reason in the log, text typed in UTF-8 goes out as Windows-1252.
#include "CatalogFixture.h"
#include "ServiceTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace halvio::test;
namespace fs = std::filesystem;

namespace {

class CatalogRefusals : public ::testing::Test {
protected:
    CatalogRefusals() {
        m_catalog.writePackageList("HALVIO|2004.05.12 10:22:33|Nouvelle version du programme\n");
        m_catalog.writePackageFile("halvio.zip", noiseBytes(812, 1));
    }

    // The status of a report from this client; the report itself is always kept.
    int post(RunningService& running, const std::string& code) {
        const auto result = running.client().Post("/" + code + ".maj", "report", "text/html");
        if (!result)
            return -1;
        m_lastBody = result->body;
        return result->status;
    }

    CatalogFixture m_catalog;
    std::string m_lastBody;
};

TEST_F(CatalogRefusals, AClientEntryTheUpdaterWouldRefuseIsNotSent) {
    const struct {
        const char* code;
        const char* entry;
        const char* logged;
    } cases[] = {
        {"EMPTY", "", "fault=clients/EMPTY.txt: the updater refuses the reply: "},
        {"COMMA", "nom=Clinique\nescompte=15,5\nID=47\n",
         "fault=clients/COMMA.txt:2: the updater refuses the reply: "},
        {"WORDID", "nom=Clinique\n\nID=quarante\n",
         "fault=clients/WORDID.txt:3: the updater refuses the reply: "},
        {"DATE", "ID=1\npackage=SQL_A|2004-05-11 09:00:00|x\n", "fault=clients/DATE.txt:2: the date "},
        {"CJK", "ID=1\nnom=Clinique \xE6\x97\xA5\n", "fault=clients/CJK.txt:2: UTF-8 text with a character"},
        {"KEY", "ID=1\nescomte=5\n", "fault=clients/KEY.txt:2: unknown key escomte"},
    };
    for (const auto& c : cases)
        m_catalog.writeClient(c.code, c.entry);
    m_catalog.writePackageFile("sql_a.zip", "x");
    RunningService running(m_catalog);
    for (const auto& c : cases) {
        EXPECT_EQ(post(running, c.code), 500) << c.code;
        EXPECT_TRUE(running.waitForLogLine(std::string(" POST /") + c.code + ".maj 500 ")) << c.code;
        EXPECT_TRUE(running.waitForLogLine(c.logged)) << c.logged;
    }
    EXPECT_EQ(running.service().storedReports().size(), std::size(cases));
}

TEST_F(CatalogRefusals, AFaultInTheCommonListStopsEveryReplyUntilMended) {
    m_catalog.writeClient("C1", "nom=Clinique\nescompte=15\nID=47\n");
    m_catalog.writePackageList("HALVIO|2004.05.12 10:22:33|Nouvelle version\n"
                               "GABARITS||Lettres\n");
    RunningService running(m_catalog);
    EXPECT_EQ(post(running, "C1"), 500);
    EXPECT_TRUE(running.waitForLogLine("fault=packages.txt:2: the date \"\" is not yyyy.mm.dd hh:nn:ss"));

    // Descriptions typed in UTF-8 go out in the clinics' code page.
    m_catalog.writePackageList(
        "HALVIO|2004.05.12 10:22:33|Nouvelle version \xC3\xA0 l\xE2\x80\x99\xC3\xA9t\xC3\xA9\n");
    EXPECT_EQ(post(running, "C1"), 200);
    EXPECT_EQ(m_lastBody, "nom=Clinique|escompte=15|ID=47\r\n\r\n"
                          "nom=HALVIO|dates=2004.05.12 10:22:33|taille=812|description=Nouvelle version \xE0 "
                          "l\x92\xE9t\xE9\r\n");
}

// The size in the reply is the service's own figure: only the updater's check, run by the service,
// knows that a package file of 3 GiB has a taille the updater cannot read.
TEST_F(CatalogRefusals, APackageFileTooLargeForTheUpdaterIsRefusedAtItsLine) {
    m_catalog.writeClient("C1", "nom=Clinique\nescompte=15\nID=47\n");
    m_catalog.writePackageList("HALVIO|2004.05.12 10:22:33|Nouvelle version\n"
                               "# a sparse file: no 3 GiB written\n"
                               "HUGE|2004.05.12 10:22:33|Trop grand\n");
    writeBytes(m_catalog.catalog() / "packages" / "huge.zip", "");
    fs::resize_file(m_catalog.catalog() / "packages" / "huge.zip", 3ull << 30);
    RunningService running(m_catalog);
    EXPECT_EQ(post(running, "C1"), 500);
    EXPECT_TRUE(running.waitForLogLine("fault=packages.txt:3: the updater refuses the reply: "));
    EXPECT_TRUE(running.waitForLogLine("3221225472"));
}

} // namespace
