#include "Catalog.h"

#include "Fonction.h"
#include "TextLines.h"

#include <fstream>
#include <sstream>

namespace halvio::tools {

namespace fs = std::filesystem;

namespace {

bool isSkipped(const std::string& line) {
    return Trimmed(line).empty() || line.front() == '#';
}

// A name that stays inside its folder: no separator, no NUL, not hidden, not "." or "..".
bool isPlainFileName(std::string_view name) {
    return !name.empty() && name.front() != '.' &&
           name.find_first_of(std::string_view("/\\\0", 3)) == name.npos;
}

std::optional<std::string> readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad())
        throw CatalogError("cannot read " + path.string());
    return bytes.str();
}

PublishedPackage parsePackageLine(const std::string& line) {
    PublishedPackage package;
    const size_t first = line.find('|');
    package.name = line.substr(0, first);
    if (first != std::string::npos) {
        const size_t second = line.find('|', first + 1);
        package.date = line.substr(first + 1, second == std::string::npos ? second : second - first - 1);
        if (second != std::string::npos)
            package.description = line.substr(second + 1);
    }
    if (Trimmed(package.name).empty())
        throw CatalogError("a package without a name: " + line);
    return package;
}

} // namespace

ClientEntry parseClientFile(std::string_view bytes) {
    ClientEntry entry;
    const std::vector<std::string> lines = splitLines(bytes);
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (isSkipped(line))
            continue;
        const std::string where = "line " + std::to_string(i + 1);
        const size_t equals = line.find('=');
        if (equals == std::string::npos)
            throw CatalogError(where + ": key=value expected");
        const std::string key = lowerAscii(Trimmed(line.substr(0, equals)));
        const std::string value = line.substr(equals + 1);
        if (key == "nom")
            entry.settings.nom = value;
        else if (key == "escompte")
            entry.settings.escompte = value;
        else if (key == "id")
            entry.settings.id = value;
        else if (key == "statement")
            entry.settings.statements.push_back(value);
        else if (key == "package") {
            try {
                entry.packages.push_back(parsePackageLine(value));
            } catch (const CatalogError& error) {
                throw CatalogError(where + ": " + error.what());
            }
        } else
            throw CatalogError(where + ": unknown key " + key);
    }
    return entry;
}

std::vector<PublishedPackage> parsePackageList(std::string_view bytes) {
    std::vector<PublishedPackage> packages;
    for (const std::string& line : splitLines(bytes))
        if (!isSkipped(line))
            packages.push_back(parsePackageLine(line));
    return packages;
}

Catalog::Catalog(fs::path root) : m_root(std::move(root)) {}

std::optional<ClientEntry> Catalog::client(std::string_view code) const {
    std::optional<std::string> bytes;
    std::string file;
    if (isPlainFileName(code)) {
        file = "clients/" + std::string(code) + ".txt";
        bytes = readBytes(m_root / file);
    }
    if (!bytes) {
        file = "clients/default.txt";
        bytes = readBytes(m_root / file);
    }
    if (!bytes)
        return std::nullopt;
    try {
        return parseClientFile(*bytes);
    } catch (const CatalogError& error) {
        throw CatalogError(file + ", " + error.what());
    }
}

std::vector<OfferedPackage> Catalog::offeredPackages(const ClientEntry& client,
                                                     std::vector<std::string>* missingFiles) const {
    std::vector<PublishedPackage> published;
    if (const auto common = readBytes(m_root / "packages.txt")) {
        try {
            published = parsePackageList(*common);
        } catch (const CatalogError& error) {
            throw CatalogError(std::string("packages.txt: ") + error.what());
        }
    }
    published.insert(published.end(), client.packages.begin(), client.packages.end());

    std::vector<OfferedPackage> offered;
    for (const PublishedPackage& package : published) {
        OfferedPackage offer{package.name, package.date, package.description, 0};
        const std::string fileName = packageFileName(package.name);
        if (const auto path = packageFile(fileName))
            offer.size = fs::file_size(*path);
        else if (missingFiles)
            missingFiles->push_back(fileName);
        offered.push_back(std::move(offer));
    }
    return offered;
}

std::optional<fs::path> Catalog::packageFile(std::string_view fileName) const {
    if (!isPlainFileName(fileName) || fileName.size() <= 4 || !fileName.ends_with(".zip"))
        return std::nullopt;
    fs::path path = m_root / "packages" / std::string(fileName);
    std::error_code error;
    if (!fs::is_regular_file(path, error))
        return std::nullopt;
    return path;
}

std::string Catalog::packageFileName(std::string_view packageName) {
    return lowerAscii(packageName) + ".zip";
}

} // namespace halvio::tools
