// Whole runs of the signed updater (bin/signed/maj_kliso.exe, built with the public key of the test
// key pair that the build made in test-keys/): it installs from the reference service that signs
// with the private key, and refuses every reply and package file that is not exactly what the
// vendor signed for this very exchange, with nothing applied or recorded. The faults are made by a
// loopback server on the office host that stands between the updater and the signing service.
#include "ChildProcesses.h"
#include "ClinicInstallation.h"
#include "Crypto.h"
#include "LoopbackHttpServer.h"
#include "RunSupport.h"
#include "ServiceHosts.h"
#include "ServiceOnLoopback.h"
#include "SignedReply.h"
#include "SigningKey.h"
#include "UpdaterRun.h"
#include "VirtualDisplay.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <functional>
#include <memory>
#include <mutex>

namespace halvio::test {
namespace {

namespace crypto = platform::crypto;

const char* const kClient = "C1234";
const std::string kSignedUpdater = HALVIO_BINARY_DIR "/bin/signed/maj_kliso.exe";
const std::string kSetupMajBefore = "2004.05.11 14:03:22";

std::string testSigningKey() {
    return tools::loadSigningKey(HALVIO_BINARY_DIR "/test-keys/vendor.key");
}

// Two packages: HALVIO sorts first, so a refused HALVIO file leaves nothing recorded.
void publishTwoPackages(ServiceCatalog& catalog) {
    catalog.setClient(kClient, {"Clinique du Parc", "15", "47", {"update md set actif=1 where id=2"}});
    catalog.publish("HALVIO", "2024.01.10 10:00:00", "Nouvelle version du programme", programBytes("halvio"));
    catalog.publish("SQL_SIGNE", "2024.01.10 10:00:00", "Script",
                    "update md set titre='Dre Signee' where id=2");
}

std::vector<std::vector<std::string>> majRows(const ClinicInstallation& clinic) {
    return clinic.query("select nom, dates from maj order by nom");
}

TEST(SignedRun, InstallsFromTheSigningServiceAfterCheckingTheReplyAndEveryPackage) {
    ChildProcesses processes;
    TempFolder serviceRoot;
    ClinicInstallation clinic(exampleClinic(), kSignedUpdater);
    ServiceCatalog catalog(serviceRoot.path());
    publishTwoPackages(catalog);
    ServiceOnLoopback service(catalog, testSigningKey());

    UpdaterRun run(processes, clinic);
    ASSERT_TRUE(run.waitEnded(kRunLimit)) << clinic.diagnostics() << "\n--- service ---\n" << service.log();
    EXPECT_EQ(run.exitCode(), 0) << clinic.diagnostics();
    EXPECT_FALSE(readBytesIfAny(clinic.inProgramFolder("maj_kliso.err"))) << clinic.diagnostics();

    const std::vector<ServiceRequest> posts = service.requests("POST");
    ASSERT_EQ(traffic(posts), std::vector<std::string>{"POST /C1234.maj 200 at office"}) << service.log();
    EXPECT_NE(posts.front().line.find(" signed"), std::string::npos) << posts.front().line;
    // The body is the reply an unsigned updater gets; the signature came in headers.
    EXPECT_EQ(readBytesIfAny(clinic.inProgramFolder("test.txt")), catalog.expectedReply(kClient));
    EXPECT_EQ(traffic(service.requests("GET")),
              (std::vector<std::string>{"GET /kliso/update/halvio.zip 200 at office",
                                        "GET /kliso/update/sql_signe.zip 200 at office"}));
    EXPECT_EQ(readBytesIfAny(clinic.inProgramFolder("update/halvio.exe")), programBytes("halvio"));
    EXPECT_EQ(clinic.value("select trim(titre) from md where id=2"), "Dre Signee");
    EXPECT_EQ(clinic.value("select count(*) from maj where nom in ('HALVIO', 'SQL_SIGNE')"), "2");
    EXPECT_NE(clinic.value("select maj from setup"), kSetupMajBefore);
}

// The signing service on a free port, and on the office host a server that passes every request on
// to it (the nonce header with it) and hands the answer back, changed as the test says.
class SignedFaultRun : public ::testing::Test {
protected:
    using Tamper = std::function<void(const RecordedRequest&, LoopbackReply&)>;

