// The console over HTTP on loopback: the credentials asked for and checked, the raw report served as
// stored and only for the names the index lists, codes of any bytes routed whole, the list's query
// given to the index as asked.
#include "CatalogFixture.h"
#include "ConsoleAccess.h"
#include "ConsoleFake.h"
#include "ConsoleServer.h"
#include "Crypto.h"
#include "HtmlText.h"
#include "PercentEncoding.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <sys/stat.h>

using namespace halvio::test;
using namespace halvio::tools::console;

namespace {

class ConsoleOnLoopback {
public:
    ConsoleOnLoopback(const FakeConsoleData& data, const CatalogFixture& fixture,
                      std::optional<std::string> credentials = std::nullopt)
        : m_server(data, {{"127.0.0.1", 0}, fixture.catalog(), std::move(credentials), "2026.12.10"}, {}) {
        m_server.start();
    }
    httplib::Client client() const {
        httplib::Client client("127.0.0.1", m_server.boundAddress().port);
        client.set_read_timeout(30, 0);
        return client;
    }

private:
    ConsoleServer m_server;
};

std::string basic(const std::string& userAndPassword) {
    return "Basic " + halvio::platform::crypto::toBase64(userAndPassword);
}

TEST(ConsoleServer, AsksForTheCredentialsAndTakesOnlyTheRightOnes) {
    CatalogFixture fixture;
    std::filesystem::create_directories(fixture.reports());
    writeBytes(fixture.reports() / "DEMO_1.maj", "rapport");
    FakeConsoleData data;
    data.files["DEMO_1.maj"] = fixture.reports() / "DEMO_1.maj";
    const ConsoleOnLoopback console(data, fixture, "vendeur:mot de passe:à deux-points");
    auto client = console.client();

    for (const char* path : {"/", "/clinique/DEMO", "/rapport/DEMO_1.maj", "/catalogue", "/ailleurs"}) {
        SCOPED_TRACE(path);
        const auto none = client.Get(path);
        ASSERT_TRUE(none);
        EXPECT_EQ(none->status, 401);
        EXPECT_EQ(none->get_header_value("WWW-Authenticate").rfind("Basic realm=", 0), 0u);
        EXPECT_EQ(none->body.find("rapport"), std::string::npos);
        for (const std::string& wrong :
             {basic("vendeur:mot de passe"), basic("vendeur:mot de passe:à deux-points "), basic("autre:x"),
              basic(""), std::string("Basic pas-du-base64"), std::string("Bearer x")}) {
            const auto refused = client.Get(path, {{"Authorization", wrong}});
            ASSERT_TRUE(refused);
            EXPECT_EQ(refused->status, 401) << wrong;
        }
    }
    const auto taken =
        client.Get("/rapport/DEMO_1.maj", {{"Authorization", basic("vendeur:mot de passe:à deux-points")}});
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->status, 200);
    EXPECT_EQ(taken->body, "rapport");
    const auto schemeInAnyCase = client.Get(
        "/", {{"Authorization",
               "bAsIc " + halvio::platform::crypto::toBase64("vendeur:mot de passe:à deux-points")}});
    ASSERT_TRUE(schemeInAnyCase);
    EXPECT_EQ(schemeInAnyCase->status, 200);
}

TEST(ConsoleServer, ServesAListedReportByteForByteAndNothingElse) {
    CatalogFixture fixture;
    const std::string bytes = allByteValues() + "\r\nFAX=1~2026.12.01~3|\r\n";
    std::filesystem::create_directories(fixture.reports());
    writeBytes(fixture.reports() / "DEMO_20261209-100000_1.maj", bytes);
    writeBytes(fixture.path("secret.txt"), "hors du dossier");
    FakeConsoleData data;
    data.files["DEMO_20261209-100000_1.maj"] = fixture.reports() / "DEMO_20261209-100000_1.maj";
    const ConsoleOnLoopback console(data, fixture);
    auto client = console.client();

    const auto served = client.Get("/rapport/DEMO_20261209-100000_1.maj");
    ASSERT_TRUE(served);
    EXPECT_EQ(served->status, 200);
    EXPECT_TRUE(served->body == bytes);
    EXPECT_EQ(served->get_header_value("Content-Type"), "application/octet-stream");
    EXPECT_EQ(served->get_header_value("Content-Disposition"),
              "attachment; filename=\"DEMO_20261209-100000_1.maj\"");

    for (const char* path :
         {"/rapport/../secret.txt", "/rapport/..%2Fsecret.txt", "/rapport/%2E%2E%2Fsecret.txt", "/rapport/..",
          "/rapport/%2E%2E", "/rapport/%2Fetc%2Fpasswd", "/rapport/secret.txt", "/rapport/..%5Csecret.txt",
          "/rapport/DEMO_20261209-100000_1.maj%00"}) {
        SCOPED_TRACE(path);
        const auto refused = client.Get(path);
        ASSERT_TRUE(refused);
        EXPECT_EQ(refused->status, 404);
        EXPECT_EQ(refused->body.find("hors du dossier"), std::string::npos);
        EXPECT_EQ(refused->body.find("root:"), std::string::npos);
    }
    // A name that could leave the folder never reaches the index.
    for (const std::string& asked : data.askedFiles()) {
        EXPECT_EQ(asked.find('/'), std::string::npos) << asked;
        EXPECT_NE(asked, "..");
    }
}

