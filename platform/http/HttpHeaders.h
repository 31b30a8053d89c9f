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

// Whether a received line begins with `prefix`, ASCII case ignored ("HTTP/", "Location:").
bool startsWithNoCase(std::string_view line, std::string_view prefix);
// A received line without the CR and LF that end it.
std::string withoutLineEnd(std::string_view line);
// A received header line ("Name: value\r\n") as its name and its value without surrounding blanks;
// nothing for a line without a colon.
std::optional<std::pair<std::string, std::string>> parseHeaderLine(std::string_view line);

} // namespace halvio::platform
