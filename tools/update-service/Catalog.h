#pragma once
// The update service's catalog folder (layout in README.md): client settings, the published package
// list and the package files. Files are read as Windows-1252 bytes on every request, so a package
// published while the service runs is offered at once.

#include "ReplyBuilder.h"

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace halvio::tools {

class CatalogError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct PublishedPackage {
    std::string name;
    std::string date;
    std::string description;
};

struct ClientEntry {
    ReplySettings settings;
    std::vector<PublishedPackage> packages; // offered to this client after the common list
};

// "key=value" lines: nom, escompte, ID (keys in any case; a later line replaces an earlier one),
// statement and package (repeatable, kept in order). Blank lines and lines starting with "#" are
// skipped. Throws CatalogError naming the line for an unknown key or a line without "=".
ClientEntry parseClientFile(std::string_view bytes);

// "NAME|DATE|DESCRIPTION" lines (the description may be missing, and is everything after the second
// "|"). Blank lines and lines starting with "#" are skipped. Throws CatalogError for an empty name.
std::vector<PublishedPackage> parsePackageList(std::string_view bytes);

class Catalog {
public:
    explicit Catalog(std::filesystem::path root);

    const std::filesystem::path& root() const { return m_root; }

    // clients/<code>.txt, else clients/default.txt; empty when neither exists. A code that is no plain
    // file name gets the default.
    std::optional<ClientEntry> client(std::string_view code) const;

    // packages.txt, then the client's own packages; each with its file's size, 0 when the file is
    // missing (missingFiles then names it).
    std::vector<OfferedPackage> offeredPackages(const ClientEntry& client,
                                                std::vector<std::string>* missingFiles = nullptr) const;

    // packages/<fileName> when the name is a plain "*.zip" file name and the file exists.
    std::optional<std::filesystem::path> packageFile(std::string_view fileName) const;

    // The file a package is published as: its name in lower case with ".zip".
    static std::string packageFileName(std::string_view packageName);

private:
    std::filesystem::path m_root;
};

} // namespace halvio::tools
