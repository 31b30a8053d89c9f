#include "CallStack.h"

#include <execinfo.h>

#include <cstdlib>

namespace halvio::platform {

namespace {
// Deep enough to reach from a handler down to main through Qt's event dispatch.
constexpr int kMaxFrames = 48;
} // namespace

std::string callStack() {
    void* frames[kMaxFrames];
    const int count = backtrace(frames, kMaxFrames);
    char** symbols = backtrace_symbols(frames, count);
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += "  ";
        text += symbols != nullptr ? symbols[i] : "?";
        text += "\n";
    }
    std::free(symbols);
    return text;
}

} // namespace halvio::platform
