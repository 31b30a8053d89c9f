#pragma once
// The check of a downloaded package file against the digests of the signed reply, made before the
// file written as it arrived takes its name, and so before it is unpacked.

#include "Crypto.h"
#include "SignedReply.h"

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace halvio {

struct RunContext;

// Thrown for a package file that is not the one the vendor signed; its text (Windows-1252) is
// shown to the user on the failed-download path.
class PackageVerificationError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Why a file of `length` bytes whose SHA-256 is `sha256` is not the file of the package `nom` that
// `signedPackages` describes (names compared without surrounding blanks), as a French text, or
// nothing when length and SHA-256 match.
std::optional<std::string> packageFileFault(const std::vector<signedreply::ManifestEntry>& signedPackages,
                                            std::string_view nom, std::size_t length,
                                            std::string_view sha256);

// The length and, in signed mode, the SHA-256 of a package file, taken as its bytes arrive: the file
// is never held whole in memory.
class PackageFileDigest {
public:
    explicit PackageFileDigest(const RunContext& run);
    // Everything added so far is dropped (a host that failed in the middle).
    void restart();
    void add(std::string_view bytes);
    std::size_t length() const { return m_length; }
    // The SHA-256 of everything added since the last restart; empty in unsigned mode. Spends the digest.
    std::string finish();

private:
    bool m_wanted;
    std::size_t m_length = 0;
    std::optional<platform::crypto::Sha256> m_sha256;
};

// In signed mode, logs why and throws PackageVerificationError when the file does not match;
// otherwise, and always in unsigned mode, returns.
void verifyPackageFile(RunContext& run, std::string_view nom, PackageFileDigest& file);

} // namespace halvio
