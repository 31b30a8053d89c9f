#pragma once
// Bytes as one part of a URL: a package's file name in its address, a clinic's code in a page link.

#include <string>
#include <string_view>

namespace halvio {

// Every byte outside the unreserved set of URIs (A-Z a-z 0-9 - . _ ~) as "%" and two upper-case
// hexadecimal digits, so that "/", "?", "#", "&" and blanks stay inside the part: "sp ace#1.zip"
// gives "sp%20ace%231.zip".
std::string percentEncoded(std::string_view bytes);

} // namespace halvio
