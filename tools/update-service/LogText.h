#pragma once
// What a server's log shows of a value that came with a request (its path, a client code, a stored
// file's name): the log is read one line per request, so a value must never break or rewrite a line.

#include <string>
#include <string_view>

namespace halvio::tools {

// The value with each ASCII control character (bytes 0 to 31 and 127: line breaks, tabulations,
// terminal escapes) shown as "?", as the updater shows the names it refuses; every other byte kept.
std::string shownInLog(std::string_view value);

} // namespace halvio::tools
