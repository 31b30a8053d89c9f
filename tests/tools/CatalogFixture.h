#pragma once
// A catalog folder and a reports folder in a temporary directory, and helpers to fill them.

#include "TestFiles.h"

#include <QTemporaryDir>

#include <filesystem>
#include <string>

namespace halvio::test {

class CatalogFixture {
public:
    CatalogFixture();

    std::filesystem::path catalog() const { return m_root / "catalog"; }
    std::filesystem::path reports() const { return m_root / "reports"; }
    std::filesystem::path path(const std::string& name) const { return m_root / name; }

    void writeClient(const std::string& code, const std::string& bytes) const;
    void writePackageList(const std::string& bytes) const;
    void writePackageFile(const std::string& fileName, const std::string& bytes) const;

private:
    QTemporaryDir m_dir;
    std::filesystem::path m_root;
};

} // namespace halvio::test
