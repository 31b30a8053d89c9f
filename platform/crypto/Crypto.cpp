#include "Crypto.h"

#include <sodium.h>

namespace halvio::platform::crypto {

namespace {
void startLibrary() {
    static const int result = sodium_init();
    if (result < 0)
        throw CryptoError("libsodium: cannot start");
}

const unsigned char* bytesOf(std::string_view text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

unsigned char* bytesOf(std::string& text) {
    return reinterpret_cast<unsigned char*>(text.data());
}

// libsodium's secret key is the seed followed by the public key.
std::string secretKeyOf(std::string_view privateKey) {
    if (privateKey.size() != kPrivateKeyBytes)
        throw CryptoError("private key of " + std::to_string(privateKey.size()) + " bytes, not " +
                          std::to_string(kPrivateKeyBytes));
    startLibrary();
    std::string publicKey(crypto_sign_PUBLICKEYBYTES, '\0');
    std::string secretKey(crypto_sign_SECRETKEYBYTES, '\0');
    crypto_sign_seed_keypair(bytesOf(publicKey), bytesOf(secretKey), bytesOf(privateKey));
    return secretKey;
}
} // namespace

static_assert(kPublicKeyBytes == crypto_sign_PUBLICKEYBYTES);
static_assert(kPrivateKeyBytes == crypto_sign_SEEDBYTES);
static_assert(kSignatureBytes == crypto_sign_BYTES);
static_assert(kSha256Bytes == crypto_hash_sha256_BYTES);

std::string randomBytes(std::size_t count) {
    startLibrary();
    std::string bytes(count, '\0');
    randombytes_buf(bytes.data(), bytes.size());
    return bytes;
}

KeyPair generateKeyPair() {
    KeyPair pair{std::string(kPublicKeyBytes, '\0'), randomBytes(kPrivateKeyBytes)};
    pair.publicKey = publicKeyOf(pair.privateKey);
    return pair;
}

std::string publicKeyOf(std::string_view privateKey) {
    std::string secretKey = secretKeyOf(privateKey);
    std::string publicKey(kPublicKeyBytes, '\0');
    crypto_sign_ed25519_sk_to_pk(bytesOf(publicKey), bytesOf(secretKey));
    sodium_memzero(secretKey.data(), secretKey.size());
    return publicKey;
}

std::string sign(std::string_view message, std::string_view privateKey) {
    std::string secretKey = secretKeyOf(privateKey);
    std::string signature(kSignatureBytes, '\0');
    crypto_sign_detached(bytesOf(signature), nullptr, bytesOf(message), message.size(), bytesOf(secretKey));
    sodium_memzero(secretKey.data(), secretKey.size());
    return signature;
}

bool verify(std::string_view signature, std::string_view message, std::string_view publicKey) {
    if (signature.size() != kSignatureBytes || publicKey.size() != kPublicKeyBytes)
        return false;
    startLibrary();
    return crypto_sign_verify_detached(bytesOf(signature), bytesOf(message), message.size(),
                                       bytesOf(publicKey)) == 0;
}

struct Sha256::State {
    crypto_hash_sha256_state state;
};

Sha256::Sha256() : m_state(std::make_unique<State>()) {
    startLibrary();
    crypto_hash_sha256_init(&m_state->state);
}

Sha256::~Sha256() = default;

void Sha256::add(std::string_view bytes) {
    crypto_hash_sha256_update(&m_state->state, bytesOf(bytes), bytes.size());
}

std::string Sha256::finish() {
    std::string digest(kSha256Bytes, '\0');
    crypto_hash_sha256_final(&m_state->state, bytesOf(digest));
    return digest;
}

std::string sha256(std::string_view bytes) {
    Sha256 digest;
    digest.add(bytes);
    return digest.finish();
}

bool sameSecret(std::string_view given, std::string_view stored) {
    const std::string a = sha256(given);
    const std::string b = sha256(stored);
    return sodium_memcmp(a.data(), b.data(), a.size()) == 0;
}

std::string toBase64(std::string_view bytes) {
    startLibrary();
    std::string text(sodium_base64_ENCODED_LEN(bytes.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(text.data(), text.size(), bytesOf(bytes), bytes.size(), sodium_base64_VARIANT_ORIGINAL);
    text.resize(text.size() - 1); // the terminating NUL
    return text;
}

std::optional<std::string> fromBase64(std::string_view text) {
    startLibrary();
    std::string bytes(text.size() / 4 * 3 + 3, '\0');
    std::size_t length = 0;
    const char* end = nullptr;
    if (sodium_base642bin(bytesOf(bytes), bytes.size(), text.data(), text.size(), nullptr, &length, &end,
                          sodium_base64_VARIANT_ORIGINAL) != 0 ||
        end != text.data() + text.size())
        return std::nullopt;
    bytes.resize(length);
    return bytes;
}

} // namespace halvio::platform::crypto
