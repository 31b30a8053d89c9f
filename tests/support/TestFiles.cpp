#include "TestFiles.h"

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace halvio::test {

std::string readBytes(const std::filesystem::path& path) {
    std::optional<std::string> bytes = readBytesIfAny(path);
    if (!bytes)
        throw std::runtime_error("cannot read " + path.string());
    return std::move(*bytes);
}

std::optional<std::string> readBytesIfAny(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeBytes(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

std::string noiseBytes(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(generator() & 0xFF);
    return bytes;
}

std::string allByteValues(int rounds) {
    std::string bytes;
    for (int round = 0; round < rounds; ++round)
        for (int value = 0; value < 256; ++value)
            bytes += static_cast<char>(value);
    return bytes;
}

} // namespace halvio::test
