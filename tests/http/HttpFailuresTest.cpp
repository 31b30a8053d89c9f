// Every way a request fails ends in an error with a message, and leaves nothing in the reply.
#include "ByteBuffer.h"
#include "HttpClient.h"
#include "HttpError.h"
#include "LoopbackHttpServer.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

using namespace halvio::platform;
using namespace halvio::test;

namespace {

class HttpFailures : public testing::Test {
protected:
    // The reply holds something beforehand: a failure must not leave it there either.
    HttpFailures() { reply.append("stale bytes of an earlier reply"); }

    std::string failureOf(const std::function<void()>& request) {
        try {
            request();
        } catch (const HttpError& error) {
            return error.what();
        }
        ADD_FAILURE() << "the request did not fail";
        return {};
    }

    LoopbackHttpServer server;
    HttpClient client;
    ByteBuffer reply;
};

TEST_F(HttpFailures, ErrorStatusGivesTheStatusLineAndNoBody) {
    for (const int status : {404, 500, 301}) {
        SCOPED_TRACE(status);
        server.serve("/C1.maj", LoopbackReply::text("<html>error page</html>", status));
        reply.append("stale");
        const std::string message = failureOf([&] { client.post(server.url("/C1.maj"), "report", reply); });
        EXPECT_EQ(message.rfind("HTTP/1.", 0), 0u) << message;
        EXPECT_NE(message.find(" " + std::to_string(status) + " "), std::string::npos) << message;
        EXPECT_TRUE(reply.empty());
    }
}

TEST_F(HttpFailures, ErrorStatusOfAGetToo) {
    const std::string message = failureOf([&] { client.get(server.url("/kliso/update/absent.zip"), reply); });
    EXPECT_EQ(message, "HTTP/1.1 404 Not Found");
    EXPECT_TRUE(reply.empty());
}

TEST_F(HttpFailures, RefusedConnection) {
    const std::string url =
        "http://127.0.0.1:" + std::to_string(LoopbackHttpServer::closedPort()) + "/C1.maj";
    const std::string message = failureOf([&] { client.post(url, "report", reply); });
    EXPECT_FALSE(message.empty());
    EXPECT_TRUE(reply.empty());
}

TEST_F(HttpFailures, ConnectionBrokenInTheMiddleOfTheBody) {
    LoopbackReply broken = LoopbackReply::text(std::string(200000, 'z'));
    broken.cutAfter = 70000;
    server.serve("/kliso/update/a.zip", broken);
    const std::string message = failureOf([&] { client.get(server.url("/kliso/update/a.zip"), reply); });
    EXPECT_FALSE(message.empty());
    EXPECT_TRUE(reply.empty());
}

TEST_F(HttpFailures, UnresolvableName) {
    // A label longer than 63 bytes cannot be put into a DNS query: the resolver fails at once
    // without sending anything off the machine.
    const std::string host = std::string(64, 'a') + ".invalid";
    const std::string message =
        failureOf([&] { client.post("http://" + host + "/C1.maj", "report", reply); });
    EXPECT_NE(message.find(host), std::string::npos) << message;
    EXPECT_TRUE(reply.empty());
}

TEST_F(HttpFailures, ProxyThatRefusesFailsTheRequest) {
    server.serve("/C1.maj", LoopbackReply::text("direct"));
    client.setProxy("127.0.0.1", LoopbackHttpServer::closedPort());
    failureOf([&] { client.post(server.url("/C1.maj"), "report", reply); });
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(HttpFailures, ClientWorksAgainAfterAFailure) {
    server.serve("/ok", LoopbackReply::text("fine"));
    failureOf([&] { client.get(server.url("/absent"), reply); });
    client.get(server.url("/ok"), reply);
    EXPECT_EQ(reply.view(), "fine");
}

TEST_F(HttpFailures, AnEventThatThrowsAbandonsTheRequestWithItsOwnError) {
    server.serve("/kliso/update/a.zip", LoopbackReply::text(std::string(100000, 'p')));
    client.setEvents({.workBegin = {},
                      .work = [](std::int64_t) { throw std::runtime_error("stopped by the window"); },
                      .status = {}});
    try {
        client.get(server.url("/kliso/update/a.zip"), reply);
        FAIL() << "the request did not fail";
    } catch (const HttpError&) {
        FAIL() << "the event's error was replaced";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "stopped by the window");
    }
    EXPECT_TRUE(reply.empty());
}

// A reply body is held in memory: its length is bounded, and the room taken for it follows the bytes
// that arrive, never what a server merely announces.
TEST_F(HttpFailures, BodyPastTheBoundIsRefusedAndAnAnnouncedLengthIsOnlyAClaim) {
    constexpr std::size_t kBound = std::size_t{1} << 20;
    HttpClient bounded(HttpClient::Options{true, kBound});
    struct Case {
        const char* what;
        HttpClient& client;
        LoopbackReply reply;
        const char* reason;
    };
    LoopbackReply endless = LoopbackReply::text(std::string(3 * kBound, 'e'));
    endless.announceLength = false;
    LoopbackReply claimsTooMuch = LoopbackReply::text(std::string(100, 'c'));
    claimsTooMuch.claimedLength = kBound + 1;
    LoopbackReply claimsTwoGibibytes = LoopbackReply::text(std::string(100, 'c'));
    claimsTwoGibibytes.claimedLength = std::size_t{2} << 30;
    LoopbackReply claimsLessThanTheBound = LoopbackReply::text(std::string(100, 'c'));
    claimsLessThanTheBound.claimedLength = kMaxReplySize - 1;
    const std::vector<Case> cases = {
        {"a body without length that goes on past the bound", bounded, endless,
         "trop grande : plus de 1048576"},
        {"an announced length past the bound", bounded, claimsTooMuch, "trop grande : 1048577 octets"},
        {"2 GiB announced to the default client", client, claimsTwoGibibytes,
         "trop grande : 2147483648 octets"},
        {"a length within the bound, never sent", client, claimsLessThanTheBound, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        server.serve("/kliso/update/a.zip", c.reply);
        std::size_t roomWhenTheBodyBegan = 0;
        c.client.setEvents({.workBegin = [&](std::int64_t) { roomWhenTheBodyBegan = reply.capacity(); },
                            .work = {},
                            .status = {}});
        reply.append("stale");
        const std::string message =
            failureOf([&] { c.client.get(server.url("/kliso/update/a.zip"), reply); });
        EXPECT_NE(message.find(c.reason), std::string::npos) << message;
        EXPECT_LE(roomWhenTheBodyBegan, kMaxRoomAhead);
        EXPECT_TRUE(reply.empty());
    }
}

} // namespace

// A package is written to its file as it arrives: only bytes of the final 2xx reply's body may reach
// the function that writes them, joined they are the body, and whatever the function throws ends
// the request with its own error.
TEST_F(HttpFailures, BodyPiecesAreOnlyTheFinalReplysBodyAndTheirFunctionCanAbandonTheRequest) {
    const std::string package = std::string(600000, 'z') + "end";
    LoopbackReply redirected = LoopbackReply::redirect("/store/a.zip", 302);
    redirected.body = "<html>moved: the redirection's own body</html>";
    LoopbackReply cut = LoopbackReply::text(package);
    cut.cutAfter = 200000;
    struct Case {
        const char* what;
        LoopbackReply reply;
        bool succeeds;
        const char* thrownByPieces; // or null
    };
    const std::vector<Case> cases = {
        {"a whole body", LoopbackReply::text(package), true, nullptr},
        {"a redirection with a body of its own", redirected, true, nullptr},
        {"an error page", LoopbackReply::text("<html>not here</html>", 404), false, nullptr},
        {"a connection cut in the middle of the body", cut, false, nullptr},
        {"a full disk met by the pieces' function", LoopbackReply::text(package), false, "disque plein"},
    };
    server.serve("/store/a.zip", LoopbackReply::text(package));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        server.serve("/kliso/update/a.zip", c.reply);
        std::string handed;
        std::size_t pieces = 0;
        bool thrown = false;
        const auto piece = [&](std::string_view bytes) {
            ++pieces;
            EXPECT_FALSE(thrown) << "a piece came after the function threw";
            if (c.thrownByPieces && handed.size() > 100000) {
                thrown = true;
                throw std::runtime_error(c.thrownByPieces);
            }
            handed += bytes;
        };
        try {
            client.get(server.url("/kliso/update/a.zip"), piece);
            EXPECT_TRUE(c.succeeds) << "the request did not fail";
        } catch (const HttpError& error) {
            EXPECT_FALSE(c.succeeds) << error.what();
            EXPECT_EQ(c.thrownByPieces, nullptr) << "the function's error was replaced: " << error.what();
        } catch (const std::runtime_error& error) {
            ASSERT_NE(c.thrownByPieces, nullptr) << error.what();
            EXPECT_STREQ(error.what(), c.thrownByPieces);
        }
        if (c.succeeds) {
            EXPECT_TRUE(handed == package) << "the pieces are not the body";
            EXPECT_GT(pieces, 1u);
        } else {
            // What was handed before a failure is the start of the final body, never another reply's.
            EXPECT_EQ(package.compare(0, handed.size(), handed), 0);
            EXPECT_LT(handed.size(), package.size());
        }
    }
}
