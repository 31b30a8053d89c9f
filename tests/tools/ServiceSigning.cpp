// The reference service's signed replies: a report that carries a nonce is answered with the
// manifest of the offered package files and a signature over the nonce, the body and the manifest;
// any other report gets the reply it always got.
#include "CatalogFixture.h"
#include "Crypto.h"
#include "ServiceTestSupport.h"
#include "SignedReply.h"

#include <gtest/gtest.h>

using namespace halvio::test;
namespace crypto = halvio::platform::crypto;
namespace signedreply = halvio::signedreply;

namespace {

class SignedReplies : public ::testing::Test {
protected:
    SignedReplies() {
        m_catalog.writeClient("C1", "nom=Clinique\r\nescompte=15\r\nID=47\r\n"
                                    "package=SQL_C1|2024.01.10 10:00:00|Script\r\n");
        m_catalog.writePackageList("HALVIO|2024.01.10 10:00:00|Programme\r\n"
                                   "ABSENT|2024.01.10 10:00:00|Sans fichier\r\n"
                                   "SQL_C1|2024.01.10 10:00:00|Aussi pour tous\r\n");
        m_catalog.writePackageFile("halvio.zip", m_halvio);
        m_catalog.writePackageFile("sql_c1.zip", m_script);
    }

    httplib::Result post(const httplib::Headers& headers) {
        auto client = m_service.client();
        return client.Post("/C1.maj", headers, "report", "text/html");
    }

    const crypto::KeyPair m_vendor = crypto::generateKeyPair();
    const std::string m_halvio = noiseBytes((2u << 20) + 3, 7); // more than one read chunk
    const std::string m_script = "PK script";
    CatalogFixture m_catalog;
    RunningService m_service{m_catalog, {{"127.0.0.1", 0}}, m_vendor.privateKey};
};

TEST_F(SignedReplies, ANonceGetsTheManifestAndASignatureOverNonceBodyAndManifest) {
    const std::string nonce = crypto::randomBytes(signedreply::kNonceBytes);
    const auto result = post({{"X-Halvio-Nonce", crypto::toBase64(nonce)}});
    ASSERT_TRUE(result);
    ASSERT_EQ(result->status, 200);
    const auto manifest = crypto::fromBase64(result->get_header_value("X-Halvio-Packages"));
    const auto signature = crypto::fromBase64(result->get_header_value("X-Halvio-Signature"));
    ASSERT_TRUE(manifest && signature);
    EXPECT_TRUE(crypto::verify(*signature, signedreply::signedMessage(nonce, result->body, *manifest),
                               m_vendor.publicKey));
    // A name offered twice is listed once; a missing file is announced empty, as its taille is 0.
    EXPECT_EQ(*manifest, signedreply::manifestText({{"HALVIO", m_halvio.size(), crypto::sha256(m_halvio)},
                                                    {"ABSENT", 0, crypto::sha256("")},
                                                    {"SQL_C1", m_script.size(), crypto::sha256(m_script)}}));
    EXPECT_TRUE(m_service.waitForLogLine(" signed"));
}

TEST_F(SignedReplies, WithoutAWellFormedNonceTheReplyIsTheUnsignedOneByteForByte) {
    const auto plain = post({});
    ASSERT_TRUE(plain);
    EXPECT_FALSE(plain->has_header("X-Halvio-Signature"));
    EXPECT_FALSE(plain->has_header("X-Halvio-Packages"));
    for (const std::string& bad : {std::string("short"), crypto::toBase64(crypto::randomBytes(16)),
                                   crypto::toBase64(crypto::randomBytes(33))}) {
        const auto result = post({{"X-Halvio-Nonce", bad}});
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, 200);
        EXPECT_FALSE(result->has_header("X-Halvio-Signature")) << bad;
        EXPECT_EQ(result->body, plain->body);
    }
    EXPECT_TRUE(m_service.waitForLogLine("unsigned: no nonce"));
    EXPECT_TRUE(m_service.waitForLogLine("unsigned: malformed nonce"));
}

TEST(UnsignedService, ANonceWithoutASigningKeyChangesNothing) {
    CatalogFixture catalog;
    catalog.writeClient("C1", "nom=Clinique\r\nescompte=15\r\nID=47\r\n");
    RunningService service(catalog);
    auto client = service.client();
    const auto result = client.Post(
        "/C1.maj", {{"X-Halvio-Nonce", crypto::toBase64(crypto::randomBytes(signedreply::kNonceBytes))}},
        "report", "text/html");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_FALSE(result->has_header("X-Halvio-Signature"));
}

} // namespace
