// The signed answer to a report as the updater checks it: the manifest text, and the refusal of
// every reply that is not the vendor's answer to the nonce the updater sent, with real Ed25519 keys.
#include "SignedReply.h"
#include "Crypto.h"
#include "ReplyAuthenticity.h"
#include "TextLines.h"
#include "Windows1252.h"

#include <gtest/gtest.h>

#include <functional>

namespace halvio::test {
namespace {

namespace crypto = platform::crypto;
using signedreply::ManifestEntry;

const std::string kBody = "nom=Clinique|escompte=15|ID=47\r\nupdate md set actif=1\r\n"
                          "nom=HALVIO|dates=2024.01.10 10:00:00|taille=5|description=Programme\r\n"
                          "nom=SQL_A|dates=2024.01.10 10:00:00|taille=3|description=Script\r\n";

std::vector<ManifestEntry> kManifest() {
    return {{"HALVIO", 5, crypto::sha256("12345")}, {"SQL_A", 3, crypto::sha256("abc")}};
}

TEST(ManifestText, RoundTripsAndRefusesWhatItCouldNotHaveWritten) {
    const std::string text = signedreply::manifestText(kManifest());
    EXPECT_EQ(text.substr(0, 10), "HALVIO|5|5");
    const auto parsed = signedreply::parseManifest(text);
    ASSERT_TRUE(parsed);
    ASSERT_EQ(parsed->size(), 2u);
    EXPECT_EQ((*parsed)[1].name, "SQL_A");
    EXPECT_EQ((*parsed)[1].length, 3u);
    EXPECT_EQ((*parsed)[1].sha256, crypto::sha256("abc"));
    EXPECT_TRUE(signedreply::parseManifest(""));

    const std::string digest = signedreply::lowerHex(crypto::sha256("x"));
    for (const std::string& bad : {"A|1|" + digest,                             // no line end
                                   std::string("A|1\n"),                        // two fields
                                   "A|-1|" + digest + "\n",                     // not a length
                                   "A|1|" + digest.substr(2) + "\n",            // short digest
                                   "A|1|" + std::string(64, 'G') + "\n",        // not hex
                                   "A|1|" + digest + "\nA|1|" + digest + "\n"}) // listed twice
        EXPECT_FALSE(signedreply::parseManifest(bad)) << bad;
}

// A signed answer as the vendor's service makes it, then changed by each case.
struct Answer {
    std::string nonce = crypto::randomBytes(signedreply::kNonceBytes);
    std::string body = kBody;
    std::string manifest = signedreply::manifestText(kManifest());
    std::string signingKey;
    platform::HttpHeaders headers;

    explicit Answer(const crypto::KeyPair& vendor) : signingKey(vendor.privateKey) {}
    void sign() {
        const std::string signature =
            crypto::sign(signedreply::signedMessage(nonce, body, manifest), signingKey);
        headers = {{"X-Halvio-Packages", crypto::toBase64(manifest)},
                   {"x-halvio-signature", crypto::toBase64(signature)}};
    }
};

struct Case {
    const char* what;
    std::function<void(Answer&)> change; // before signing
    std::function<void(Answer&, ReplyCredentials&)> afterwards;
    const char* reason; // empty: accepted
};

TEST(ReplyAuthenticity, OnlyTheVendorsSignedAnswerToThisVeryNonceIsAccepted) {
    const crypto::KeyPair vendor = crypto::generateKeyPair();
    const crypto::KeyPair other = crypto::generateKeyPair();
    const char* const kBadSignature = "sa signature n'est pas valide";
    const std::vector<Case> cases = {
        {"the genuine answer", {}, {}, ""},
        {"unsigned", {}, [](Answer& a, ReplyCredentials&) { a.headers.clear(); }, "n'est pas signée"},
        {"signature alone",
         {},
         [](Answer& a, ReplyCredentials&) { a.headers.erase(a.headers.begin()); },
         "n'est pas signée"},
        {"signature header twice",
         {},
         [](Answer& a, ReplyCredentials&) { a.headers.push_back(a.headers.back()); },
         "n'est pas signée"},
        {"signed by another key", [&](Answer& a) { a.signingKey = other.privateKey; }, {}, kBadSignature},
        {"body changed by one byte",
         {},
         [](Answer& a, ReplyCredentials&) { a.body[10] ^= 1; },
         kBadSignature},
        {"body cut", {}, [](Answer& a, ReplyCredentials&) { a.body.pop_back(); }, kBadSignature},
        {"replayed: signed for an earlier nonce",
         {},
         [](Answer&, ReplyCredentials& c) { c.nonce = crypto::randomBytes(signedreply::kNonceBytes); },
         kBadSignature},
        {"manifest swapped after signing",
         {},
         [](Answer& a, ReplyCredentials&) {
             a.headers[0].second =
                 crypto::toBase64(signedreply::manifestText({{"HALVIO", 6, crypto::sha256("x")}}));
         },
         kBadSignature},
        {"signature not base64",
         {},
         [](Answer& a, ReplyCredentials&) { a.headers[1].second = "@@@"; },
         kBadSignature},
        {"build key that does not decode",
         {},
         [](Answer&, ReplyCredentials& c) { c.publicKey = "nokey"; },
         kBadSignature},
        {"a package line without its manifest entry",
         [](Answer& a) { a.manifest = signedreply::manifestText({kManifest()[0]}); },
         {},
         "le paquet \"SQL_A\" n'a pas d'empreinte signée"},
        {"an unreadable manifest, signed",
         [](Answer& a) { a.manifest = "HALVIO|5\n"; },
         {},
         "la liste signée des paquets est illisible"},
    };
    for (const Case& c : cases) {
        Answer answer(vendor);
        if (c.change)
            c.change(answer);
        answer.sign();
        ReplyCredentials credentials{crypto::toBase64(vendor.publicKey), answer.nonce, {}};
        if (c.afterwards)
            c.afterwards(answer, credentials);
        credentials.headers = answer.headers;
        std::vector<ManifestEntry> packages{{"stale", 0, {}}};
        const auto fault = authenticityFault(credentials, answer.body, splitLines(answer.body), packages);
        if (std::string(c.reason).empty()) {
            EXPECT_FALSE(fault) << c.what << ": " << fault.value_or("");
            EXPECT_EQ(packages.size(), 2u) << c.what;
            continue;
        }
        ASSERT_TRUE(fault) << c.what;
        EXPECT_NE(fault->find(fr("Réponse du serveur de mise à jour invalide : ")), std::string::npos)
            << c.what;
        EXPECT_NE(fault->find(fr(c.reason)), std::string::npos) << c.what << ": " << *fault;
        EXPECT_TRUE(packages.empty()) << c.what;
    }
}

TEST(ReplyAuthenticity, EveryAttemptSendsAFreshNonceInItsHeader) {
    ReplyCredentials credentials{"key", {}, {}};
    const auto first = freshNonceHeaders(credentials);
    const std::string firstNonce = credentials.nonce;
    const auto second = freshNonceHeaders(credentials);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0], "X-Halvio-Nonce: " + crypto::toBase64(firstNonce));
    EXPECT_EQ(firstNonce.size(), signedreply::kNonceBytes);
    EXPECT_NE(firstNonce, credentials.nonce);
    EXPECT_NE(first, second);
}

} // namespace
} // namespace halvio::test
