#pragma once
// The workstation's proxy setting as the platform reports it, in the shape of WinINet's
// INTERNET_PROXY_INFO.

#include <cstdint>
#include <optional>
#include <string>

namespace halvio::platform {

struct ProxySetting {
    // WinINet's access types; only a named proxy means a proxy is to be used.
    static constexpr std::uint32_t kPreconfigured = 0;
    static constexpr std::uint32_t kDirect = 1;
    static constexpr std::uint32_t kNamedProxy = 3;

    std::uint32_t accessType = kDirect;
    // "host:port" for every protocol, or "protocol=host:port" entries separated by ";".
    std::string proxyList;
    std::string bypassList;
};

// The workstation's own setting; nullopt when the platform cannot be asked. Never throws.
// On Linux: the http_proxy, https_proxy and ftp_proxy variables (lower case first, then upper
// case), reported as a named proxy "http=host:port;https=host:port;ftp=host:port" with one entry
// per variable set, or as direct access when none is.
std::optional<ProxySetting> queryProxySetting();

} // namespace halvio::platform
