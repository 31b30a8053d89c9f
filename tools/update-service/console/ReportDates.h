#pragma once
// The strict date texts of a client report and of the console: "yyyy.mm.dd" and "hh:nn[:ss]", two
// digits each but the year, a real calendar day. Text order is time order for these forms.

#include <string>
#include <string_view>

namespace halvio::tools::console {

// "yyyy.mm.dd" naming a day that exists (2004.02.29 does, 2005.02.29 does not).
bool isDayText(std::string_view text);

// "hh:nn" or "hh:nn:ss" on the 24-hour clock.
bool isTimeText(std::string_view text);

// A day text moved by whole days (negative: back). The text must be a day text.
std::string dayPlus(std::string_view day, int days);

} // namespace halvio::tools::console
