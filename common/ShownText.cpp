#include "ShownText.h"

namespace halvio {

std::string withControlsShown(std::string_view value) {
    std::string shown(value);
    for (char& c : shown) {
        const auto code = static_cast<unsigned char>(c);
        if (code < 32 || code == 127)
            c = '?';
    }
    return shown;
}

} // namespace halvio
