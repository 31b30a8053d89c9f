// What the client puts on the wire, and the bytes it hands back.
#include "ByteBuffer.h"
#include "HttpClient.h"
#include "LoopbackHttpServer.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

using namespace halvio::platform;
using namespace halvio::test;

namespace {

class HttpWireForm : public testing::Test {
protected:
    LoopbackHttpServer server;
    HttpClient client;
    ByteBuffer reply;
};

void expectClientHeaders(const RecordedRequest& request) {
    EXPECT_EQ(request.version, "HTTP/1.0");
    EXPECT_EQ(request.header("Accept"), "text/html, */*");
    EXPECT_EQ(request.header("User-Agent"), "Mozilla/3.0 (compatible; Indy Library)");
}

TEST_F(HttpWireForm, PostSendsTheBodyExactlyAsHttp10) {
    const std::string body = allByteValues(3) + "fin\r\n";
    server.serve("/C1234.maj", LoopbackReply::text("OK reply"));

    client.post(server.url("/C1234.maj"), body, reply);

    EXPECT_EQ(reply.view(), "OK reply");
    const RecordedRequest request = server.lastRequest();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, "/C1234.maj");
    expectClientHeaders(request);
    EXPECT_EQ(request.header("Content-Type"), "text/html");
    EXPECT_EQ(request.header("Content-Length"), std::to_string(body.size()));
    EXPECT_FALSE(request.hasHeader("Expect"));
    EXPECT_TRUE(request.body == body) << "body bytes differ";
}

TEST_F(HttpWireForm, PostOfAnEmptyBodyAnnouncesZero) {
    server.serve("/NOUVEAU.maj", LoopbackReply::text("x"));
    client.post(server.url("/NOUVEAU.maj"), "", reply);
    const RecordedRequest request = server.lastRequest();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.header("Content-Length"), "0");
    EXPECT_EQ(request.body, "");
}

TEST_F(HttpWireForm, GetHandsBackEveryByteOfALargeBody) {
    const std::string package = allByteValues(12 * 1024); // 3 MiB, many pieces
    server.serve("/kliso/update/sql_fix.zip", LoopbackReply::text(package));

    client.get(server.url("/kliso/update/sql_fix.zip"), reply);

    ASSERT_EQ(reply.size(), package.size());
    EXPECT_TRUE(reply.view() == package) << "body bytes differ";
    const RecordedRequest request = server.lastRequest();
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.target, "/kliso/update/sql_fix.zip");
    expectClientHeaders(request);
    EXPECT_EQ(request.body, "");
}

TEST_F(HttpWireForm, BodyWithoutAnnouncedLengthEndsWithTheConnection) {
    const std::string package = allByteValues(5 * 1024 + 3);
    LoopbackReply unannounced = LoopbackReply::text(package);
    unannounced.announceLength = false;
    server.serve("/kliso/update/a.zip", unannounced);

    client.get(server.url("/kliso/update/a.zip"), reply);

    EXPECT_TRUE(reply.view() == package) << "body bytes differ";
}

TEST_F(HttpWireForm, EachRequestReplacesWhatTheBufferHeld) {
    server.serve("/a", LoopbackReply::text("first reply, the longer one"));
    server.serve("/b", LoopbackReply::text("second"));
    client.get(server.url("/a"), reply);
    client.post(server.url("/b"), "report", reply);
    EXPECT_EQ(reply.view(), "second");
}

// Sets a variable for the length of a test and puts the old value back.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::string& value) : m_name(name) {
        if (const char* old = std::getenv(name))
            m_old = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedVariable() {
        if (m_old)
            ::setenv(m_name, m_old->c_str(), 1);
        else
            ::unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

class HttpThroughProxy : public HttpWireForm {
protected:
    LoopbackHttpServer proxy{"127.0.0.1"};
};

TEST_F(HttpThroughProxy, RequestGoesToTheProxyWithTheWholeAddress) {
    // The name is never resolved by the client: only the proxy sees it.
    proxy.serve("http://update.invalid/C1234.maj", LoopbackReply::text("via proxy"));
    client.setProxy("127.0.0.1", proxy.port());

    client.post("http://update.invalid/C1234.maj", "report", reply);

    EXPECT_EQ(reply.view(), "via proxy");
    const RecordedRequest request = proxy.lastRequest();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, "http://update.invalid/C1234.maj");
    EXPECT_EQ(request.version, "HTTP/1.0");
    EXPECT_EQ(request.body, "report");
}

TEST_F(HttpThroughProxy, ClearedProxyGoesDirect) {
    server.serve("/C1234.maj", LoopbackReply::text("direct"));
    client.setProxy("127.0.0.1", proxy.port());
    client.setProxy("", 0);
    client.post(server.url("/C1234.maj"), "report", reply);
    EXPECT_EQ(reply.view(), "direct");
    EXPECT_EQ(proxy.requestCount(), 0u);
}

TEST_F(HttpThroughProxy, EnvironmentProxyVariablesAreIgnored) {
    const std::string proxyUrl = "http://" + proxy.hostAndPort() + "/";
    ScopedVariable lower("http_proxy", proxyUrl);
    ScopedVariable upper("HTTP_PROXY", proxyUrl);
    ScopedVariable all("ALL_PROXY", proxyUrl);
    server.serve("/C1234.maj", LoopbackReply::text("direct"));

    client.post(server.url("/C1234.maj"), "report", reply);

    EXPECT_EQ(reply.view(), "direct");
    EXPECT_EQ(proxy.requestCount(), 0u);
}

TEST_F(HttpThroughProxy, NoProxyVariableDoesNotBypassTheProxy) {
    ScopedVariable lower("no_proxy", "*");
    ScopedVariable upper("NO_PROXY", "*");
    proxy.handleOthers([](const RecordedRequest&) { return LoopbackReply::text("via proxy"); });
    client.setProxy("127.0.0.1", proxy.port());

    client.get(server.url("/kliso/update/a.zip"), reply);

    EXPECT_EQ(reply.view(), "via proxy");
    EXPECT_EQ(server.requestCount(), 0u);
}

} // namespace
