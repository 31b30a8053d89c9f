#include "SearchFold.h"

#include "Windows1252.h"

namespace halvio::tools::console {

std::string searchFold(std::string_view utf8) {
    std::string bytes = cp1252FromUtf8(utf8);
    for (char& c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDE && b != 0xD7))
            c = static_cast<char>(b + 0x20);
        else if (b == 0x8A || b == 0x8C || b == 0x8E) // Š Œ Ž
            c = static_cast<char>(b + 0x10);
        else if (b == 0x9F) // Ÿ
            c = static_cast<char>(0xFF);
    }
    return utf8FromCp1252(bytes);
}

} // namespace halvio::tools::console
