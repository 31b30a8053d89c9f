#pragma once
// What a run of the transfer needs around it: a program folder, a clinic database on the private
// server (open, as the start of the run leaves it), the model, the HTTP clients with the progress
// handlers, the extractor with the package password, and encrypted package archives.

#include "FirebirdFixtures.h"
#include "HttpClient.h"
#include "Model.h"
#include "RecordingView.h"
#include "RunContext.h"
#include "TestDatabase.h"
#include "ZipReader.h"

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

std::string readFileBytes(const std::string& path);
void writeFileBytes(const std::string& path, const std::string& bytes);

// Deterministic bytes that deflate cannot shrink.
std::string noise(size_t size, unsigned seed);

// A RecordingView that also lets a test look at the world when a given line is logged.
class TransferView : public RecordingView {
public:
    void appendLog(std::string_view text) override {
        RecordingView::appendLog(text);
        if (onLog)
            onLog(std::string(text));
    }
    std::function<void(const std::string& line)> onLog;
};

class InstallFixture : public ::testing::Test {
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

    TempFolder programFolder;
    TestDatabase clinic;
    TransferView view;
    Model model{view};
    // Limits short enough that a host that stalls on purpose costs a test about two seconds.
    platform::HttpClient http{platform::HttpClient::Options{.connectTimeLimit = std::chrono::seconds(2),
                                                            .stallLimit = std::chrono::seconds(2)}};
    platform::HttpClient httplocal{platform::HttpClient::Options{false}};
    platform::ZipReader uz;
    RunContext run{
        view, model, http, httplocal, uz, programFolder.file("maj_kliso.exe"), programFolder.path() + "/",
        0,    {},    {},   {}};

    static constexpr const char* kOldStamp = "2004.05.11 14:03:22";
};

} // namespace halvio::test
