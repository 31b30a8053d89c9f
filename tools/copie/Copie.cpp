#include "Copie.h"
#include "Files.h"
#include "Fonction.h"

#include <filesystem>
#include <system_error>

namespace halvio::copie {

std::string resolveName(std::string_view name) {
    const std::string given(name);
    if (platform::fileExists(given))
        return given;
    const std::filesystem::path path(given);
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    const std::string wanted = path.filename().string();
    std::error_code error;
    std::string match;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string candidate = entry.path().filename().string();
        // The smallest name wins, so that several matches resolve the same way every time.
        if (equalsIgnoringAsciiCase(candidate, wanted) && !entry.is_directory(error) &&
            (match.empty() || candidate < match))
            match = candidate;
    }
    if (match.empty())
        return given;
    return path.has_parent_path() ? (folder / match).string() : match;
}

} // namespace halvio::copie
