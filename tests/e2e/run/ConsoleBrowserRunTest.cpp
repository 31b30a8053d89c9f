// The vendor's console in a real headless browser, over the reports the real updater sent to the
// service process that runs it: the clinic in the list, its users and the plot of its report's fax
// counts, a malformed report listed with its reason, and each raw report downloaded as it was posted.
#include "ChildProcesses.h"
#include "ClinicInstallation.h"
#include "HeadlessBrowser.h"
#include "RunSupport.h"
#include "ServiceOnLoopback.h"
#include "TestFiles.h"
#include "UpdaterRun.h"
#include "Windows1252.h"

#include <QTest>
#include <gtest/gtest.h>
#include <httplib.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <regex>

namespace halvio::test {
namespace {

namespace fs = std::filesystem;

const char* const kClient = "C1234";
// A report a clinic could not have sent: no line has the form of the report's lines.
const char* const kMalformedName = "C9999_20261201-101010_1.maj";
const char* const kMalformedBytes = "ceci n'est pas un rapport\r\n<b>\x01\x02\r\n";

// The update service as the vendor runs it, on the service hosts built into the updater, with its console.
class ServiceWithConsole {
public:
    ServiceWithConsole(ChildProcesses& processes, const ServiceCatalog& catalog, const TempFolder& root)
        : m_processes(processes), m_output(root.file("service.out")) {
        const std::string ready = root.file("service.ready");
        m_pid = processes.start(
            {{HALVIO_BINARY_DIR "/bin/update-service", "--catalog", catalog.catalogFolder(), "--reports",
              catalog.reportsFolder(), "--console", "127.0.0.1:0", "--ready-file", ready},
             cleanEnvironment({}),
             root.path(),
             m_output,
             {}});
        // The console's line comes before the ready file; without either, url() stays empty.
        if (!QTest::qWaitFor([&] { return fs::exists(ready) || processes.hasEnded(m_pid); }, 30000))
            return;
        static const std::regex line(R"(update-service: console on (http://127\.0\.0\.1:([0-9]+)/))");
        std::smatch match;
        const std::string out = output();
        if (std::regex_search(out, match, line)) {
            m_url = match[1].str();
            m_port = std::stoi(match[2].str());
        }
    }
    ~ServiceWithConsole() { stop(); }

