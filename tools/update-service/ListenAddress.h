#pragma once
// An address and port that a tool server listens on.

#include <string>
#include <string_view>
#include <vector>

namespace halvio::tools {

struct ListenAddress {
    std::string host; // a numeric IPv4 or IPv6 address
    int port = 0;     // 0 asks for a free port when listening

    friend bool operator==(const ListenAddress&, const ListenAddress&) = default;
};

// "127.0.0.1:18080", "[::1]:18080", "localhost:18080" (localhost is 127.0.0.1). No name is resolved:
// anything but a numeric address or localhost, or a port outside 0..65535, throws std::invalid_argument.
ListenAddress parseListenAddress(std::string_view text);

// "127.0.0.1:18080", "[::1]:18080".
std::string toText(const ListenAddress& address);

// The addresses without repeats, in their first order.
std::vector<ListenAddress> withoutRepeats(const std::vector<ListenAddress>& addresses);

} // namespace halvio::tools
