#pragma once
// The address of a service host fixed at build time.

#include <string>
#include <string_view>

namespace halvio {

// "http://" + host, or the host as it is when it names its scheme: "https://..." (the server's
// certificate is then checked against the system's store) or "http://...".
std::string serviceAddress(std::string_view host);

} // namespace halvio
