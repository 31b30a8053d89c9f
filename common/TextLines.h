#pragma once
// Lines of text as the system reads and writes them.

#include <string>
#include <string_view>
#include <vector>

namespace halvio {

// Splits at CR LF, a lone CR and a lone LF. A last line without a break counts; a break at the
// very end adds no empty line; a NUL byte ends the text.
std::vector<std::string> splitLines(std::string_view text);

// Every line followed by CR LF, the last one too.
std::string joinCrLfLines(const std::vector<std::string>& lines);

} // namespace halvio
