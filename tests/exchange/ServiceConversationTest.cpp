// The whole exchange against real loopback servers standing at the service's own endpoints.
#include "ServiceConversation.h"
#include "Exchange.h"
#include "ExchangeFixture.h"
#include "Fonction.h"
#include "LoopbackHttpServer.h"
#include "ServiceHosts.h"
#include "Windows1252.h"

#include <atomic>
#include <memory>

using namespace halvio;
using halvio::test::LoopbackHttpServer;
using halvio::test::LoopbackReply;
using halvio::test::RecordedRequest;

namespace {
const char* kReply = "nom=Parc|escompte=|ID=1\r\n\r\n";
const std::string kBody =
    "update client set adres1='',adres2='',ville='',postal='',PROV='',REGION='',TEL='',TEL2='',"
    "FAX='',CONTACT='',COURRIEL='',MAJ='1899.12.29' WHERE CODE='C1234     '\r\n"
    "id=1|nom=A|titre=|vigilance=|Dernacces=\r\n";

std::string attempt(int endpoint) {
    return reportEndpoints().at(endpoint - 1).logLine;
}

std::vector<std::string> attempts123() {
    return {attempt(1), attempt(2), attempt(3)};
}

std::string serviceDownDetails(int status) {
    return status == 502 ? "HTTP/1.1 502 Bad Gateway" : "HTTP/1.1 503 Service Unavailable";
}

class ConversationFixture : public test::ExchangeFixture {
protected:
    void SetUp() override {
        if (std::string(hosts::kProfile) != "local")
            GTEST_SKIP() << "the service hosts are loopback only in the local profile";
        createClinic({"insert into setup (client) values ('C1234')",
                      "insert into md (id, recherche) values (1, 'A')"});
        openClinic();
        context.Button3Click = [this] { ++transfers; };
        context.saveBetaFlag = [this](bool direct) { betaFlags.push_back(direct); };
        view.countdownRunning = true;
        view.startEnabled = true;
    }

    void run() { runExchange(context, clock); }

    std::vector<std::string> log(std::initializer_list<std::vector<std::string>> parts) const {
        std::vector<std::string> all;
        for (const auto& part : parts)
            all.insert(all.end(), part.begin(), part.end());
        return all;
    }

    static LoopbackHttpServer::Handler failWith(int status) {
        return [status](const RecordedRequest&) { return LoopbackReply::text("down", status); };
    }

    Clock clock = [] { return DateTime{2004, 5, 20, 8, 30, 5}; };
    const std::string caption = view.windowCaption;
    const std::vector<std::string> endOfRun = {fr("Récupération de la liste des mises à jour..."),
                                               fr("Tous vos fichiers sont à date!")};
    // Every pass of the exchange saves the beta flag once: the passes after the first are the
    // repetitions of the run.
    int repeatedRuns() const { return static_cast<int>(betaFlags.size()) - 1; }
    int transfers = 0;
    std::vector<bool> betaFlags;
    LoopbackHttpServer office{"127.0.0.1", 18080};
    LoopbackHttpServer internal{"127.0.0.2", 18080};
    LoopbackHttpServer secondPublic{"127.0.0.3", 18080};
};
} // namespace

TEST(ReportAddress, HostThenTrimmedClientCode) {
    EXPECT_EQ(reportAddress("localhost:18080", "C1234     "), "http://localhost:18080/C1234.maj");
    EXPECT_EQ(reportAddress("127.0.0.2:18080", " NOUVEAU  "), "http://127.0.0.2:18080/NOUVEAU.maj");
    // A release's host value may name its scheme: https:// has the server's certificate checked.
    EXPECT_EQ(reportAddress("https://maj.vendor.example", "C1234"), "https://maj.vendor.example/C1234.maj");
    EXPECT_EQ(reportAddress("http://127.0.0.3:8080", "C1234"), "http://127.0.0.3:8080/C1234.maj");
    EXPECT_EQ(proxyCaptionSuffix("", 0), "  proxy::0");
    EXPECT_EQ(proxyCaptionSuffix("proxy.local", 3128), "  proxy:proxy.local:3128");
    EXPECT_EQ(attempt(1), fr("Tentative de connection à ") + hosts::kOfficeServer + " ");
    EXPECT_EQ(attempt(2),
              fr("Tentative de connection à ") + hosts::kVendorShortName + " " + hosts::kInternalAddress);
    EXPECT_EQ(attempt(3),
              fr("Tentative de connection à ") + hosts::kVendorShortName + " " + hosts::kSecondPublicAddress);
    EXPECT_EQ(unreachableServiceText(),
              fr("Impossible de communiquer avec Vantorix !\r Vérifier votre connection "
                 "internet et réssayer plus tard!"));
}

