#pragma once
// The update service's catalog folder (layout in README.md): client settings, the published package
// list and the package files. Files are read on every request, so a package published while the
// service runs is offered at once. Texts come out as Windows-1252 bytes: a line typed in UTF-8 is
// converted when every character has a byte in that code page, and refused otherwise.

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

// A fault of the catalog: the file relative to the catalog folder, the line (1 and up; 0 for the file
// as a whole) and the reason, in UTF-8 for the vendor's terminal.
struct CatalogFault {
    std::string file;
    size_t line = 0;
    std::string reason;

    friend bool operator==(const CatalogFault&, const CatalogFault&) = default;
};

// "file:line: reason", or "file: reason" for the file as a whole.
std::string faultLine(const CatalogFault& fault);

struct PublishedPackage {
    std::string name;
    std::string date;
    std::string description;
    std::string file; // where the package line was read
    size_t line = 0;
};

// Where each setting of a client entry was read; 0 for one the file does not give.
struct SettingLines {
    size_t nom = 0;
    size_t escompte = 0;
    size_t id = 0;
    std::vector<size_t> statements; // one per statement, in order
};

struct ClientEntry {
    std::string file; // "clients/<CODE>.txt", "clients/default.txt", empty for the built-in entry
    ReplySettings settings;
    SettingLines lines;
    std::vector<PublishedPackage> packages; // offered to this client after the common list
    std::vector<CatalogFault> faults;       // lines that could not be read; the entry is not to be served
};

struct PackageList {
    std::vector<PublishedPackage> packages;
    std::vector<CatalogFault> faults;
};

// "key=value" lines: nom, escompte, ID (keys in any case; a later line replaces an earlier one),
// statement and package (repeatable, kept in order). Blank lines and lines starting with "#" are
// skipped. A line without "=", an unknown key, a package without a name and a UTF-8 line with a
// character that Windows-1252 has not are faults of the entry; the other lines are still read.
ClientEntry readClientFile(std::string_view bytes, const std::string& file);

// "NAME|DATE|DESCRIPTION" lines (the description may be missing, and is everything after the second
// "|"). Blank lines and lines starting with "#" are skipped; a package without a name is a fault.
PackageList readPackageList(std::string_view bytes, const std::string& file);

// The two readers for a file that has to be whole: they throw CatalogError "line N: reason" for the
// first fault.
ClientEntry parseClientFile(std::string_view bytes);
std::vector<PublishedPackage> parsePackageList(std::string_view bytes);

// The entry of a client when the catalog has neither its file nor clients/default.txt: empty name
// and discount, ID 0 (the updater refuses an empty ID), no statement, no package of its own.
ClientEntry builtInClientEntry();

class Catalog {
public:
    explicit Catalog(std::filesystem::path root);

    const std::filesystem::path& root() const { return m_root; }

    // clients/<code>.txt, else clients/default.txt, else the built-in entry. A code that is no plain
    // file name gets the default. Throws CatalogError when a file exists but cannot be read.
    ClientEntry client(std::string_view code) const;

    // The files under clients/ that a code can reach ("clients/<CODE>.txt"), in byte order.
    std::vector<std::string> clientFiles() const;

    // One of clientFiles(), read. Throws CatalogError when it cannot be read.
    ClientEntry clientFile(const std::string& file) const;

    // packages.txt; an empty list when the file is missing.
    PackageList packageList() const;

    // packages/<fileName> when the name is a plain "*.zip" file name and the file exists.
    std::optional<std::filesystem::path> packageFile(std::string_view fileName) const;

    // The file a package is published as: its name in lower case with ".zip".
    static std::string packageFileName(std::string_view packageName);

private:
    std::filesystem::path m_root;
};

} // namespace halvio::tools
