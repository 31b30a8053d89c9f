#include "ServiceAddress.h"

namespace halvio {

std::string serviceAddress(std::string_view host) {
    if (host.starts_with("https://") || host.starts_with("http://"))
        return std::string(host);
    return "http://" + std::string(host);
}

} // namespace halvio
