// The report exchange with the update service: the report is kept byte for byte and the reply is the
// client's catalog entry in the package list grammar.
#include "CatalogFixture.h"
#include "ServiceTestSupport.h"

#include <QTest>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <thread>

using namespace halvio::test;
namespace fs = std::filesystem;

namespace {

// One HTTP/1.0 request read to its end: the server closes first, so its side of the connection is left
// in TIME_WAIT on its port.
bool requestUntilServerCloses(int port) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    const char request[] = "GET / HTTP/1.0\r\n\r\n";
    ok = ok && ::send(s, request, sizeof request - 1, 0) == static_cast<ssize_t>(sizeof request - 1);
    char buffer[512];
    while (ok && ::recv(s, buffer, sizeof buffer, 0) > 0) {
    }
    ::close(s);
    return ok;
}

const std::string kHalvioBytes = noiseBytes((3u << 20) + 5, 1);

class ReportExchange : public ::testing::Test {
protected:
    ReportExchange() {
        m_catalog.writeClient("C0042",
                              "# clinic of the tests\r\n"
                              "nom=Clinique du Parc \xC9t\xE9\r\n"
                              "escompte=15\r\n"
                              "ID=47\r\n"
                              "statement=\r\n"
                              "statement=update md set actif=1 where id=3\r\n"
                              "statement=\r\n"
                              "statement=\r\n"
                              "package=SQL_LOCAL|2004/05/11 09:00:00|Script de la clinique \xE0 part\r\n");
        m_catalog.writePackageList("HALVIO|2004.05.12 10:22:33|Nouvelle version du programme\n"
                                   "# UNPUBLISHED|2004.05.12 10:22:33|x\n"
                                   "UPDATEDIAG|2004.05.13 08:00:00|Renum\xE9rotation|avec barre\n"
                                   "MISSING|2004.05.14 00:00:00|\n");
        m_catalog.writePackageFile("halvio.zip", kHalvioBytes);
        m_catalog.writePackageFile("updatediag.zip", noiseBytes(812, 2));
        m_catalog.writePackageFile("sql_local.zip", noiseBytes(182, 3));
    }

    static std::string commonPackageLines() {
        return "nom=HALVIO|dates=2004.05.12 10:22:33|taille=3145733|description=Nouvelle version du "
               "programme\r\n"
               "nom=UPDATEDIAG|dates=2004.05.13 08:00:00|taille=812|description=Renum\xE9rotation|avec "
               "barre\r\n"
               "nom=MISSING|dates=2004.05.14 00:00:00|taille=0|description=\r\n";
    }

    CatalogFixture m_catalog;
};

TEST_F(ReportExchange, ReplyIsTheClientsEntryAndTheReportIsKeptByteForByte) {
    RunningService running(m_catalog);
    const std::string report =
        "update client set adres1='1 rue \xC9milie'\r\nFAX=" + allByteValues() + "\r\n";
    const auto result = running.client().Post("/C0042.maj", report, "text/html");
    ASSERT_TRUE(result) << httplib::to_string(result.error());
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(result->body, "nom=Clinique du Parc \xC9t\xE9|escompte=15|ID=47\r\n"
                            "|update md set actif=1 where id=3||\r\n" +
                                commonPackageLines() +
                                "nom=SQL_LOCAL|dates=2004/05/11 09:00:00|taille=182|description=Script de la "
                                "clinique \xE0 part\r\n");

    const auto stored = running.service().storedReports();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].parent_path(), m_catalog.reports());
    EXPECT_EQ(stored[0].filename().string().rfind("C0042_", 0), 0u) << stored[0];
    EXPECT_TRUE(readBytes(stored[0]) == report);

    EXPECT_TRUE(running.waitForLogLine(" POST /C0042.maj 200 in=" + std::to_string(report.size()) +
                                       " out=" + std::to_string(result->body.size())));
    EXPECT_TRUE(running.waitForLogLine("missing-package-file=missing.zip"));
    EXPECT_TRUE(running.waitForLogLine("report=" + stored[0].string()));
}

TEST_F(ReportExchange, EveryReportGetsAFileOfItsOwnEvenWithinOneSecond) {
    RunningService running(m_catalog);
    const std::vector<std::string> bodies = {"", "first", "", std::string(1, '\0'), "second"};
    for (const std::string& body : bodies) {
        const auto result = running.client().Post("/C0042.maj", body, "text/html");
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, 200);
    }
    const auto stored = running.service().storedReports();
    ASSERT_EQ(stored.size(), bodies.size());
    EXPECT_EQ(std::set<fs::path>(stored.begin(), stored.end()).size(), bodies.size());
    for (size_t i = 0; i < bodies.size(); ++i)
        EXPECT_TRUE(readBytes(stored[i]) == bodies[i]) << i;
    EXPECT_EQ(std::distance(fs::directory_iterator(m_catalog.reports()), fs::directory_iterator()),
              static_cast<std::ptrdiff_t>(bodies.size()));
}

TEST_F(ReportExchange, ReportsAreNotOverwrittenByALaterServiceRun) {
    fs::path first;
    {
        RunningService running(m_catalog);
        ASSERT_TRUE(running.client().Post("/C0042.maj", "run one", "text/html"));
        first = running.service().storedReports().at(0);
    }
    RunningService running(m_catalog);
    ASSERT_TRUE(running.client().Post("/C0042.maj", "run two", "text/html"));
    EXPECT_NE(running.service().storedReports().at(0), first);
    EXPECT_EQ(readBytes(first), "run one");
}

