#pragma once
// The vendor's public key, fixed when the updater is built (HALVIO_VENDOR_PUBLIC_KEY): base64 of an
// Ed25519 public key (several separated by commas while the vendor changes keys), or empty for an
// updater that accepts the service's replies unsigned.

#include <string_view>

namespace halvio {

// Defined by a source generated at configure time. An executable built with another key (the
// tests' signed updater) links its own definition, which the linker then takes in place of the
// library's.
std::string_view vendorPublicKey();

} // namespace halvio
