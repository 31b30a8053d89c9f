#pragma once
// The proxy as one text "host:port" ("  :0" for none), and its split into the server name and
// port that the HTTP client takes. Pure functions, the same on every platform.

#include "ProxySetting.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace halvio::platform {

// Two blanks, a colon and a zero: no proxy.
inline constexpr std::string_view kNoProxyText = "  :0";

// The workstation's setting reduced to the text for the HTTP client: the list's "http=" entry
// when it has one (found in lower case only), otherwise the whole list; "  :0" when the query
// failed, the access type is not a named proxy, the list is empty or the result holds no ":".
std::string proxyTextFromSetting(const std::optional<ProxySetting>& setting);

// The text before the first ":", without leading and trailing characters of codes 0 to 32.
// A text without ":" gives an empty name.
std::string proxyServerFromText(std::string_view proxyText);

class ProxyPortError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// At most 10 characters after the first ":" (the first 10 of the text when it has none),
// trimmed like the server name, read as a decimal signed 32-bit integer. Throws ProxyPortError
// when they are not one ("80 (main)"), so the caller sets the server first and the port only
// when it reads.
std::int32_t proxyPortFromText(std::string_view proxyText);

} // namespace halvio::platform
