#include "CatalogFixture.h"

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace halvio::test {

namespace fs = std::filesystem;

CatalogFixture::CatalogFixture() : m_root(m_dir.path().toStdString()) {
    fs::create_directories(catalog() / "clients");
    fs::create_directories(catalog() / "packages");
}

void CatalogFixture::writeClient(const std::string& code, const std::string& bytes) const {
    writeBytes(catalog() / "clients" / (code + ".txt"), bytes);
}

void CatalogFixture::writePackageList(const std::string& bytes) const {
    writeBytes(catalog() / "packages.txt", bytes);
}

void CatalogFixture::writePackageFile(const std::string& fileName, const std::string& bytes) const {
    writeBytes(catalog() / "packages" / fileName, bytes);
}

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
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

std::string allByteValues() {
    std::string bytes;
    for (int value = 0; value < 256; ++value)
        bytes += static_cast<char>(value);
    return bytes;
}

} // namespace halvio::test
