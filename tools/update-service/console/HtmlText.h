#pragma once
// The few text forms the console's pages put values in. Every value a page shows comes from a clinic's
// report or the vendor's catalog: it goes through one of these before it reaches the markup.

#include <cstdint>
#include <string>
#include <string_view>

namespace halvio::tools::console {

// The text as HTML character data or as the value of a quoted attribute: & < > " ' become entities,
// and the C0 controls but tab and line breaks, which no page means to show, become U+FFFD.
std::string escapeHtml(std::string_view text);

// A whole number with a narrow no-break space between thousands, as French writes it: 12 345.
std::string frenchNumber(std::uint64_t value);

} // namespace halvio::tools::console
