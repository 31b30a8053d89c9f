#pragma once
// What a run of the transfer needs around it: the run harness, a clinic database on the private
// server (open, as the start of the run leaves it), the progress handlers on the HTTP client, the
// extractor with the package password, and encrypted package archives.

#include "FirebirdFixtures.h"
#include "RunHarness.h"
#include "TestDatabase.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace halvio::test {

// The local profile's hosts, as the loopback servers bind them.
inline constexpr const char* kOfficeAddress = "127.0.0.1"; // localhost:18080
inline constexpr const char* kInternalAddress = "127.0.0.2";
inline constexpr int kServicePort = 18080;
inline constexpr const char* kPublicAddress = "127.0.0.1"; // localhost:18081
inline constexpr int kPublicPort = 18081;

using Entries = std::vector<std::pair<std::string, std::string>>;

// An archive as the update service publishes it: every entry encrypted under the password.
std::string packageArchive(const Entries& entries, const std::string& password);
std::string packageArchive(const std::string& content); // one entry, the package password

class InstallFixture : public ::testing::Test, public RunHarness {
protected:
    InstallFixture();
    ~InstallFixture() override;

    // Appends a package row to tmem as the package list would.
    void addPackage(const std::string& nom, const std::string& description = "Description",
                    const std::string& dates = "2024.01.02 03:04:05",
                    std::optional<std::int32_t> taille = 1000);

    std::string updateFolder() const { return programFolder.path() + "/update"; }
    std::string updateFile(const std::string& name) const { return updateFolder() + "/" + name; }

    // Rows of MAJ ordered by NOM: NOM, DESCRIPTION, DATES, FICHIER.
    std::vector<std::vector<std::string>> majRows() const;
    std::string setupStamp() const;
    void sql(const std::string& statement) const;
    std::string sqlValue(const std::string& select) const;

    std::vector<std::string> etats() const;

    TestDatabase clinic;

    static constexpr const char* kOldStamp = "2004.05.11 14:03:22";
};

} // namespace halvio::test
