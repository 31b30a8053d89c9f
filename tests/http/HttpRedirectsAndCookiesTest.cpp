// Redirections within one call, and the cookies a client keeps between its requests.
#include "ByteBuffer.h"
#include "HttpClient.h"
#include "HttpError.h"
#include "LoopbackHttpServer.h"

#include <gtest/gtest.h>

using namespace halvio::platform;
using namespace halvio::test;

namespace {

class HttpRedirects : public testing::Test {
protected:
    LoopbackHttpServer server;
    LoopbackHttpServer otherHost{"127.0.0.2"};
    ByteBuffer reply;
};

TEST_F(HttpRedirects, PostIsFollowedToTheNewAddressWithItsBody) {
    server.serve("/C1.maj", LoopbackReply::redirect(otherHost.url("/moved/C1.maj")));
    otherHost.serve("/moved/C1.maj", LoopbackReply::text("package list"));
    HttpClient client;

    client.post(server.url("/C1.maj"), "the report", reply);

    EXPECT_EQ(reply.view(), "package list");
    ASSERT_EQ(otherHost.requestCount(), 1u);
    const RecordedRequest moved = otherHost.lastRequest();
    EXPECT_EQ(moved.method, "POST");
    EXPECT_EQ(moved.body, "the report");
}

TEST_F(HttpRedirects, SeeOtherTurnsThePostIntoAGet) {
    server.serve("/C1.maj", LoopbackReply::redirect("/result", 303));
    server.serve("/result", LoopbackReply::text("done"));
    HttpClient client;
    client.post(server.url("/C1.maj"), "the report", reply);
    EXPECT_EQ(reply.view(), "done");
    EXPECT_EQ(server.lastRequest().method, "GET");
}

TEST_F(HttpRedirects, GetFollowsARelativeLocation) {
    server.serve("/kliso/update/a.zip", LoopbackReply::redirect("/store/a.zip", 301));
    server.serve("/store/a.zip", LoopbackReply::text("zip bytes"));
    HttpClient client;
    client.get(server.url("/kliso/update/a.zip"), reply);
    EXPECT_EQ(reply.view(), "zip bytes");
}

TEST_F(HttpRedirects, ClientWithoutRedirectionsStopsAtTheFirstReply) {
    server.serve("/MAJ", LoopbackReply::redirect(otherHost.url("/MAJ")));
    HttpClient client(HttpClient::Options{.followRedirects = false});

    EXPECT_THROW(client.get(server.url("/MAJ"), reply), HttpError);

    EXPECT_EQ(otherHost.requestCount(), 0u);
    EXPECT_TRUE(reply.empty());
}

TEST_F(HttpRedirects, EndlessRedirectionFails) {
    server.serve("/loop", LoopbackReply::redirect("/loop"));
    HttpClient client;
    EXPECT_THROW(client.get(server.url("/loop"), reply), HttpError);
    EXPECT_LT(server.requestCount(), 100u);
}

class HttpCookies : public testing::Test {
protected:
    HttpCookies() {
        LoopbackReply withCookie = LoopbackReply::text("package list");
        withCookie.headers.emplace_back("Set-Cookie", "SESSION=abc123; Path=/");
        server.serve("/C1.maj", withCookie);
        server.serve("/kliso/update/a.zip", LoopbackReply::text("zip"));
    }
    LoopbackHttpServer server;
    ByteBuffer reply;
};

TEST_F(HttpCookies, ACookieComesBackOnTheNextRequests) {
    HttpClient client;
    client.post(server.url("/C1.maj"), "report", reply);
    EXPECT_FALSE(server.lastRequest().hasHeader("Cookie"));

    client.get(server.url("/kliso/update/a.zip"), reply);
    EXPECT_EQ(server.lastRequest().header("Cookie"), "SESSION=abc123");
    client.get(server.url("/kliso/update/a.zip"), reply);
    EXPECT_EQ(server.lastRequest().header("Cookie"), "SESSION=abc123");
}

TEST_F(HttpCookies, EachClientKeepsItsOwnCookies) {
    HttpClient updateService;
    HttpClient workstations(HttpClient::Options{.followRedirects = false});
    updateService.post(server.url("/C1.maj"), "report", reply);
    workstations.get(server.url("/kliso/update/a.zip"), reply);
    EXPECT_FALSE(server.lastRequest().hasHeader("Cookie"));
}

} // namespace
