#pragma once
// Shared bits of the HTTP client tests.

#include <string>

namespace halvio::test {

// Every byte value, control characters and Windows-1252 letters included, `rounds` times.
inline std::string allByteValues(int rounds = 1) {
    std::string bytes;
    for (int round = 0; round < rounds; ++round)
        for (int value = 0; value < 256; ++value)
            bytes += static_cast<char>(value);
    return bytes;
}

} // namespace halvio::test