TEST_F(ConversationFixture, TheReportIsPostedToTheOfficeServerAsHttp10) {
    office.serve("/C1234.maj", LoopbackReply::text(kReply));
    run();

    ASSERT_EQ(office.requestCount(), 1u);
    const RecordedRequest request = office.lastRequest();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, "/C1234.maj");
    EXPECT_EQ(request.version, "HTTP/1.0");
    EXPECT_EQ(request.header("Content-Type"), "text/html");
    EXPECT_EQ(request.header("Accept"), "text/html, */*");
    EXPECT_EQ(request.header("User-Agent"), "Mozilla/3.0 (compatible; Indy Library)");
    EXPECT_EQ(request.header("Content-Length"), std::to_string(kBody.size()));
    EXPECT_EQ(request.body, kBody);
    // The build without a vendor key asks for no signature.
    EXPECT_FALSE(request.hasHeader("X-Halvio-Nonce"));
    EXPECT_EQ(internal.requestCount() + secondPublic.requestCount(), 0u);

    EXPECT_EQ(view.log, log({{attempt(1)}, endOfRun}));
    EXPECT_EQ(view.windowCaption, caption + "  proxy::0");
    EXPECT_FALSE(view.startEnabled);
    EXPECT_FALSE(view.countdownRunning);
    EXPECT_EQ(betaFlags, std::vector<bool>{true});
    EXPECT_TRUE(view.closeTimerStarted);
    EXPECT_EQ(Trimmed(clinicValue("select nom from setup")), "Parc");
    EXPECT_EQ(clinicValue("select maj from setup"), "2004.05.20 08:30:05");
}

TEST_F(ConversationFixture, A404PassesToTheNextEndpointUnread) {
    office.serve(
        "/C1234.maj",
        LoopbackReply::text("nom=From 404|escompte=|ID=404\r\n\r\nnom=P|dates=2009.01.01|taille=1\r\n", 404));
    internal.serve("/C1234.maj", LoopbackReply::text(kReply));
    run();

    EXPECT_EQ(view.log, log({{attempt(1), attempt(2)}, endOfRun}));
    EXPECT_EQ(secondPublic.requestCount(), 0u);
    EXPECT_EQ(internal.lastRequest().body, kBody) << "each attempt sends the whole report";
    EXPECT_EQ(Trimmed(clinicValue("select nom from setup")), "Parc");
    EXPECT_EQ(model.tmem.rowCount(), 0u);
    EXPECT_EQ(transfers, 0);
}

TEST_F(ConversationFixture, ARedirectionIsFollowedWithinTheSameAttempt) {
    office.serve("/C1234.maj", LoopbackReply::redirect("http://127.0.0.3:18080/moved.maj"));
    secondPublic.serve("/moved.maj", LoopbackReply::text(kReply));
    run();

    EXPECT_EQ(view.log, log({{attempt(1)}, endOfRun}));
    EXPECT_EQ(secondPublic.requestCount(), 1u);
    EXPECT_EQ(internal.requestCount(), 0u);
    EXPECT_EQ(Trimmed(clinicValue("select nom from setup")), "Parc");
}

TEST_F(ConversationFixture, WithoutProxyThreeFailuresRepeatTheRunOnceThenTheNotice) {
    office.handleOthers(failWith(503));
    internal.handleOthers(failWith(503));
    secondPublic.handleOthers(failWith(502));
    run();

    EXPECT_EQ(view.log, log({attempts123(), {fr("Désactivation du proxy")}, attempts123()}));
    EXPECT_EQ(repeatedRuns(), 1);
    EXPECT_EQ(view.windowCaption, caption + "  proxy::0" + "  proxy::0");
    for (const LoopbackHttpServer* server : {&office, &internal, &secondPublic})
        EXPECT_EQ(server->requestCount(), 2u);
    ASSERT_EQ(view.dialogs.size(), 1u);
    EXPECT_EQ(view.dialogs[0].kind, "information");
    EXPECT_EQ(view.dialogs[0].text, unreachableServiceText());
    EXPECT_EQ(view.dialogs[0].details, serviceDownDetails(502));
    EXPECT_TRUE(view.closed);
    EXPECT_TRUE(view.checks[CheckBoxId::NoProxy]);
    EXPECT_FALSE(view.closeTimerStarted);
    EXPECT_EQ(clinicValue("select maj from setup"), "<null>");
}

TEST_F(ConversationFixture, AProxyThatLetsNothingThroughIsDroppedForTheRepeatedRun) {
    LoopbackHttpServer proxy;
    proxy.handleOthers(failWith(502));
    http.setProxy("127.0.0.1", proxy.port());
    office.handleOthers(failWith(503));
    internal.serve("/C1234.maj", LoopbackReply::text(kReply));
    run();

    std::vector<std::string> targets;
    for (const RecordedRequest& request : proxy.requests())
        targets.push_back(request.target);
    EXPECT_EQ(targets, (std::vector<std::string>{"http://localhost:18080/C1234.maj",
                                                 "http://127.0.0.2:18080/C1234.maj",
                                                 "http://127.0.0.3:18080/C1234.maj"}));
    EXPECT_EQ(view.log,
              log({attempts123(), {fr("Désactivation du proxy"), attempt(1), attempt(2)}, endOfRun}));
    EXPECT_EQ(view.windowCaption,
              caption + "  proxy:127.0.0.1:" + std::to_string(proxy.port()) + "  proxy::0");
    EXPECT_EQ(http.proxyHost(), "");
    EXPECT_EQ(http.proxyPort(), 0);
    EXPECT_EQ(office.requestCount(), 1u);
    EXPECT_EQ(secondPublic.requestCount(), 0u);
    EXPECT_TRUE(view.dialogs.empty());
    EXPECT_FALSE(view.closed);
    EXPECT_EQ(betaFlags.size(), 2u);
}

