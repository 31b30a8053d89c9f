// The tools as processes: the servers come up, tell where they listen, serve, and end with exit code 0
// on SIGTERM or SIGINT; make-package writes packages that the platform's reader opens.
#include "CatalogFixture.h"
#include "ServiceTestSupport.h"
#include "ToolRuns.h"
#include "ZipError.h"
#include "ZipReader.h"

#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <set>
#include <thread>
#include <vector>

using namespace halvio::test;
namespace fs = std::filesystem;

namespace {

TEST(UpdateServiceProcess, ServesUntilSigtermThenExitsCleanly) {
    CatalogFixture catalog;
    catalog.writeClient("C0042", "nom=Clinique\nescompte=15\nID=47\n");
    catalog.writePackageList("HALVIO|2004.05.12 10:22:33|Programme\n");
    catalog.writePackageFile("halvio.zip", allByteValues());

    ServerProcess service("update-service",
                          {"--catalog", q(catalog.catalog()), "--reports", q(catalog.reports()), "--listen",
                           "127.0.0.1:0", "--pid-file", q(catalog.path("service.pid"))},
                          catalog.path("ready"));
    ASSERT_TRUE(service.waitReady()) << service.output();
    const int port = service.port();
    EXPECT_FALSE(readBytes(catalog.path("service.pid")).empty());

    httplib::Client client("127.0.0.1", port);
    const auto reply = client.Post("/C0042.maj", allByteValues(), "text/html");
    ASSERT_TRUE(reply);
    EXPECT_EQ(
        reply->body,
        "nom=Clinique|escompte=15|ID=47\r\n\r\nnom=HALVIO|dates=2004.05.12 10:22:33|taille=256|description="
        "Programme\r\n");
    const auto package = client.Get("/kliso/update/halvio.zip");
    ASSERT_TRUE(package);
    EXPECT_TRUE(package->body == allByteValues());

    EXPECT_EQ(service.stopWith(SIGTERM), 0);
    const std::string out = service.output();
    EXPECT_NE(out.find("listening on 127.0.0.1:" + std::to_string(port)), std::string::npos) << out;
    EXPECT_NE(out.find(" POST /C0042.maj 200 in=256 "), std::string::npos) << out;
    EXPECT_NE(out.find(" GET /kliso/update/halvio.zip 200 in=0 out=256"), std::string::npos) << out;
    ASSERT_EQ(std::distance(fs::directory_iterator(catalog.reports()), fs::directory_iterator()), 1);
    EXPECT_TRUE(readBytes(fs::directory_iterator(catalog.reports())->path()) == allByteValues());
}

// At its start the service says which entry unknown clients get and lists the catalog's faults; it
// serves all the same, and refuses the faulty entry at its request.
TEST(UpdateServiceProcess, TellsTheCatalogsFaultsAtItsStart) {
    CatalogFixture catalog;
    catalog.writeClient("COMMA", "nom=Clinique du Lac\nescompte=15,5\nID=47\n");
    catalog.writePackageList("HALVIO|2004.05.12 10:22:33|Programme\n");
    ServerProcess service(
        "update-service",
        {"--catalog", q(catalog.catalog()), "--reports", q(catalog.reports()), "--listen", "127.0.0.1:0"},
        catalog.path("ready"));
    ASSERT_TRUE(service.waitReady()) << service.output();
    httplib::Client client("127.0.0.1", service.port());
    const auto refused = client.Post("/COMMA.maj", "report", "text/html");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 500);
    const auto served = client.Post("/OTHER.maj", "report", "text/html");
    ASSERT_TRUE(served);
    EXPECT_EQ(served->status, 200);

