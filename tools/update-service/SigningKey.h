#pragma once
// The vendor's signing key as a file: one line, the base64 of the 32-byte Ed25519 private key (the
// seed of RFC 8032). The public key that updaters are built with derives from it.

#include <filesystem>
#include <string>

namespace halvio::tools {

// Makes a key pair and writes the private key to `privateFile`, created readable and writable by
// its owner only, and never over an existing file. Returns the public key as base64, the form
// HALVIO_VENDOR_PUBLIC_KEY takes. Throws std::runtime_error saying why (the file exists, the folder
// cannot be written).
std::string createSigningKey(const std::filesystem::path& privateFile);

// The private key of the file. Throws std::runtime_error saying why for a file that others than its
// owner may read or write, or that does not hold one key.
std::string loadSigningKey(const std::filesystem::path& privateFile);

// The public key of a private key, as base64.
std::string publicKeyText(const std::string& privateKey);

} // namespace halvio::tools
