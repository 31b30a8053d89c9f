#include "CatalogNames.h"

#include "Catalog.h"
#include "Windows1252.h"

namespace halvio::tools::console {

std::map<std::string, std::string> catalogNames(const Catalog& catalog) {
    constexpr std::string_view kPrefix = "clients/", kSuffix = ".txt";
    std::map<std::string, std::string> names;
    for (const std::string& file : catalog.clientFiles()) {
        const std::string code = file.substr(kPrefix.size(), file.size() - kPrefix.size() - kSuffix.size());
        if (code == "default")
            continue;
        try {
            const ClientEntry entry = catalog.clientFile(file);
            if (!entry.settings.nom.empty())
                names[code] = utf8FromCp1252(entry.settings.nom);
        } catch (const CatalogError&) {
            // The console shows the clinic under its first site's name; --check names the fault.
        }
    }
    return names;
}

} // namespace halvio::tools::console
