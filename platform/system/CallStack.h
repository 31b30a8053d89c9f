#pragma once
// The calling thread's stack as text, for the crash report written beside the program.

#include <string>

namespace halvio::platform {

// One line per frame, innermost first, each "  " + what the system can name of it ("?" when it
// names nothing), ending with a line break. Never throws past a failed lookup.
std::string callStack();

} // namespace halvio::platform