    // Empty when the console did not come up.
    const std::string& url() const { return m_url; }
    int port() const { return m_port; }
    std::string output() const { return readBytesIfAny(m_output).value_or(""); }
    // The exit code after SIGTERM.
    std::optional<int> stop() {
        if (!m_processes.hasEnded(m_pid)) {
            ::kill(m_pid, SIGTERM);
            m_processes.waitEnded(m_pid, std::chrono::seconds(30));
        }
        return m_processes.exitCode(m_pid);
    }

private:
    ChildProcesses& m_processes;
    std::string m_output;
    pid_t m_pid = 0;
    std::string m_url;
    int m_port = 0;
};

// "site~day~count|" groups of the report's FAX line, by (site, day).
std::map<std::pair<std::string, std::string>, int> faxCounts(const std::string& report) {
    std::map<std::pair<std::string, std::string>, int> counts;
    // The address statement has a FAX column of its own: the line is the one that starts so.
    const size_t start = report.find("\r\nFAX=");
    if (start == std::string::npos)
        return counts;
    const std::string line = report.substr(start + 6, report.find("\r\n", start + 2) - start - 6);
    static const std::regex group(R"(([^~|]*)~([0-9.]+)~([0-9]+)\|)");
    for (auto it = std::sregex_iterator(line.begin(), line.end(), group); it != std::sregex_iterator(); ++it)
        counts[{(*it)[1].str(), (*it)[2].str()}] += std::stoi((*it)[3].str());
    return counts;
}

// The bars of the plot as the browser built them.
std::map<std::pair<std::string, std::string>, int> plottedCounts(const std::string& dom) {
    std::map<std::pair<std::string, std::string>, int> counts;
    static const std::regex bar(
        R"re(<rect [^>]*data-site="([^"]*)" data-jour="([^"]*)" data-nombre="([0-9]+)")re");
    for (auto it = std::sregex_iterator(dom.begin(), dom.end(), bar); it != std::sregex_iterator(); ++it)
        counts[{(*it)[1].str(), (*it)[2].str()}] += std::stoi((*it)[3].str());
    return counts;
}

TEST(ConsoleInBrowser, ShowsTheUpdatersReportsAndServesThemByteForByte) {
    const auto chromium = chromiumProgram();
    if (!chromium)
        GTEST_SKIP() << "Debian's chromium is not installed (scripts/setup installs it): no browser to drive";
    ChildProcesses processes;
    TempFolder serviceRoot;
    // The example clinic's second site has "~|=" in a name, which the updater sends as it is: its SITE=
    // line cannot be split, so the clinic is listed and shown without its sites.
    const ClinicRows rows = exampleClinic();
    ClinicInstallation clinic(rows);
    ServiceCatalog catalog(serviceRoot.path());
    catalog.setClient(kClient, {"Clinique du Parc", "15", "47", {}});
    // Dropped before the service starts: the console's index finds it in the folder.
    writeBytes(catalog.reportsFolder() + "/" + kMalformedName, kMalformedBytes);

    ServiceWithConsole service(processes, catalog, serviceRoot);
    ASSERT_FALSE(service.url().empty()) << service.output();

    UpdaterRun run(processes, clinic);
    ASSERT_TRUE(run.waitEnded(kRunLimit)) << clinic.diagnostics() << "\n--- service ---\n"
                                          << service.output();
    EXPECT_EQ(run.exitCode(), 0) << clinic.diagnostics();

    std::vector<std::string> stored;
    for (const std::string& name : fileNames(catalog.reportsFolder()))
        if (name.rfind(std::string(kClient) + "_", 0) == 0)
            stored.push_back(name);
    ASSERT_EQ(stored.size(), 1u) << service.output();
    const std::string posted = readBytesIfAny(catalog.reportsFolder() + "/" + stored.front()).value_or("");
    EXPECT_EQ(posted, expectedReportBody(rows, QDate::currentDate())) << "the updater's own report";

    HeadlessBrowser browser(processes, serviceRoot.file("chromium-profile"));
    const std::string list = browser.dom(service.url());
    ASSERT_FALSE(list.empty()) << "the browser did not load " << service.url();
    EXPECT_NE(list.find("href=\"/clinique/C1234\">C1234</a></td><td>Clinique du Parc</td><td>Québec</td>"),
              std::string::npos)
        << list;
    // The malformed report, listed with a reason, in the section of unreadable reports.
    const size_t unreadable = list.find("id=\"illisibles\"");
    ASSERT_NE(unreadable, std::string::npos) << list;
    static const std::regex malformedRow(
        R"re(<tr><td>[^<]*</td><td><a href="/rapport/C9999_20261201-101010_1\.maj" download="">C9999_20261201-101010_1\.maj</a></td><td class="n">[0-9]+</td><td class="faute">([^<]+)</td></tr>)re");
    std::smatch reason;
    const std::string afterSection = list.substr(unreadable);
    ASSERT_TRUE(std::regex_search(afterSection, reason, malformedRow)) << afterSection;
    EXPECT_GT(reason[1].str().size(), 3u) << "a reason, not an empty cell";

    const std::string page = browser.dom(service.url() + "clinique/C1234");
    ASSERT_FALSE(page.empty());
    for (const std::string user : {"MEDECIN UN", "MÉDECIN DEUX"})
        EXPECT_NE(page.find("<td>" + user), std::string::npos) << user << "\n" << page;
    EXPECT_NE(page.find("<p class=\"faute\">Sites illisibles : ligne "), std::string::npos) << page;
    EXPECT_NE(page.find("une valeur de site contient « ~ » ou « | »"), std::string::npos) << page;
    const auto reported = faxCounts(posted);
    ASSERT_FALSE(reported.empty()) << posted;
    EXPECT_EQ(plottedCounts(page), reported) << page;

    // Raw reports, as the browser's download link asks for them.
    httplib::Client client("127.0.0.1", service.port());
    client.set_read_timeout(30, 0);
    for (const auto& [name, bytes] :
         std::map<std::string, std::string>{{stored.front(), posted}, {kMalformedName, kMalformedBytes}}) {
        EXPECT_NE((page + list).find("href=\"/rapport/" + name + "\""), std::string::npos) << name;
        const auto download = client.Get("/rapport/" + name);
        ASSERT_TRUE(download) << name;
        EXPECT_EQ(download->status, 200);
        EXPECT_TRUE(download->body == bytes) << name;
    }
    EXPECT_EQ(service.stop(), 0) << service.output();
}

} // namespace
} // namespace halvio::test
