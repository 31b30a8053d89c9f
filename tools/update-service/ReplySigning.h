#pragma once
// The signed form of the package list reply: the manifest of the package files the reply offers and
// the signature over the client's nonce, the reply body and that manifest (common/SignedReply.h).

#include "ReplyBuilder.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace halvio::tools {

class Catalog;

// The nonce of the request's header, or nothing when the header is absent or is not the base64 of
// kNonceBytes bytes (the reply then goes unsigned, as to an updater built without a key).
std::optional<std::string> requestNonce(const std::optional<std::string>& headerValue);

// The two reply headers (name, value). Each offered package file is read and hashed now; a package
// whose file is missing is listed with length 0 and the digest of nothing, as its taille says 0.
std::vector<std::pair<std::string, std::string>>
signedReplyHeaders(const Catalog& catalog, const std::vector<OfferedPackage>& offered, std::string_view nonce,
                   std::string_view body, const std::string& privateKey);

} // namespace halvio::tools
