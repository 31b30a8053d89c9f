#pragma once
// What a log shows of a value that came from outside (a request's path, a client code, a package
// name from the service): a log is read one line per event, so such a value must never break or
// rewrite a line.

#include <string>
#include <string_view>

namespace halvio {

// The value with each ASCII control character (bytes 0 to 31 and 127: line breaks, tabulations,
// terminal escapes) shown as "?"; every other byte kept.
std::string withControlsShown(std::string_view value);

} // namespace halvio
