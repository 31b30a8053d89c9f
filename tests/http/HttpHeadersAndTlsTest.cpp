// The headers a request may add and the reply headers it hands back (the signed exchange's nonce
// and signature travel there), and an https:// address, whose server must prove itself with a
// certificate that the system's store trusts.
#include "ByteBuffer.h"
#include "HttpClient.h"
#include "HttpError.h"
#include "LoopbackHttpServer.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>

using namespace halvio::platform;
using namespace halvio::test;

namespace {

TEST(HttpHeaders, MoreHeadersGoOutAndTheFinalReplysHeadersComeBack) {
    LoopbackHttpServer server;
    LoopbackReply redirect = LoopbackReply::redirect(server.url("/final.maj"));
    redirect.headers.emplace_back("X-Halvio-Signature", "of the redirection");
    server.serve("/first.maj", redirect);
    LoopbackReply last = LoopbackReply::text("reply body");
    last.headers.emplace_back("X-Halvio-Signature", "  c2lnbmF0dXJl  ");
    last.headers.emplace_back("X-Halvio-Packages", "bWFuaWZlc3Q=");
    server.serve("/final.maj", last);

    HttpClient client;
    ByteBuffer reply;
    HttpHeaders headers{{"stale", "value"}};
    client.post(server.url("/first.maj"), "report", reply, {"X-Halvio-Nonce: bm9uY2U="}, headers);

    EXPECT_EQ(reply.view(), "reply body");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const RecordedRequest& request : requests) {
        EXPECT_EQ(request.header("X-Halvio-Nonce"), "bm9uY2U=") << request.path;
        EXPECT_EQ(request.header("Accept"), "text/html, */*");
        EXPECT_EQ(request.header("Content-Type"), "text/html");
    }
    EXPECT_EQ(singleHeader(headers, "x-halvio-signature"), "c2lnbmF0dXJl");
    EXPECT_EQ(singleHeader(headers, "X-Halvio-Packages"), "bWFuaWZlc3Q=");
    EXPECT_FALSE(singleHeader(headers, "stale"));

    // The same client without more headers sends none of them again.
    client.post(server.url("/final.maj"), "report", reply);
    EXPECT_FALSE(server.lastRequest().hasHeader("X-Halvio-Nonce"));
}

TEST(HttpHeaders, AHeaderRepeatedOrAbsentHasNoSingleValue) {
    const HttpHeaders headers{{"A", "1"}, {"B", "2"}, {"b", "3"}};
    EXPECT_EQ(singleHeader(headers, "a"), "1");
    EXPECT_FALSE(singleHeader(headers, "B"));
    EXPECT_FALSE(singleHeader(headers, "C"));
}

// A TLS server on loopback with a certificate that it signed itself for 127.0.0.1.
class SelfSignedServer {
public:
    SelfSignedServer() {
        const QString key = m_dir.filePath("key.pem");
        const QString certificate = m_dir.filePath("certificate.pem");
        QProcess openssl;
        openssl.start("openssl", {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                                  "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
                                  "subjectAltName=IP:127.0.0.1", "-keyout", key, "-out", certificate});
        if (!openssl.waitForFinished(60000) || openssl.exitCode() != 0)
            throw std::runtime_error("openssl could not make the test certificate");
        m_server = std::make_unique<httplib::SSLServer>(certificate.toStdString().c_str(),
                                                        key.toStdString().c_str());
        m_server->Get("/.*", [this](const httplib::Request&, httplib::Response& response) {
            ++m_requests;
            response.set_content("served", "text/html");
        });
        m_port = m_server->bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server->listen_after_bind(); });
        while (!m_server->is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ~SelfSignedServer() {
        m_server->stop();
        m_thread.join();
    }
    int port() const { return m_port; }
    int requests() const { return m_requests; }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<httplib::SSLServer> m_server;
    std::thread m_thread;
    int m_port = 0;
    std::atomic<int> m_requests{0};
};

TEST(HttpTls, AServerWhoseCertificateTheSystemDoesNotTrustIsRefusedBeforeAnyRequest) {
    SelfSignedServer server;
    ASSERT_TRUE(server.port() > 0);
    HttpClient client;
    ByteBuffer reply;
    const std::string url = "https://127.0.0.1:" + std::to_string(server.port()) + "/kliso/update/halvio.zip";
    try {
        client.get(url, reply);
        FAIL() << "the self-signed server was trusted";
    } catch (const HttpError& error) {
        EXPECT_NE(std::string(error.what()).find("certificate"), std::string::npos) << error.what();
    }
    EXPECT_EQ(reply.size(), 0u);
    EXPECT_EQ(server.requests(), 0);
}

} // namespace
