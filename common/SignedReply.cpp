#include "SignedReply.h"

#include <set>

namespace halvio::signedreply {

namespace {
void appendLength(std::string& message, std::uint64_t length) {
    for (int shift = 56; shift >= 0; shift -= 8)
        message.push_back(static_cast<char>((length >> shift) & 0xFF));
}

std::optional<std::uint64_t> decimal(std::string_view text) {
    // 19 digits always fit in 64 bits.
    if (text.empty() || text.size() > 19)
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

std::optional<std::string> fromLowerHex(std::string_view text) {
    if (text.size() != 64)
        return std::nullopt;
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        int value = 0;
        for (char c : text.substr(i, 2)) {
            if (c >= '0' && c <= '9')
                value = value * 16 + (c - '0');
            else if (c >= 'a' && c <= 'f')
                value = value * 16 + (c - 'a' + 10);
            else
                return std::nullopt;
        }
        bytes.push_back(static_cast<char>(value));
    }
    return bytes;
}
} // namespace

std::string lowerHex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0x0F]);
    }
    return text;
}

std::string manifestText(const std::vector<ManifestEntry>& entries) {
    std::string text;
    for (const ManifestEntry& entry : entries)
        text += entry.name + "|" + std::to_string(entry.length) + "|" + lowerHex(entry.sha256) + "\n";
    return text;
}

std::optional<std::vector<ManifestEntry>> parseManifest(std::string_view text) {
    std::vector<ManifestEntry> entries;
    std::set<std::string> names;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos)
            return std::nullopt;
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        const std::size_t lastBar = line.rfind('|');
        if (lastBar == std::string_view::npos || lastBar == 0)
            return std::nullopt;
        const std::size_t firstBar = line.rfind('|', lastBar - 1);
        if (firstBar == std::string_view::npos)
            return std::nullopt;
        const auto length = decimal(line.substr(firstBar + 1, lastBar - firstBar - 1));
        auto digest = fromLowerHex(line.substr(lastBar + 1));
        std::string name(line.substr(0, firstBar));
        if (!length || !digest || name.find('|') != std::string::npos || !names.insert(name).second)
            return std::nullopt;
        entries.push_back({std::move(name), *length, std::move(*digest)});
    }
    return entries;
}

std::string signedMessage(std::string_view nonce, std::string_view body, std::string_view manifest) {
    std::string message;
    message.reserve(kContext.size() + nonce.size() + body.size() + manifest.size() + 16);
    message += kContext;
    message += nonce;
    appendLength(message, body.size());
    message += body;
    appendLength(message, manifest.size());
    message += manifest;
    return message;
}

} // namespace halvio::signedreply
