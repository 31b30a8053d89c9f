#pragma once
// The frame every console page shares: the document head with its few inline styles (the console
// fetches nothing, from the internet or from itself, beyond the page), the navigation and the title.

#include <string>
#include <string_view>

namespace halvio::tools::console {

// title: plain text, escaped here. body: markup, already escaped by the page that made it.
std::string htmlPage(std::string_view title, std::string_view body);

// A page that only says what went wrong (a clinic or report that is not there).
std::string messagePage(std::string_view title, std::string_view message);

} // namespace halvio::tools::console
