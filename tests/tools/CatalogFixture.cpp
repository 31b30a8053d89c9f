#include "CatalogFixture.h"

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

} // namespace halvio::test
