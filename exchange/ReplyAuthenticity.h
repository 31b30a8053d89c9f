#pragma once
// The signed mode of the report exchange: a fresh nonce with every attempt, and the check that
// the reply is the vendor's answer to that very attempt before any of it is applied.

#include "HttpHeaders.h"
#include "SignedReply.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halvio {

struct ReplyCredentials {
    // The vendor's public key as the build gives it (base64; several separated by commas, any of
    // which may sign); empty: the unsigned exchange, whose requests carry no nonce and whose
    // replies are taken as they come.
    std::string publicKey;
    std::string nonce; // the raw bytes sent with the attempt that answered
    platform::HttpHeaders headers;

    bool isSigned() const { return !publicKey.empty(); }
};

// A new nonce in `credentials` and the request header that carries it.
std::vector<std::string> freshNonceHeaders(ReplyCredentials& credentials);

// The first reason the reply is not the vendor's signed answer to the nonce sent, as a French
// activity-log line (Windows-1252), or nothing; `packages` then holds the signed digests of every
// package file the reply offers. `lines` are the body's lines: every package line must have its
// manifest entry. A public key that does not decode refuses every reply.
std::optional<std::string> authenticityFault(const ReplyCredentials& credentials, std::string_view body,
                                             const std::vector<std::string>& lines,
                                             std::vector<signedreply::ManifestEntry>& packages);

} // namespace halvio
