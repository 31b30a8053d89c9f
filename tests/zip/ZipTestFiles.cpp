#include "ZipTestFiles.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace halvio::test {

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::string noiseBytes(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(generator() & 0xFF);
    return bytes;
}

bool processHoldsFile(const std::string& path) {
    namespace fs = std::filesystem;
    const fs::path target = fs::canonical(path);
    for (const auto& fd : fs::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const fs::path linked = fs::read_symlink(fd.path(), error);
        if (!error && linked == target)
            return true;
    }
    return false;
}

} // namespace halvio::test
