#include "PercentEncoding.h"

namespace halvio {

std::string percentEncoded(std::string_view bytes) {
    static constexpr char kHexDigits[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(bytes.size());
    for (char c : bytes) {
        const auto code = static_cast<unsigned char>(c);
        const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                                c == '-' || c == '.' || c == '_' || c == '~';
        if (unreserved) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHexDigits[code >> 4];
            encoded += kHexDigits[code & 15];
        }
    }
    return encoded;
}

} // namespace halvio
