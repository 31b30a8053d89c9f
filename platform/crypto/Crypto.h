#pragma once
// The few cryptographic operations the updater and the vendor's tools need: Ed25519 detached
// signatures, SHA-256, random bytes and the base64 text that carries keys and signatures. Bytes
// are std::string values; every key, signature and digest has the exact size named below.

#include <cstddef>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace halvio::platform::crypto {

inline constexpr std::size_t kPublicKeyBytes = 32;
// The private key as stored and exchanged: the 32-byte Ed25519 seed (RFC 8032), from which
// the signing key is derived on use.
inline constexpr std::size_t kPrivateKeyBytes = 32;
inline constexpr std::size_t kSignatureBytes = 64;
inline constexpr std::size_t kSha256Bytes = 32;

class CryptoError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct KeyPair {
    std::string publicKey;  // kPublicKeyBytes
    std::string privateKey; // kPrivateKeyBytes
};

// Bytes from the operating system's generator. Throws CryptoError when the library cannot start.
std::string randomBytes(std::size_t count);

KeyPair generateKeyPair();
// The public key of a private key. Throws CryptoError for a private key of the wrong size.
std::string publicKeyOf(std::string_view privateKey);

// Throws CryptoError for a private key of the wrong size.
std::string sign(std::string_view message, std::string_view privateKey);
// False for a signature or key of the wrong size as for a signature that does not verify.
bool verify(std::string_view signature, std::string_view message, std::string_view publicKey);

// A SHA-256 computed piece by piece (a package file read in chunks).
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;
    void add(std::string_view bytes);
    // The kSha256Bytes digest of everything added; the object is spent afterwards.
    std::string finish();

private:
    struct State;
    std::unique_ptr<State> m_state;
};
std::string sha256(std::string_view bytes);

// Whether two secrets (a password as typed and as stored) are the same bytes, in a time that tells
// neither where they first differ nor how long the stored one is: their SHA-256 digests are compared
// in constant time.
bool sameSecret(std::string_view given, std::string_view stored);

// Standard base64 with padding (RFC 4648 section 4).
std::string toBase64(std::string_view bytes);
// Nothing for text that is not exactly standard padded base64 (no blanks, no line breaks).
std::optional<std::string> fromBase64(std::string_view text);

} // namespace halvio::platform::crypto