    EXPECT_EQ(service.stopWith(SIGTERM), 0);
    const std::string out = service.output();
    EXPECT_NE(
        out.find("update-service: no clients/default.txt: a client without an entry of its own gets the "
                 "built-in one"),
        std::string::npos)
        << out;
    EXPECT_NE(out.find("update-service: catalog fault: clients/COMMA.txt:2: the updater refuses the reply: "),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("update-service: catalog fault: packages.txt:1: no package file packages/halvio.zip"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find(" POST /COMMA.maj 500 in=6 out=0 report="), std::string::npos) << out;
    EXPECT_NE(out.find(" fault=clients/COMMA.txt:2: "), std::string::npos) << out;
}

TEST(UpdateServiceProcess, PortInUseAndBadOptionsEndTheProcess) {
    CatalogFixture catalog;
    RunningService holder(catalog);
    const Finished inUse =
        runTool("update-service", {"--catalog", q(catalog.catalog()), "--reports", q(catalog.reports()),
                                   "--listen", QString("127.0.0.1:%1").arg(holder.port())});
    EXPECT_EQ(inUse.exitCode, 1);
    EXPECT_NE(inUse.err.find("cannot listen on 127.0.0.1:" + std::to_string(holder.port())),
              std::string::npos)
        << inUse.err;

    for (const QStringList& arguments : {QStringList{"--listen", "clinic.example:80"},
                                         QStringList{"--bogus", "x"}, QStringList{"--catalog"}})
        EXPECT_EQ(runTool("update-service", arguments).exitCode, 2) << arguments.join(' ').toStdString();
    EXPECT_EQ(
        runTool("update-service", {"--catalog", q(catalog.path("none")), "--listen", "127.0.0.1:0"}).exitCode,
        1);
}

// Connections that send the start of a request one byte every two seconds, as a client on a
// failing line (or one that means harm) does, until the object goes.
class TricklingClients {
public:
    TricklingClients(int port, int count) {
        for (int i = 0; i < count; ++i) {
            const int s = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(static_cast<uint16_t>(port));
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
                m_sockets.push_back(s);
            else
                ::close(s);
        }
        m_thread = std::thread([this] {
            static const char kRequest[] = "POST /SLOW.maj HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\n\r\n";
            for (size_t sent = 0; !m_stop && sent + 1 < sizeof kRequest; ++sent) {
                for (const int s : m_sockets)
                    ::send(s, kRequest + sent, 1, MSG_NOSIGNAL);
                for (int tick = 0; tick < 20 && !m_stop; ++tick)
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        });
    }
    ~TricklingClients() {
        m_stop = true;
        m_thread.join();
        for (const int s : m_sockets)
            ::close(s);
    }
    size_t connected() const { return m_sockets.size(); }

private:
    std::vector<int> m_sockets;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

TEST(UpdateServiceProcess, ClientsTricklingTheirRequestsDoNotKeepOthersWaiting) {
    CatalogFixture catalog;
    catalog.writeClient("C0042", "nom=Clinique\nescompte=15\nID=47\n");
    ServerProcess service(
        "update-service",
        {"--catalog", q(catalog.catalog()), "--reports", q(catalog.reports()), "--listen", "127.0.0.1:0"},
        catalog.path("ready"));
    ASSERT_TRUE(service.waitReady()) << service.output();

    {
        TricklingClients slow(service.port(), 64);
        ASSERT_EQ(slow.connected(), 64u);
        // Every slow connection has been taken by the service and holds whatever serves it.
        std::this_thread::sleep_for(std::chrono::milliseconds(500));

        // Within the per-connection limit of the service (5 s without a byte), with room for a busy
        // machine.
        httplib::Client client("127.0.0.1", service.port());
        client.set_connection_timeout(10, 0);
        client.set_read_timeout(10, 0);
        for (int i = 0; i < 3; ++i) {
            const auto reply = client.Post("/C0042.maj", "rapport " + std::to_string(i), "text/html");
            ASSERT_TRUE(reply) << "request " << i << ": " << httplib::to_string(reply.error());
            EXPECT_EQ(reply->status, 200);
        }
    }
    // The trickling connections are gone: the service ends as usual.
    EXPECT_EQ(service.stopWith(SIGTERM), 0);
}

TEST(UpdateServiceProcess, ACodeThatCannotBeAFileNameStillHasItsReportStored) {
    CatalogFixture catalog;
    catalog.writeClient("default", "nom=Inconnue\nescompte=0\nID=1\n");
    ServerProcess service(
        "update-service",
        {"--catalog", q(catalog.catalog()), "--reports", q(catalog.reports()), "--listen", "127.0.0.1:0"},
        catalog.path("ready"));
    ASSERT_TRUE(service.waitReady()) << service.output();

    // Paths as sent; the service decodes %XX before it reads the code.
    const std::vector<std::string> paths = {"/" + std::string(300, 'C') + ".maj",
                                            "/" + std::string(299, 'C') + "D.maj",
                                            "/..%2Fx.maj",
                                            "/a%2Fb.maj",
                                            "/a_b.maj",
                                            "/con:.maj",
                                            "/%00%FF%E9t%E9.maj",
                                            "/.maj"};
    httplib::Client client("127.0.0.1", service.port());
    client.set_read_timeout(30, 0);
    std::set<std::string> bodies;
    for (size_t i = 0; i < paths.size(); ++i) {
        const std::string body = "rapport " + std::to_string(i) + "\r\n" + allByteValues();
        bodies.insert(body);
        const auto reply = client.Post(paths[i], body, "text/html");
        ASSERT_TRUE(reply) << paths[i];
        EXPECT_EQ(reply->status, 200) << paths[i];
    }

    std::set<std::string> stored;
    for (const auto& entry : fs::recursive_directory_iterator(catalog.reports())) {
        ASSERT_TRUE(entry.is_regular_file()) << entry.path();
        EXPECT_EQ(entry.path().parent_path(), catalog.reports()) << entry.path();
        const std::string name = entry.path().filename().string();
        EXPECT_LE(name.size(), 100u) << name;
        stored.insert(readBytes(entry.path()));
    }
    // Every report in a file of its own inside the folder, byte for byte.
    EXPECT_EQ(stored, bodies);
    EXPECT_EQ(service.stopWith(SIGTERM), 0);
}

// The request log is read one line per request: a client code or a package name holding a line break
// or another control character is shown with "?" in its one line, and forges no line of its own.
TEST(UpdateServiceProcess, ControlCharactersOfARequestStayInsideItsOneLogLine) {
    CatalogFixture catalog;
    catalog.writeClient("default", "nom=Inconnue\nescompte=0\nID=1\n");
    ServerProcess service(
        "update-service",
        {"--catalog", q(catalog.catalog()), "--reports", q(catalog.reports()), "--listen", "127.0.0.1:0"},
        catalog.path("ready"));
    ASSERT_TRUE(service.waitReady()) << service.output();
    const struct {
        bool post;
        std::string path;  // as sent
        std::string shown; // what the request's log line holds
    } cases[] = {
        {true, "/A%0A2026.12.10 00:00:00 127.0.0.1:80 GET FORGED 200.maj",
         " POST /A?2026.12.10 00:00:00 127.0.0.1:80 GET FORGED 200.maj 404 "},
        {true, "/B%0D%0AFORGED%0D.maj", " POST /B??FORGED?.maj 404 "},
        // A code the service takes: the file it was stored in is noted on the line too.
        {true, "/C%09%1B[2J%7FFORGED.maj", " POST /C??[2J?FORGED.maj 200 "},
        {false, "/kliso/update/D%0AFORGED%00.zip", " GET /kliso/update/D?FORGED?.zip 404 "},
    };
    httplib::Client client("127.0.0.1", service.port());
    client.set_read_timeout(30, 0);
    for (const auto& c : cases) {
        const auto reply = c.post ? client.Post(c.path, "rapport\r\n", "text/html") : client.Get(c.path);
        ASSERT_TRUE(reply) << c.path;
    }
    EXPECT_EQ(service.stopWith(SIGTERM), 0);
    const std::string out = service.output();
    std::vector<std::string> forged;
    for (size_t start = 0; start < out.size();) {
        const size_t end = std::min(out.find('\n', start), out.size());
        const std::string line = out.substr(start, end - start);
        if (line.find("FORGED") != std::string::npos)
            forged.push_back(line);
        start = end + 1;
    }
    ASSERT_EQ(forged.size(), std::size(cases)) << out;
    // The server's threads may log the requests in another order than they were sent.
    for (const auto& c : cases)
        EXPECT_EQ(
            std::count_if(forged.begin(), forged.end(),
                          [&](const std::string& line) { return line.find(c.shown) != std::string::npos; }),
            1)
            << c.shown << "\n"
            << out;
    for (const std::string& line : forged)
        EXPECT_EQ(line.find_first_of(std::string("\0\r\t\x1b\x7f", 5)), std::string::npos) << line;
}

TEST(WorkstationListenerProcess, RecordsCallsUntilSigint) {
    QTemporaryDir dir;
    const fs::path record = dir.filePath("calls.txt").toStdString();
    ServerProcess listener("workstation-listener", {"--listen", "127.0.0.1:0", "--record", q(record)},
                           dir.filePath("ready").toStdString());
    ASSERT_TRUE(listener.waitReady()) << listener.output();

    httplib::Client client("127.0.0.1", listener.port());
    const auto result = client.Get(
        "/MAJ", {{"User-Agent", "Mozilla/3.0 (compatible; Indy Library)"}, {"Accept", "text/html, */*"}});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_NE(readBytes(record).find(" GET /MAJ 200 User-Agent=\"Mozilla/3.0 (compatible; Indy Library)\" "
                                     "Accept=\"text/html, */*\"\n"),
              std::string::npos);

    EXPECT_EQ(listener.stopWith(SIGINT), 0);
    EXPECT_NE(listener.output().find(" GET /MAJ 200 "), std::string::npos);
}

class MakePackage : public ::testing::Test {
protected:
    std::string path(const char* name) const { return m_dir.filePath(name).toStdString(); }

    // The package's entry names and its first entry's content, read as the updater reads it.
    std::pair<std::vector<std::string>, std::string> unpack(const std::string& package,
                                                            const std::string& password = "-vorpa") const {
        halvio::platform::ZipReader reader;
        reader.setPassword(password);
        reader.open(package);
        std::vector<std::string> names;
        for (std::uint64_t i = 0; i < reader.entryCount(); ++i)
            names.push_back(reader.entryName(i));
        return {names, reader.extractFirst()};
    }

    QTemporaryDir m_dir;
};

TEST_F(MakePackage, PackagesAFileByteForByte) {
    const std::string content = allByteValues() + noiseBytes(300000, 4);
    writeBytes(path("HALVIO.EXE"), content);
    const Finished run =
        runTool("make-package", {"--file", m_dir.filePath("HALVIO.EXE"), m_dir.filePath("halvio.zip")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto [names, first] = unpack(path("halvio.zip"));
    EXPECT_EQ(names, std::vector<std::string>{"HALVIO.EXE"});
    EXPECT_TRUE(first == content);
}

TEST_F(MakePackage, ScriptLinesBecomeWindows1252WithCrLf) {
    const Finished run =
        runTool("make-package", {"--script", "update md set actif=1", "--script",
                                 QString::fromUtf8("update setup set nom='Élise'\nupdate setup set km=1"),
                                 m_dir.filePath("sql_fix.zip")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto [names, first] = unpack(path("sql_fix.zip"));
    EXPECT_EQ(names, std::vector<std::string>{"sql_fix.sql"});
    EXPECT_EQ(first, "update md set actif=1\r\nupdate setup set nom='\xC9lise'\r\nupdate setup set km=1\r\n");
}

TEST_F(MakePackage, StandardInputEntryNameExtraEntriesAndPassword) {
    writeBytes(path("extra.txt"), "ignored by the updater");
    const std::string input = noiseBytes(5000, 8);
    const Finished run =
        runTool("make-package",
                {"--stdin", "--entry-name", "contenu.bin", "--extra-file", m_dir.filePath("extra.txt"),
                 "--password", "-autre", m_dir.filePath("other.zip")},
                input);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto [names, first] = unpack(path("other.zip"), "-autre");
    EXPECT_EQ(names, (std::vector<std::string>{"contenu.bin", "extra.txt"}));
    EXPECT_TRUE(first == input);
    EXPECT_THROW(unpack(path("other.zip")), halvio::platform::ZipError);
}

TEST_F(MakePackage, NeedsExactlyOneContentAndAnOutput) {
    writeBytes(path("f"), "x");
    for (const QStringList& arguments :
         {QStringList{m_dir.filePath("p.zip")}, QStringList{"--file", m_dir.filePath("f")},
          QStringList{"--file", m_dir.filePath("f"), "--stdin", m_dir.filePath("p.zip")},
          QStringList{"--file", m_dir.filePath("f"), m_dir.filePath("p.zip"), m_dir.filePath("q.zip")}})
        EXPECT_EQ(runTool("make-package", arguments).exitCode, 2) << arguments.join(' ').toStdString();
    EXPECT_FALSE(fs::exists(path("p.zip")));
    EXPECT_EQ(
        runTool("make-package", {"--file", m_dir.filePath("missing"), m_dir.filePath("p.zip")}).exitCode, 1);
}

TEST_F(MakePackage, MakesAMissingFolderAndNamesTheOneItCannotWrite) {
    const fs::path nested = path("catalog") + "/packages/halvio.zip";
    const Finished made = runTool("make-package", {"--script", "update setup set km=0", q(nested)});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    EXPECT_EQ(unpack(nested.string()).second, "update setup set km=0\r\n");

    writeBytes(path("plain-file"), "x");
    const Finished underAFile =
        runTool("make-package", {"--script", "x", m_dir.filePath("plain-file/packages/p.zip")});
    EXPECT_EQ(underAFile.exitCode, 1);
    EXPECT_NE(underAFile.err.find("cannot create the folder " + path("plain-file/packages")),
              std::string::npos)
        << underAFile.err;

    // A folder that exists and takes no new file, even from root.
    const Finished unwritable = runTool("make-package", {"--script", "x", "/proc/halvio-package.zip"});
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_NE(unwritable.err.find("cannot write /proc/halvio-package.zip in the folder /proc: "),
              std::string::npos)
        << unwritable.err;
}

// The vendor's check before publishing: one FILE:LINE: REASON line per fault, exit code 1; none and 0
// once mended.
TEST(UpdateServiceCheck, NamesEveryFaultThenPassesTheMendedCatalog) {
    CatalogFixture catalog;
    catalog.writePackageList("# the packages of every clinic\n"
                             "HALVIO|2004.05.12 10:22:33|Nouvelle version\n"
                             "GABARITS|12/05/2004|Lettres\n"
                             "UPDATEDIAG|2004.05.13 08:00:00|Renum\xC3\xA9rotation \xE2\x9C\x93\n"
                             "MISSING|2004.05.14 00:00:00|Sans fichier\n");
    for (const char* file : {"halvio.zip", "gabarits.zip", "updatediag.zip"})
        catalog.writePackageFile(file, "package");
    catalog.writeClient("EMPTY", "");
    catalog.writeClient("COMMA", "nom=Clinique du Lac\nescompte=15,5\nID=47\n");
    catalog.writeClient("GOOD",
                        "nom=Clinique du Parc\nescompte=15\nID=47\npackage=SQL_A|2004.05.11|Script\n");
    catalog.writePackageFile("sql_a.zip", "package");

    const Finished faulty = runTool("update-service", {"--check", q(catalog.catalog())});
    EXPECT_EQ(faulty.exitCode, 1) << faulty.err;
    const std::vector<std::string> expected = {
        "packages.txt:4: UTF-8 text with a character that Windows-1252 has not",
        "packages.txt:3: the date \"12/05/2004\" is not yyyy.mm.dd hh:nn:ss",
        "clients/COMMA.txt:2: the updater refuses the reply: ",
        "packages.txt:5: no package file packages/missing.zip",
        "clients/EMPTY.txt: the updater refuses the reply: ",
        "clients/GOOD.txt:4: the date \"2004.05.11\" is not yyyy.mm.dd hh:nn:ss",
    };
    const QStringList lines = QString::fromStdString(faulty.out).split('\n', Qt::SkipEmptyParts);
    for (const std::string& start : expected)
        EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                                [&](const QString& line) { return line.toStdString().rfind(start, 0) == 0; }))
            << start << "\n"
            << faulty.out;
    EXPECT_NE(
        faulty.out.find("clients/COMMA.txt:2: the updater refuses the reply: R\xC3\xA9ponse du serveur"),
        std::string::npos)
        << "the updater's reason, in UTF-8:\n"
        << faulty.out;
    EXPECT_NE(faulty.out.find("15,5"), std::string::npos) << faulty.out;
    for (const QString& line : lines)
        EXPECT_TRUE(line.startsWith("packages.txt:") || line.startsWith("clients/")) << line.toStdString();

    catalog.writePackageList("HALVIO|2004.05.12 10:22:33|Nouvelle version\n"
                             "UPDATEDIAG|2004.05.13 08:00:00|Renum\xC3\xA9rotation\n");
    catalog.writeClient("EMPTY", "ID=0\n");
    catalog.writeClient("COMMA", "nom=Clinique du Lac\nescompte=15.5\nID=47\n");
    catalog.writeClient("GOOD",
                        "nom=Clinique du Parc\nescompte=15\nID=47\npackage=SQL_A|2004.05.11 09:00:00|x\n");
    const Finished mended = runTool("update-service", {"--check", q(catalog.catalog())});
    EXPECT_EQ(mended.exitCode, 0) << mended.out << mended.err;
    EXPECT_EQ(mended.out, "");
    EXPECT_EQ(runTool("update-service", {"--check", q(catalog.path("none"))}).exitCode, 1);
}

TEST(KeyCommand, MakesAnOwnerOnlyKeyOnceAndTheServiceRefusesAKeyOthersMayRead) {
    CatalogFixture catalog;
    const fs::path key = catalog.path("vendor.key");
    const QString keyArgument = QString::fromStdString(key.string());
    const Finished made = runTool("update-service", {"keygen", "--private", keyArgument});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    ASSERT_EQ(made.out.size(), 45u) << made.out; // 44 characters of base64 and the line end
    EXPECT_NE(made.err.find("-DHALVIO_VENDOR_PUBLIC_KEY="), std::string::npos) << made.err;
    EXPECT_EQ(fs::status(key).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    const std::string privateKey = readBytes(key);

    const Finished again = runTool("update-service", {"keygen", "--private", keyArgument});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_NE(again.err.find("never overwritten"), std::string::npos) << again.err;
    EXPECT_EQ(readBytes(key), privateKey);

    const Finished shown = runTool("update-service", {"public-key", "--private", keyArgument});
    EXPECT_EQ(shown.exitCode, 0) << shown.err;
    EXPECT_EQ(shown.out, made.out);

    fs::permissions(key, fs::perms::group_read | fs::perms::others_read, fs::perm_options::add);
    const Finished refused = runTool("update-service", {"--catalog", q(catalog.catalog()), "--listen",
                                                        "127.0.0.1:0", "--signing-key", keyArgument});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("readable by its owner only"), std::string::npos) << refused.err;

    fs::permissions(key, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace);
    writeBytes(key, "not a key\n");
    const Finished unreadable = runTool("update-service", {"public-key", "--private", keyArgument});
    EXPECT_EQ(unreadable.exitCode, 1);
    EXPECT_NE(unreadable.err.find("holds no signing key"), std::string::npos) << unreadable.err;
}

} // namespace