    SignedFaultRun() {
        publishTwoPackages(catalog);
        tools::UpdateServiceConfig config;
        config.catalog = catalog.catalogFolder();
        config.reports = catalog.reportsFolder();
        config.listen = {{"127.0.0.1", 0}};
        config.signingKey = testSigningKey();
        service = std::make_unique<tools::UpdateService>(std::move(config));
        service->start();
        const tools::ListenAddress office = serviceAddress(hosts::kOfficeServer);
        if (someoneListensOn(office.host, office.port))
            throw std::runtime_error(tools::toText(office) +
                                     " is taken: another suite holds the service ports");
        front = std::make_unique<LoopbackHttpServer>(office.host, office.port);
        front->handleOthers([this](const RecordedRequest& request) {
            LoopbackReply reply = passOn(request);
            const std::lock_guard lock(mutex);
            if (tamper)
                tamper(request, reply);
            return reply;
        });
    }

    // The service's answer to the request, with a nonce of the caller's choosing when one is given.
    LoopbackReply passOn(const RecordedRequest& request, const std::string& nonce = {}) {
        httplib::Client client("127.0.0.1", service->boundAddresses().at(0).port);
        httplib::Headers headers;
        const std::string sent = nonce.empty() ? request.header(signedreply::kNonceHeader) : nonce;
        if (!sent.empty())
            headers.emplace(signedreply::kNonceHeader, sent);
        const auto result = request.method == "POST"
                                ? client.Post(request.path, headers, request.body, "text/html")
                                : client.Get(request.path, headers);
        LoopbackReply reply = LoopbackReply::text(result ? result->body : "", result ? result->status : 502);
        if (result) {
            for (const char* name : {signedreply::kManifestHeader, signedreply::kSignatureHeader})
                if (result->has_header(name))
                    reply.headers.emplace_back(name, result->get_header_value(name));
        }
        return reply;
    }

    void setTamper(Tamper change) {
        const std::lock_guard lock(mutex);
        tamper = std::move(change);
    }

    std::vector<std::string> gets() const {
        std::vector<std::string> paths;
        for (const RecordedRequest& request : front->requests())
            if (request.method == "GET")
                paths.push_back(request.path);
        return paths;
    }