TEST_F(ConversationFixture, WithCheckBox3TickedTheProxyIsClearedAndThreeFailuresGiveTheNotice) {
    LoopbackHttpServer proxy;
    http.setProxy("127.0.0.1", proxy.port());
    view.checks[CheckBoxId::NoProxy] = true;
    office.handleOthers(failWith(503));
    internal.handleOthers(failWith(503));
    secondPublic.handleOthers(failWith(503));
    run();

    EXPECT_EQ(proxy.requestCount(), 0u);
    EXPECT_EQ(view.log, attempts123());
    EXPECT_EQ(repeatedRuns(), 0);
    EXPECT_EQ(view.windowCaption, caption + "  proxy::0");
    ASSERT_EQ(view.dialogs.size(), 1u);
    EXPECT_EQ(view.dialogs[0].text, unreachableServiceText());
    EXPECT_EQ(view.dialogs[0].details, serviceDownDetails(503));
    EXPECT_TRUE(view.closed);
}

TEST_F(ConversationFixture, ACookieSetByTheServiceComesBackOnTheNextRequest) {
    std::atomic<int> calls = 0;
    office.handle("/C1234.maj", [&](const RecordedRequest&) {
        if (++calls == 1) {
            LoopbackReply reply = LoopbackReply::text("busy", 503);
            reply.headers.emplace_back("Set-Cookie", "maj=abc; Path=/");
            return reply;
        }
        return LoopbackReply::text(kReply);
    });
    internal.handleOthers(failWith(503));
    secondPublic.handleOthers(failWith(503));
    run();

    const auto requests = office.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_FALSE(requests[0].hasHeader("Cookie"));
    EXPECT_EQ(requests[1].header("Cookie"), "maj=abc");
    EXPECT_EQ(view.log, log({attempts123(), {fr("Désactivation du proxy"), attempt(1)}, endOfRun}));
    EXPECT_TRUE(view.dialogs.empty());
}

namespace {
// A peer that takes the connection and then sends nothing (or stops after the headers and a few
// bytes) until long after the client's limits; the server lets go of it when it stops.
LoopbackReply stalledReply(bool afterTheHeaders) {
    LoopbackReply reply = LoopbackReply::text(std::string(50000, 'x'));
    reply.gate = std::make_shared<test::LoopbackGate>();
    reply.holdHeaders = !afterTheHeaders;
    reply.holdAfter = 1000;
    reply.holdAtMost = std::chrono::seconds(60);
    return reply;
}

LoopbackHttpServer::Handler stall(bool afterTheHeaders) {
    return [afterTheHeaders](const RecordedRequest&) { return stalledReply(afterTheHeaders); };
}
} // namespace

TEST_F(ConversationFixture, StalledEndpointsPassToTheNextOneLikeBrokenConnections) {
    office.handleOthers(stall(false));
    internal.handleOthers(stall(true));
    secondPublic.serve("/C1234.maj", LoopbackReply::text(kReply));
    run();

    EXPECT_EQ(view.log, log({attempts123(), endOfRun}));
    for (const LoopbackHttpServer* server : {&office, &internal, &secondPublic})
        EXPECT_EQ(server->requestCount(), 1u);
    EXPECT_TRUE(view.dialogs.empty());
    EXPECT_EQ(Trimmed(clinicValue("select nom from setup")), "Parc");
    EXPECT_EQ(clinicValue("select maj from setup"), "2004.05.20 08:30:05");
}

TEST_F(ConversationFixture, AStalledProxyIsDroppedForTheRepeatedRun) {
    LoopbackHttpServer proxy;
    proxy.handleOthers(stall(false));
    http.setProxy("127.0.0.1", proxy.port());
    office.serve("/C1234.maj", LoopbackReply::text(kReply));
    run();

    EXPECT_EQ(proxy.requestCount(), 3u);
    EXPECT_EQ(view.log, log({attempts123(), {fr("Désactivation du proxy"), attempt(1)}, endOfRun}));
    EXPECT_EQ(repeatedRuns(), 1);
    EXPECT_EQ(office.requestCount(), 1u);
    EXPECT_TRUE(view.dialogs.empty());
    EXPECT_FALSE(view.closed);
    EXPECT_EQ(Trimmed(clinicValue("select nom from setup")), "Parc");
}
