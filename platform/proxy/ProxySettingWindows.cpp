#include "ProxySetting.h"

#include <vector>

#include <windows.h>
#include <wininet.h>

namespace halvio::platform {

namespace {
// The record and the two texts it points to are written into one buffer of this size.
constexpr DWORD kQueryBufferSize = 4096;

std::string text(LPCSTR value) {
    return value ? std::string(value) : std::string();
}
} // namespace

std::optional<ProxySetting> queryProxySetting() {
    std::vector<char> buffer(kQueryBufferSize);
    DWORD length = kQueryBufferSize;
    // No internet handle: the workstation's own settings.
    if (!::InternetQueryOptionA(nullptr, INTERNET_OPTION_PROXY, buffer.data(), &length))
        return std::nullopt;
    const auto* info = reinterpret_cast<const INTERNET_PROXY_INFO*>(buffer.data());
    ProxySetting setting;
    setting.accessType = info->dwAccessType;
    setting.proxyList = text(reinterpret_cast<LPCSTR>(info->lpszProxy));
    setting.bypassList = text(reinterpret_cast<LPCSTR>(info->lpszProxyBypass));
    return setting;
}

} // namespace halvio::platform
