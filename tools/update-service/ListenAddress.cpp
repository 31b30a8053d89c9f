#include "ListenAddress.h"

#include <arpa/inet.h>

#include <algorithm>
#include <charconv>
#include <stdexcept>

namespace halvio::tools {

namespace {

bool isNumericAddress(const std::string& host) {
    unsigned char buffer[sizeof(in6_addr)];
    return inet_pton(AF_INET, host.c_str(), buffer) == 1 || inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

} // namespace

ListenAddress parseListenAddress(std::string_view text) {
    const auto invalid = [&](const char* why) {
        return std::invalid_argument("'" + std::string(text) + "' is no listen address: " + why);
    };
    const size_t colon = text.rfind(':');
    if (colon == std::string_view::npos)
        throw invalid("HOST:PORT expected");
    std::string host(text.substr(0, colon));
    const std::string_view portText = text.substr(colon + 1);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    if (host == "localhost")
        host = "127.0.0.1";
    if (!isNumericAddress(host))
        throw invalid("the host must be a numeric address or localhost");

    int port = -1;
    const auto [end, error] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
    if (portText.empty() || error != std::errc() || end != portText.data() + portText.size() || port < 0 ||
        port > 65535)
        throw invalid("the port must be a number from 0 to 65535");
    return {host, port};
}

std::string toText(const ListenAddress& address) {
    const bool ipv6 = address.host.find(':') != std::string::npos;
    return (ipv6 ? "[" + address.host + "]" : address.host) + ":" + std::to_string(address.port);
}

std::vector<ListenAddress> withoutRepeats(const std::vector<ListenAddress>& addresses) {
    std::vector<ListenAddress> unique;
    for (const ListenAddress& address : addresses)
        if (std::find(unique.begin(), unique.end(), address) == unique.end())
            unique.push_back(address);
    return unique;
}

} // namespace halvio::tools