TEST_F(ReportExchange, UnknownClientGetsTheDefaultEntry) {
    m_catalog.writeClient("default", "nom=Nouveau client\nescompte=\nID=0\n");
    RunningService running(m_catalog);
    for (const char* path : {"/NOUVEAU.maj", "/c0042.maj", "/.maj"}) {
        const auto result = running.client().Post(path, "x", "text/html");
        ASSERT_TRUE(result) << path;
        EXPECT_EQ(result->status, 200) << path;
        EXPECT_EQ(result->body, "nom=Nouveau client|escompte=|ID=0\r\n\r\n" + commonPackageLines()) << path;
    }
    EXPECT_EQ(running.service().storedReports().size(), 3u);
}

// A catalog with a package list only (the vendor's first catalog) serves every clinic.
TEST_F(ReportExchange, UnknownClientWithoutDefaultGetsTheBuiltInEntryAndItsReportIsKept) {
    RunningService running(m_catalog);
    const auto result = running.client().Post("/NOUVEAU.maj", "report of a new clinic", "text/html");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(result->body, "nom=|escompte=|ID=0\r\n\r\n" + commonPackageLines());
    EXPECT_TRUE(running.waitForLogLine(" POST /NOUVEAU.maj 200 "));
    EXPECT_TRUE(running.waitForLogLine("entry=built-in"));
    ASSERT_EQ(running.service().storedReports().size(), 1u);
    EXPECT_EQ(readBytes(running.service().storedReports()[0]), "report of a new clinic");
}

TEST_F(ReportExchange, MalformedClientFileIs500) {
    m_catalog.writeClient("BROKEN", "nom=x\nnot a setting\n");
    RunningService running(m_catalog);
    const auto result = running.client().Post("/BROKEN.maj", "x", "text/html");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 500);
    EXPECT_TRUE(running.waitForLogLine("fault=clients/BROKEN.txt:2: key=value expected"));
}

TEST_F(ReportExchange, CatalogChangesApplyToTheNextRequest) {
    RunningService running(m_catalog);
    m_catalog.writePackageList("HALVIO|2004.06.01 00:00:00|Plus r\xE9\x63\x65nte\n");
    const auto result = running.client().Post("/C0042.maj", "x", "text/html");
    ASSERT_TRUE(result);
    EXPECT_NE(result->body.find("nom=HALVIO|dates=2004.06.01 00:00:00|taille=3145733|description=Plus r\xE9"
                                "cente\r\nnom=SQL_LOCAL|"),
              std::string::npos)
        << result->body;
}

TEST_F(ReportExchange, OtherRequestsAre404) {
    RunningService running(m_catalog);
    auto client = running.client();
    const struct {
        const char* method;
        const char* path;
    } cases[] = {
        {"GET", "/C0042.maj"},        {"GET", "/"},          {"POST", "/"},
        {"POST", "/kliso/C0042.maj"}, {"POST", "/C0042.ma"}, {"PUT", "/C0042.maj"},
        {"GET", "/kliso/update/"},
    };
    for (const auto& c : cases) {
        httplib::Result result = std::string(c.method) == "GET"    ? client.Get(c.path)
                                 : std::string(c.method) == "POST" ? client.Post(c.path, "x", "text/html")
                                                                   : client.Put(c.path, "x", "text/html");
        ASSERT_TRUE(result) << c.method << " " << c.path;
        EXPECT_EQ(result->status, 404) << c.method << " " << c.path;
    }
    EXPECT_TRUE(running.service().storedReports().empty());
}

TEST_F(ReportExchange, ServesEveryAddressItIsGiven) {
    RunningService running(m_catalog, {{"127.0.0.1", 0}, {"127.0.0.2", 0}, {"127.0.0.3", 0}});
    ASSERT_EQ(running.service().boundAddresses().size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        const auto result = running.client(i).Post("/C0042.maj", "via " + std::to_string(i), "text/html");
        ASSERT_TRUE(result) << i;
        EXPECT_EQ(result->status, 200);
        EXPECT_TRUE(running.waitForLogLine(halvio::tools::toText(running.service().boundAddresses()[i]) +
                                           " POST /C0042.maj 200"));
    }
    EXPECT_EQ(running.service().storedReports().size(), 3u);
}

TEST_F(ReportExchange, AnAddressInUseFailsTheStartAndReleasesTheOthers) {
    RunningService first(m_catalog);
    const int taken = first.port();
    int released = 0;
    {
        RunningService probe(m_catalog, {{"127.0.0.2", 0}});
        released = probe.port();
    }
    const std::vector<halvio::tools::ListenAddress> both = {{"127.0.0.2", released}, {"127.0.0.1", taken}};
    halvio::tools::UpdateService second({m_catalog.catalog(), m_catalog.reports(), both, {}});
    EXPECT_THROW(second.start(), std::runtime_error);
    EXPECT_TRUE(second.boundAddresses().empty());

    // The address bound before the failure was let go, and the service that holds the port still answers.
    RunningService third(m_catalog, {{"127.0.0.2", released}});
    EXPECT_EQ(third.port(), released);
    const auto result = first.client().Post("/C0042.maj", "x", "text/html");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
}

TEST_F(ReportExchange, APortJustLeftByAnotherServerIsTakenAtOnce) {
    int port = 0;
    {
        httplib::Server other; // with the library's own socket options
        other.Get("/", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("x", "text/plain");
        });
        port = other.bind_to_any_port("127.0.0.1");
        ASSERT_GT(port, 0);
        std::thread serving([&] { other.listen_after_bind(); });
        EXPECT_TRUE(QTest::qWaitFor([&] { return other.is_running(); }));
        EXPECT_TRUE(requestUntilServerCloses(port));
        other.stop();
        serving.join();
    }
    RunningService running(m_catalog, {{"127.0.0.1", port}});
    EXPECT_EQ(running.port(), port);
    const auto result = running.client().Post("/C0042.maj", "x", "text/html");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
}

} // namespace
