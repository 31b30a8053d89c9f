#include "ReplySigning.h"

#include "Catalog.h"
#include "Crypto.h"
#include "SignedReply.h"

#include <fstream>
#include <set>
#include <stdexcept>

namespace halvio::tools {

namespace crypto = platform::crypto;

namespace {
constexpr std::size_t kReadChunk = 1u << 20;

signedreply::ManifestEntry digestOf(const Catalog& catalog, const std::string& name) {
    signedreply::ManifestEntry entry{name, 0, {}};
    crypto::Sha256 digest;
    if (const auto path = catalog.packageFile(Catalog::packageFileName(name))) {
        std::ifstream in(*path, std::ios::binary);
        std::string chunk(kReadChunk, '\0');
        while (in) {
            in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
            const auto count = static_cast<std::size_t>(in.gcount());
            digest.add(std::string_view(chunk).substr(0, count));
            entry.length += count;
        }
        if (!in.eof())
            throw std::runtime_error("cannot read " + path->string());
    }
    entry.sha256 = digest.finish();
    return entry;
}
} // namespace

std::optional<std::string> requestNonce(const std::optional<std::string>& headerValue) {
    if (!headerValue)
        return std::nullopt;
    auto nonce = crypto::fromBase64(*headerValue);
    if (!nonce || nonce->size() != signedreply::kNonceBytes)
        return std::nullopt;
    return nonce;
}

std::vector<std::pair<std::string, std::string>>
signedReplyHeaders(const Catalog& catalog, const std::vector<OfferedPackage>& offered, std::string_view nonce,
                   std::string_view body, const std::string& privateKey) {
    std::vector<signedreply::ManifestEntry> entries;
    std::set<std::string> listed;
    for (const OfferedPackage& package : offered) {
        // A name offered twice (to every client and to this one) is one file: listed once.
        if (listed.insert(package.name).second)
            entries.push_back(digestOf(catalog, package.name));
    }
    const std::string manifest = signedreply::manifestText(entries);
    const std::string signature = crypto::sign(signedreply::signedMessage(nonce, body, manifest), privateKey);
    return {{signedreply::kManifestHeader, crypto::toBase64(manifest)},
            {signedreply::kSignatureHeader, crypto::toBase64(signature)}};
}

} // namespace halvio::tools
