#pragma once
// The key the console searches on: a text with its capitals made small letters, the accented
// capitals of Windows-1252 too (É -> é, Œ -> œ), so that "québec" finds "QUÉBEC". Accents stay.

#include <string>
#include <string_view>

namespace halvio::tools::console {

// UTF-8 in and out; a character that Windows-1252 lacks becomes '?'.
std::string searchFold(std::string_view utf8);

} // namespace halvio::tools::console
