// A peer that never connects, or connects and then says nothing, fails the request like a broken
// connection once the client's time limits pass; a slow peer that keeps sending does not.
#include "ByteBuffer.h"
#include "HttpClient.h"
#include "HttpError.h"
#include "LoopbackHttpServer.h"
#include "Windows1252.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

using namespace halvio::platform;
using namespace halvio::test;
using namespace std::chrono_literals;

namespace {

const std::string kStalled = halvio::fr("Connexion abandonnée : le serveur ne répond plus.");

// Short limits so that each case takes about a second.
HttpClient::Options shortLimits() {
    HttpClient::Options options;
    options.connectTimeLimit = 500ms;
    options.stallLimit = 1s;
    return options;
}

struct StalledPeer {
    const char* name;
    bool post;
    bool holdHeaders; // nothing at all is sent, or the headers and the first bytes
    HttpClient::Options limits;
    std::string message; // in what the user is told
};

void PrintTo(const StalledPeer& peer, std::ostream* os) {
    *os << peer.name;
}

class HttpStalledPeer : public testing::TestWithParam<StalledPeer> {};

TEST_P(HttpStalledPeer, FailsAsABrokenConnectionAndLeavesNoReply) {
    const StalledPeer& peer = GetParam();
    LoopbackHttpServer server;
    LoopbackReply stalled = LoopbackReply::text(std::string(100000, 's'));
    stalled.gate = std::make_shared<LoopbackGate>();
    stalled.holdHeaders = peer.holdHeaders;
    stalled.holdAfter = 30000;
    stalled.holdAtMost = 30s; // long after every limit here: a client without limits gets the reply
    server.serve("/C1.maj", stalled);
    server.serve("/next", LoopbackReply::text("next reply"));
    HttpClient client(peer.limits);
    ByteBuffer reply;
    reply.append("stale bytes of an earlier reply");

    try {
        if (peer.post)
            client.post(server.url("/C1.maj"), "report", reply);
        else
            client.get(server.url("/C1.maj"), reply);
        FAIL() << "the request did not fail";
    } catch (const HttpError& error) {
        EXPECT_NE(std::string(error.what()).find(peer.message), std::string::npos) << error.what();
    }
    EXPECT_TRUE(reply.empty());
    EXPECT_EQ(server.requestCount(), 1u);

    client.get(server.url("/next"), reply);
    EXPECT_EQ(reply.view(), "next reply") << "the client works again";
}

INSTANTIATE_TEST_SUITE_P(
    TimeLimits, HttpStalledPeer,
    testing::Values(StalledPeer{"PostAcceptedAndNothingSent", true, true, shortLimits(), kStalled},
                    StalledPeer{"GetAcceptedAndNothingSent", false, true, shortLimits(), kStalled},
                    StalledPeer{"GetStalledInTheMiddleOfTheBody", false, false, shortLimits(), kStalled},
                    StalledPeer{"PostStalledInTheMiddleOfTheBody", true, false, shortLimits(), kStalled},
                    StalledPeer{"TotalLimitEndsASilentPeerBeforeTheStallLimit", false, true,
                                HttpClient::Options{.followRedirects = false,
                                                    .connectTimeLimit = 500ms,
                                                    .stallLimit = 60s,
                                                    .totalTimeLimit = 1s},
                                "timed out"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HttpTimeLimits, AConnectionNeitherMadeNorRefusedFailsAtTheConnectLimit) {
    const UnansweredPort port;
    HttpClient client(shortLimits());
    ByteBuffer reply;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_THROW(client.post("http://127.0.0.1:" + std::to_string(port.port()) + "/C1.maj", "report", reply),
                 HttpError);
    // The system gives up on an unanswered connection after about two minutes by itself.
    EXPECT_LT(std::chrono::steady_clock::now() - started, 30s);
    EXPECT_TRUE(reply.empty());
}

TEST(HttpTimeLimits, ASlowPeerThatKeepsSendingIsNotStalled) {
    LoopbackHttpServer server;
    LoopbackReply slow = LoopbackReply::text(std::string(160, 'b'));
    slow.pieceSize = 16;
    slow.pauseBetweenPieces = 300ms; // about 3 s in all, three times the stall limit
    server.serve("/kliso/update/slow.zip", slow);
    HttpClient client(shortLimits());
    ByteBuffer reply;

    client.get(server.url("/kliso/update/slow.zip"), reply);

    EXPECT_EQ(reply.view(), std::string(160, 'b'));
}

} // namespace
