#include "Catalog.h"

#include "Fonction.h"
#include "TextLines.h"
#include "Windows1252.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace halvio::tools {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
const char* const kDefaultClientFile = "clients/default.txt";

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

// The lines of a catalog file that carry something, numbered from 1, as Windows-1252 bytes. A line
// typed in UTF-8 is converted, or becomes a fault when a character has no byte in the code page:
// serving it as it is would store it garbled in the clinic's database. Detection is per line, so a
// line appended from a UTF-8 terminal to a Windows-1252 file is read right.
struct TextLine {
    size_t number;
    std::string bytes;
};
std::vector<TextLine> textLines(std::string_view bytes, const std::string& file,
                                std::vector<CatalogFault>& faults) {
    if (bytes.starts_with(kUtf8ByteOrderMark))
        bytes.remove_prefix(kUtf8ByteOrderMark.size());
    std::vector<TextLine> lines;
    const std::vector<std::string> split = splitLines(bytes);
    for (size_t i = 0; i < split.size(); ++i) {
        if (isSkipped(split[i]))
            continue;
        if (!isNonAsciiUtf8(split[i])) {
            lines.push_back({i + 1, split[i]});
        } else if (auto converted = exactCp1252FromUtf8(split[i])) {
            lines.push_back({i + 1, std::move(*converted)});
        } else {
            faults.push_back({file, i + 1,
                              "UTF-8 text with a character that Windows-1252 has not (the clinics' "
                              "code page): write it without that character"});
        }
    }
    return lines;
}

std::optional<PublishedPackage> packageLine(const TextLine& line, const std::string& text,
                                            const std::string& file, std::vector<CatalogFault>& faults) {
    PublishedPackage package;
    const size_t first = text.find('|');
    package.name = text.substr(0, first);
    if (first != std::string::npos) {
        const size_t second = text.find('|', first + 1);
        package.date = text.substr(first + 1, second == std::string::npos ? second : second - first - 1);
        if (second != std::string::npos)
            package.description = text.substr(second + 1);
    }
    if (Trimmed(package.name).empty()) {
        faults.push_back({file, line.number, "a package without a name"});
        return std::nullopt;
    }
    package.file = file;
    package.line = line.number;
    return package;
}

void throwFirstFault(const std::vector<CatalogFault>& faults) {
    if (!faults.empty())
        throw CatalogError("line " + std::to_string(faults.front().line) + ": " + faults.front().reason);
}

} // namespace

std::string faultLine(const CatalogFault& fault) {
    if (fault.line == 0)
        return fault.file + ": " + fault.reason;
    return fault.file + ":" + std::to_string(fault.line) + ": " + fault.reason;
}

ClientEntry readClientFile(std::string_view bytes, const std::string& file) {
    ClientEntry entry;
    entry.file = file;
    for (const TextLine& line : textLines(bytes, file, entry.faults)) {
        const size_t equals = line.bytes.find('=');
        if (equals == std::string::npos) {
            entry.faults.push_back({file, line.number, "key=value expected"});
            continue;
        }
        const std::string key = lowerAscii(Trimmed(line.bytes.substr(0, equals)));
        std::string value = line.bytes.substr(equals + 1);
        if (key == "nom") {
            entry.settings.nom = std::move(value);
            entry.lines.nom = line.number;
        } else if (key == "escompte") {
            entry.settings.escompte = std::move(value);
            entry.lines.escompte = line.number;
        } else if (key == "id") {
            entry.settings.id = std::move(value);
            entry.lines.id = line.number;
        } else if (key == "statement") {
            entry.settings.statements.push_back(std::move(value));
            entry.lines.statements.push_back(line.number);
        } else if (key == "package") {
            if (auto package = packageLine(line, value, file, entry.faults))
                entry.packages.push_back(std::move(*package));
        } else {
            entry.faults.push_back({file, line.number, "unknown key " + key});
        }
    }
    return entry;
}

PackageList readPackageList(std::string_view bytes, const std::string& file) {
    PackageList list;
    for (const TextLine& line : textLines(bytes, file, list.faults))
        if (auto package = packageLine(line, line.bytes, file, list.faults))
            list.packages.push_back(std::move(*package));
    return list;
}

ClientEntry parseClientFile(std::string_view bytes) {
    ClientEntry entry = readClientFile(bytes, {});
    throwFirstFault(entry.faults);
    return entry;
}

std::vector<PublishedPackage> parsePackageList(std::string_view bytes) {
    PackageList list = readPackageList(bytes, {});
    throwFirstFault(list.faults);
    return std::move(list.packages);
}

ClientEntry builtInClientEntry() {
    ClientEntry entry;
    entry.settings.id = "0";
    return entry;
}

Catalog::Catalog(fs::path root) : m_root(std::move(root)) {}

ClientEntry Catalog::client(std::string_view code) const {
    if (isPlainFileName(code)) {
        const std::string file = "clients/" + std::string(code) + ".txt";
        if (const auto bytes = readBytes(m_root / file))
            return readClientFile(*bytes, file);
    }
    if (const auto bytes = readBytes(m_root / kDefaultClientFile))
        return readClientFile(*bytes, kDefaultClientFile);
    return builtInClientEntry();
}

std::vector<std::string> Catalog::clientFiles() const {
    std::vector<std::string> files;
    std::error_code error;
    for (fs::directory_iterator it(m_root / "clients", error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (isPlainFileName(name) && name.size() > 4 && name.ends_with(".txt") && it->is_regular_file(error))
            files.push_back("clients/" + name);
    }
    std::sort(files.begin(), files.end());
    return files;
}

ClientEntry Catalog::clientFile(const std::string& file) const {
    const auto bytes = readBytes(m_root / file);
    if (!bytes)
        throw CatalogError("cannot read " + (m_root / file).string());
    return readClientFile(*bytes, file);
}

PackageList Catalog::packageList() const {
    if (const auto bytes = readBytes(m_root / "packages.txt"))
        return readPackageList(*bytes, "packages.txt");
    return {};
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