    ChildProcesses processes;
    TempFolder serviceRoot;
    ServiceCatalog catalog{serviceRoot.path()};
    std::unique_ptr<tools::UpdateService> service;
    std::unique_ptr<LoopbackHttpServer> front;
    std::mutex mutex;
    Tamper tamper;
};

std::string headerValue(const LoopbackReply& reply, const std::string& name) {
    for (const auto& [key, value] : reply.headers)
        if (key == name)
            return value;
    return {};
}

void setHeader(LoopbackReply& reply, const std::string& name, const std::string& value) {
    for (auto& header : reply.headers)
        if (header.first == name)
            header.second = value;
}

TEST_F(SignedFaultRun, ARepliedAnswerThatIsNotTheVendorsForThisNonceIsRefusedWithNothingApplied) {
    const crypto::KeyPair other = crypto::generateKeyPair();
    struct Case {
        const char* what;
        Tamper change;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"unsigned", [](const RecordedRequest&, LoopbackReply& reply) { reply.headers.clear(); },
         "elle n'est pas signée."},
        {"signed by another key",
         [&](const RecordedRequest& request, LoopbackReply& reply) {
             const std::string nonce = *crypto::fromBase64(request.header(signedreply::kNonceHeader));
             const std::string manifest =
                 *crypto::fromBase64(headerValue(reply, signedreply::kManifestHeader));
             setHeader(reply, signedreply::kSignatureHeader,
                       crypto::toBase64(crypto::sign(signedreply::signedMessage(nonce, reply.body, manifest),
                                                     other.privateKey)));
         },
         "sa signature n'est pas valide"},
        {"changed by one byte",
         [](const RecordedRequest&, LoopbackReply& reply) {
             reply.body[reply.body.find("escompte=15") + 9] = '9';
         },
         "sa signature n'est pas valide"},
        {"replayed from an earlier exchange",
         [this](const RecordedRequest& request, LoopbackReply& reply) {
             // What the service signed for an earlier request of this clinic.
             reply = passOn(request, crypto::toBase64(crypto::randomBytes(signedreply::kNonceBytes)));
         },
         "sa signature n'est pas valide"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClinicInstallation clinic(exampleClinic(), kSignedUpdater);
        const auto majBefore = majRows(clinic);
        const std::string nomBefore = clinic.value("select nom from setup");
        setTamper([&](const RecordedRequest& request, LoopbackReply& reply) {
            if (request.method == "POST")
                c.change(request, reply);
        });
        const size_t getsBefore = gets().size();

        UpdaterRun run(processes, clinic);
        ASSERT_TRUE(run.waitEnded(kRunLimit)) << clinic.diagnostics();
        EXPECT_EQ(run.exitCode(), 0) << clinic.diagnostics();
        EXPECT_FALSE(readBytesIfAny(clinic.inProgramFolder("maj_kliso.err"))) << clinic.diagnostics();
        ASSERT_FALSE(front->requests().empty());
        EXPECT_FALSE(front->lastRequest().header(signedreply::kNonceHeader).empty());
        // Nothing of the reply applied: no statement, no settings, no package fetched or recorded,
        // SETUP.MAJ as it was.
        EXPECT_EQ(gets().size(), getsBefore);
        EXPECT_EQ(majRows(clinic), majBefore);
        EXPECT_EQ(clinic.value("select nom from setup"), nomBefore);
        EXPECT_EQ(clinic.value("select actif from md where id=2"), "0");
        EXPECT_EQ(clinic.value("select maj from setup"), kSetupMajBefore);
        EXPECT_EQ(fileNames(clinic.inProgramFolder("update")), std::vector<std::string>{});
    }
}

class SignedPackageFaultRun : public SignedFaultRun {
protected:
    VirtualDisplay display{processes};
};

TEST_F(SignedPackageFaultRun, APackageFileThatIsNotTheSignedOneTakesTheFailedDownloadPathAndIsNotKept) {
    struct Case {
        const char* what;
        std::function<void(LoopbackReply&)> change;
    };
    const std::vector<Case> cases = {
        {"changed by one byte", [](LoopbackReply& reply) { reply.body[reply.body.size() / 2] ^= 0x01; }},
        {"replaced by another signed package's file",
         [this](LoopbackReply& reply) {
             RecordedRequest other;
             other.method = "GET";
             other.path = "/kliso/update/sql_signe.zip";
             reply = passOn(other);
         }},
        {"longer than announced", [](LoopbackReply& reply) { reply.body += "PK"; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClinicInstallation clinic(exampleClinic(), kSignedUpdater);
        const auto majBefore = majRows(clinic);
        setTamper([&](const RecordedRequest& request, LoopbackReply& reply) {
            if (request.path == "/kliso/update/halvio.zip")
                c.change(reply);
        });

        UpdaterRun run(processes, clinic, display.name());
        const auto running = [&] { return run.isRunning(); };
        // The failed download's two notices; no "antivirus" box: the file did arrive.
        ASSERT_TRUE(display.pressReturnIn("maj_kliso", running, kDialogLimit))
            << "no box with the reason" << display.state() << clinic.diagnostics();
        ASSERT_TRUE(display.pressReturnIn("Vantorix  Attention!", running, 60s))
            << "no mode 80 dialog" << display.state() << clinic.diagnostics();
        ASSERT_TRUE(run.waitEnded(60s)) << display.state();
        EXPECT_EQ(run.exitCode(), 0);

        // The reply was genuine, so its settings were applied; the package was neither saved nor
        // recorded, the next one not fetched, and SETUP.MAJ is not stamped.
        EXPECT_EQ(clinic.value("select actif from md where id=2"), "1");
        EXPECT_EQ(majRows(clinic), majBefore);
        EXPECT_EQ(fileNames(clinic.inProgramFolder("update")), std::vector<std::string>{});
        EXPECT_EQ(clinic.value("select maj from setup"), kSetupMajBefore);
        EXPECT_EQ(gets().back(), "/kliso/update/halvio.zip");
    }
}

} // namespace
} // namespace halvio::test
