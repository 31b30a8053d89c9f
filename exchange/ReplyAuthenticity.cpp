#include "ReplyAuthenticity.h"

#include "Crypto.h"
#include "Fonction.h"
#include "ReplyGrammar.h"
#include "Windows1252.h"

#include <set>

namespace halvio {

namespace crypto = platform::crypto;

namespace {
// `keys`: one public key in base64, or several separated by commas while the vendor changes keys.
bool signedByOneOf(std::string_view keys, std::string_view signature, std::string_view message) {
    while (true) {
        const size_t comma = keys.find(',');
        const auto key = crypto::fromBase64(keys.substr(0, comma));
        if (key && crypto::verify(signature, message, *key))
            return true;
        if (comma == std::string_view::npos)
            return false;
        keys.remove_prefix(comma + 1);
    }
}
} // namespace

std::vector<std::string> freshNonceHeaders(ReplyCredentials& credentials) {
    credentials.nonce = crypto::randomBytes(signedreply::kNonceBytes);
    return {std::string(signedreply::kNonceHeader) + ": " + crypto::toBase64(credentials.nonce)};
}

std::optional<std::string> authenticityFault(const ReplyCredentials& credentials, std::string_view body,
                                             const std::vector<std::string>& lines,
                                             std::vector<signedreply::ManifestEntry>& packages) {
    packages.clear();
    const auto signatureText = platform::singleHeader(credentials.headers, signedreply::kSignatureHeader);
    const auto manifestText = platform::singleHeader(credentials.headers, signedreply::kManifestHeader);
    if (!signatureText || !manifestText)
        return invalidReplyLine(fr("elle n'est pas signée."));
    const auto manifest = manifestText->size() <= (signedreply::kMaxManifestBytes + 2) / 3 * 4
                              ? crypto::fromBase64(*manifestText)
                              : std::nullopt;
    const auto signature = crypto::fromBase64(*signatureText);
    if (!manifest || !signature ||
        !signedByOneOf(credentials.publicKey, *signature,
                       signedreply::signedMessage(credentials.nonce, body, *manifest)))
        return invalidReplyLine(
            fr("sa signature n'est pas valide (réponse modifiée, rejouée ou signée par une autre clé)."));
    auto entries = signedreply::parseManifest(*manifest);
    if (!entries)
        return invalidReplyLine(fr("la liste signée des paquets est illisible."));
    std::set<std::string> signedNames;
    for (const auto& entry : *entries)
        signedNames.insert(Trimmed(entry.name));
    for (size_t i = 2; i < lines.size(); ++i) {
        if (isBlankLine(lines[i]))
            continue;
        const std::string nom = fieldValue(replyFields(lines[i]), "nom");
        if (!signedNames.contains(Trimmed(nom)))
            return invalidReplyLine(fr("le paquet \"") + nom + fr("\" n'a pas d'empreinte signée."));
    }
    packages = std::move(*entries);
    return std::nullopt;
}

} // namespace halvio