TEST(ConsoleServer, RoutesACodeOfAnyBytesWholeAndSaysWhenItIsUnknown) {
    CatalogFixture fixture;
    FakeConsoleData data;
    for (const std::string code : {"DEMO", "C 1/2?x#y&z%", "Québec"}) {
        data.details[code] = clinicFilledWith(code, "Clinique " + code);
        data.listed.push_back(data.details[code].summary);
    }
    const ConsoleOnLoopback console(data, fixture);
    auto client = console.client();
    for (const auto& [code, detail] : data.details) {
        SCOPED_TRACE(code);
        const auto page = client.Get("/clinique/" + halvio::percentEncoded(code));
        ASSERT_TRUE(page);
        EXPECT_EQ(page->status, 200);
        EXPECT_NE(page->body.find(escapeHtml("Clinique " + code)), std::string::npos);
        EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
        // The list links to the same address.
        const auto list = client.Get("/");
        ASSERT_TRUE(list);
        EXPECT_NE(list->body.find("href=\"/clinique/" + halvio::percentEncoded(code) + "\""),
                  std::string::npos);
    }
    const auto unknown = client.Get("/clinique/ABSENTE");
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->status, 404);
    EXPECT_NE(unknown->body.find("Clinique inconnue"), std::string::npos);
    const auto elsewhere = client.Get("/nulle/part");
    ASSERT_TRUE(elsewhere);
    EXPECT_EQ(elsewhere->status, 404);
}

TEST(ConsoleServer, GivesTheIndexTheSortAndSearchAskedAndForbidsScripts) {
    CatalogFixture fixture;
    FakeConsoleData data;
    const ConsoleOnLoopback console(data, fixture);
    auto client = console.client();
    const auto page = client.Get("/?q=Qu%C3%A9bec%20%26&tri=actifs&ordre=desc");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_NE(page->get_header_value("Content-Security-Policy").find("default-src 'none'"),
              std::string::npos);
    EXPECT_EQ(page->get_header_value("Cache-Control"), "no-store");
    ASSERT_FALSE(data.queries().empty());
    const ClinicQuery asked = data.queries().front();
    EXPECT_EQ(asked.search, "Québec &");
    EXPECT_EQ(asked.sortBy, ClinicColumn::ActiveUsers);
    EXPECT_TRUE(asked.descending);
    EXPECT_EQ(asked.today, "2026.12.10");
}

TEST(ConsoleAccess, LoopbackAloneGoesWithoutPassword) {
    const struct {
        const char* host;
        bool loopback;
    } cases[] = {{"127.0.0.1", true},        {"127.255.0.9", true}, {"::1", true},
                 {"::ffff:127.0.0.1", true}, {"0.0.0.0", false},    {"::", false},
                 {"10.0.0.1", false},        {"128.0.0.1", false},  {"::ffff:10.0.0.1", false},
                 {"localhost", false}};
    for (const auto& c : cases) {
        EXPECT_EQ(isLoopbackAddress(c.host), c.loopback) << c.host;
        if (c.loopback)
            EXPECT_NO_THROW(checkConsoleExposure({c.host, 18082}, false)) << c.host;
        else
            EXPECT_THROW(checkConsoleExposure({c.host, 18082}, false), ConsoleRefused) << c.host;
        EXPECT_NO_THROW(checkConsoleExposure({c.host, 18082}, true)) << c.host;
    }
}

TEST(ConsoleAccess, PasswordFileIsOneOwnerOnlyLine) {
    CatalogFixture fixture;
    const auto file = fixture.path("console.password");
    const struct {
        std::string bytes;
        mode_t mode;
        std::optional<std::string> read;
    } cases[] = {
        {"vendeur:secret\n", 0600, "vendeur:secret"},
        {"vendeur:secret\r\nautre ligne\n", 0400, "vendeur:secret"},
        {"vendeur:a:b c\n", 0600, "vendeur:a:b c"},
        {"vendeur:secret\n", 0644, std::nullopt},
        {"vendeur:secret\n", 0660, std::nullopt},
        {"vendeur\n", 0600, std::nullopt},
        {":secret\n", 0600, std::nullopt},
        {"vendeur:\n", 0600, std::nullopt},
        {"", 0600, std::nullopt},
        {std::string(5000, 'a') + ":b\n", 0600, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes.substr(0, 30));
        writeBytes(file, c.bytes);
        ASSERT_EQ(::chmod(file.c_str(), c.mode), 0);
        if (c.read)
            EXPECT_EQ(readPasswordFile(file), *c.read);
        else
            EXPECT_THROW(readPasswordFile(file), ConsoleRefused);
    }
    EXPECT_THROW(readPasswordFile(fixture.path("absent")), ConsoleRefused);
}

} // namespace
