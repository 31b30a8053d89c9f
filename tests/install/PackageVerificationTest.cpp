// A downloaded package file against the length and SHA-256 that the signed reply gave for it.
#include "PackageVerification.h"
#include "Crypto.h"
#include "Windows1252.h"

#include <gtest/gtest.h>

namespace halvio::test {
namespace {

namespace crypto = platform::crypto;

TEST(PackageFileFault, OnlyTheSignedBytesOfThatVeryPackagePass) {
    const std::string halvio = "PK\x03\x04 the program, encrypted";
    const std::string script = "PK\x03\x04 a script, encrypted";
    const std::vector<signedreply::ManifestEntry> signedPackages = {
        {"HALVIO", halvio.size(), crypto::sha256(halvio)}, {"SQL_A", script.size(), crypto::sha256(script)}};
    std::string changed = halvio;
    changed[7] ^= 0x20;
    struct Case {
        const char* what;
        std::string nom, bytes;
        std::string reason; // empty: accepted
    };
    const auto sizes = [](size_t got, size_t expected) {
        return "a " + std::to_string(got) + " octets au lieu des " + std::to_string(expected) +
               " octets signés";
    };
    const Case cases[] = {
        {"the signed file", "HALVIO", halvio, ""},
        {"the name as tmem pads it", "HALVIO    ", halvio, ""},
        {"changed by one byte", "HALVIO", changed, "ne correspond pas à son empreinte SHA-256 signée"},
        {"another signed package's file", "SQL_A", halvio, sizes(halvio.size(), script.size())},
        {"longer than announced", "HALVIO", halvio + "!", sizes(halvio.size() + 1, halvio.size())},
        {"shorter than announced", "HALVIO", halvio.substr(1), sizes(halvio.size() - 1, halvio.size())},
        {"empty", "HALVIO", "", sizes(0, halvio.size())},
        {"a package the reply did not sign", "HHALVIO", halvio, "n'a pas d'empreinte signée"},
    };
    for (const Case& c : cases) {
        const auto fault = packageFileFault(signedPackages, c.nom, c.bytes.size(), crypto::sha256(c.bytes));
        if (c.reason.empty()) {
            EXPECT_FALSE(fault) << c.what << ": " << fault.value_or("");
            continue;
        }
        ASSERT_TRUE(fault) << c.what;
        EXPECT_EQ(fault->rfind(fr("Le fichier du paquet ") + c.nom.substr(0, c.nom.find(' ')), 0), 0u)
            << *fault;
        EXPECT_NE(fault->find(fr(c.reason)), std::string::npos) << c.what << ": " << *fault;
    }
}

} // namespace
} // namespace halvio::test
