#pragma once
// The header lines of a reply, names and values as received (values without surrounding blanks).

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace halvio::platform {

using HttpHeaders = std::vector<std::pair<std::string, std::string>>;

// The value of the only header of that name (ASCII case ignored); nothing when it is absent or
// repeated, since a repeated header of the protocol cannot be told from a forged one.
std::optional<std::string> singleHeader(const HttpHeaders& headers, std::string_view name);

} // namespace halvio::platform
