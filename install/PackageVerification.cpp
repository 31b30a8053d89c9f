#include "PackageVerification.h"

#include "Crypto.h"
#include "Fonction.h"
#include "Model.h"
#include "RunContext.h"
#include "Windows1252.h"

namespace halvio {

std::optional<std::string> packageFileFault(const std::vector<signedreply::ManifestEntry>& signedPackages,
                                            std::string_view nom, std::size_t length,
                                            std::string_view sha256) {
    const std::string name = Trimmed(nom);
    const std::string shown = fr("Le fichier du paquet ") + name;
    for (const auto& entry : signedPackages) {
        if (Trimmed(entry.name) != name)
            continue;
        if (length != entry.length)
            return shown + fr(" a ") + std::to_string(length) + fr(" octets au lieu des ") +
                   std::to_string(entry.length) + fr(" octets signés : il est refusé.");
        if (sha256 != entry.sha256)
            return shown + fr(" ne correspond pas à son empreinte SHA-256 signée : il est refusé.");
        return std::nullopt;
    }
    return shown + fr(" n'a pas d'empreinte signée : il est refusé.");
}

PackageFileDigest::PackageFileDigest(const RunContext& run) : m_wanted(run.signedPackages.has_value()) {
    restart();
}

void PackageFileDigest::restart() {
    m_length = 0;
    m_sha256.reset();
    if (m_wanted)
        m_sha256.emplace();
}

void PackageFileDigest::add(std::string_view bytes) {
    m_length += bytes.size();
    if (m_sha256)
        m_sha256->add(bytes);
}

std::string PackageFileDigest::finish() {
    return m_sha256 ? m_sha256->finish() : std::string();
}

void verifyPackageFile(RunContext& run, std::string_view nom, PackageFileDigest& file) {
    if (!run.signedPackages)
        return;
    if (const auto fault = packageFileFault(*run.signedPackages, nom, file.length(), file.finish())) {
        run.model.log(*fault);
        throw PackageVerificationError(*fault);
    }
    run.model.log(fr("Paquet ") + Trimmed(nom) + fr(" vérifié : longueur et empreinte SHA-256 signées."));
}

} // namespace halvio
