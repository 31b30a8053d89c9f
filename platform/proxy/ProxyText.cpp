#include "ProxyText.h"

#include "Fonction.h"
#include "Windows1252.h"

#include <charconv>

namespace halvio::platform {

namespace {
constexpr std::size_t kPortTextLength = 10;
}

std::string proxyTextFromSetting(const std::optional<ProxySetting>& setting) {
    if (!setting || setting->accessType != ProxySetting::kNamedProxy || setting->proxyList.empty())
        return std::string(kNoProxyText);
    std::string_view list = setting->proxyList;
    constexpr std::string_view httpEntry = "http=";
    if (const auto entry = list.find(httpEntry); entry != std::string_view::npos) {
        list.remove_prefix(entry + httpEntry.size());
        list = list.substr(0, list.find(';'));
    }
    if (list.find(':') == std::string_view::npos)
        return std::string(kNoProxyText);
    return std::string(list);
}

std::string proxyServerFromText(std::string_view proxyText) {
    const auto colon = proxyText.find(':');
    if (colon == std::string_view::npos)
        return {};
    return Trimmed(proxyText.substr(0, colon));
}

std::int32_t proxyPortFromText(std::string_view proxyText) {
    const auto colon = proxyText.find(':');
    const auto start = colon == std::string_view::npos ? 0 : colon + 1;
    const std::string portText = Trimmed(proxyText.substr(start, kPortTextLength));
    std::string_view digits = portText;
    if (digits.size() > 1 && digits.front() == '+' && digits[1] != '-')
        digits.remove_prefix(1);
    std::int32_t port = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size())
        throw ProxyPortError("'" + portText + fr("' n'est pas un numéro de port correct"));
    return port;
}

} // namespace halvio::platform
