#include "PackageVerification.h"

#include "ByteBuffer.h"
#include "Crypto.h"
#include "Fonction.h"
#include "Model.h"
#include "RunContext.h"
#include "Windows1252.h"

namespace halvio {

std::optional<std::string> packageFileFault(const std::vector<signedreply::ManifestEntry>& signedPackages,
                                            std::string_view nom, std::string_view bytes) {
    const std::string name = Trimmed(nom);
    const std::string shown = fr("Le fichier du paquet ") + name;
    for (const auto& entry : signedPackages) {
        if (Trimmed(entry.name) != name)
            continue;
        if (bytes.size() != entry.length)
            return shown + fr(" a ") + std::to_string(bytes.size()) + fr(" octets au lieu des ") +
                   std::to_string(entry.length) + fr(" octets signés : il est refusé.");
        if (platform::crypto::sha256(bytes) != entry.sha256)
            return shown + fr(" ne correspond pas à son empreinte SHA-256 signée : il est refusé.");
        return std::nullopt;
    }
    return shown + fr(" n'a pas d'empreinte signée : il est refusé.");
}

void verifyPackageFile(RunContext& run, std::string_view nom, const platform::ByteBuffer& file) {
    if (!run.signedPackages)
        return;
    if (const auto fault = packageFileFault(*run.signedPackages, nom, file.view())) {
        run.model.log(*fault);
        throw PackageVerificationError(*fault);
    }
    run.model.log(fr("Paquet ") + Trimmed(nom) + fr(" vérifié : longueur et empreinte SHA-256 signées."));
}

} // namespace halvio
