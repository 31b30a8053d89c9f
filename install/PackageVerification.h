#pragma once
// The check of a downloaded package file against the digests of the signed reply, made before the
// file written as it arrived takes its name, and so before it is unpacked.

#include "SignedReply.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace halvio {

struct RunContext;

namespace platform {
class ByteBuffer;
}

// Thrown for a package file that is not the one the vendor signed; its text (Windows-1252) is
// shown to the user on the failed-download path.
class PackageVerificationError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Why `bytes` are not the file of the package `nom` that `signedPackages` describes (names
// compared without surrounding blanks), as a French text, or nothing when length and SHA-256 match.
std::optional<std::string> packageFileFault(const std::vector<signedreply::ManifestEntry>& signedPackages,
                                            std::string_view nom, std::string_view bytes);

// In signed mode, logs why and throws PackageVerificationError when the file does not match;
// otherwise, and always in unsigned mode, returns.
void verifyPackageFile(RunContext& run, std::string_view nom, const platform::ByteBuffer& file);

} // namespace halvio
