#include "HttpHeaders.h"

#include "Fonction.h"

namespace halvio::platform {

std::optional<std::string> singleHeader(const HttpHeaders& headers, std::string_view name) {
    std::optional<std::string> found;
    for (const auto& [headerName, value] : headers) {
        if (!equalsIgnoringAsciiCase(headerName, name))
            continue;
        if (found)
            return std::nullopt;
        found = value;
    }
    return found;
}

} // namespace halvio::platform
