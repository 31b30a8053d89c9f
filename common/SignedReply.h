#pragma once
// The signed answer to a client report, shared by the updater and the vendor's service. The
// request carries a fresh nonce; the reply's body is unchanged and two headers come with it: the
// package manifest (name, length and SHA-256 of every package file the reply offers) and an
// Ed25519 signature over signedMessage(). Pure: the cryptography itself is in platform/crypto.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halvio::signedreply {

// Request header: base64 of kNonceBytes random bytes, new for every attempt.
inline constexpr const char* kNonceHeader = "X-Halvio-Nonce";
// Reply header: base64 of the manifest text.
inline constexpr const char* kManifestHeader = "X-Halvio-Packages";
// Reply header: base64 of the 64-byte Ed25519 signature.
inline constexpr const char* kSignatureHeader = "X-Halvio-Signature";
// Opens every signed message, so that a signature made for anything else never verifies here;
// a new scheme takes a new version.
inline constexpr std::string_view kContext = "HALVIO-UPDATE-REPLY-V1\n";
inline constexpr std::size_t kNonceBytes = 32;
// A manifest line is about 90 bytes, so this holds some 700 packages. Its base64 header (4/3 of
// it) stays under the 100 KiB that libcurl takes in one header line; a larger one is refused.
inline constexpr std::size_t kMaxManifestBytes = 64 * 1024;

struct ManifestEntry {
    std::string name; // the package's name as the reply's nom= field gives it
    std::uint64_t length = 0;
    std::string sha256; // 32 raw bytes
};

// One "NAME|LENGTH|SHA256-HEX" line per entry, each ended by LF, in the order given.
std::string manifestText(const std::vector<ManifestEntry>& entries);
// Nothing for a text that manifestText() could not have made: a line without three fields, a
// length that is no decimal number, a digest that is not 64 lower-case hex digits, or a name
// listed twice.
std::optional<std::vector<ManifestEntry>> parseManifest(std::string_view text);

// kContext, the nonce, then the body and the manifest each after its length as 8 bytes
// big-endian: no two different (nonce, body, manifest) give the same message.
std::string signedMessage(std::string_view nonce, std::string_view body, std::string_view manifest);

std::string lowerHex(std::string_view bytes);

} // namespace halvio::signedreply
