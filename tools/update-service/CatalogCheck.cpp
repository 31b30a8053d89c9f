#include "CatalogCheck.h"

#include "ClientReply.h"

#include <algorithm>

namespace halvio::tools {

std::vector<CatalogFault> checkCatalog(const Catalog& catalog) {
    std::vector<ClientEntry> entries;
    const std::vector<std::string> files = catalog.clientFiles();
    for (const std::string& file : files)
        entries.push_back(catalog.clientFile(file));
    if (std::find(files.begin(), files.end(), "clients/default.txt") == files.end())
        entries.push_back(builtInClientEntry());

    const PackageList common = catalog.packageList();
    std::vector<CatalogFault> faults;
    auto add = [&faults](const CatalogFault& fault) {
        if (std::find(faults.begin(), faults.end(), fault) == faults.end())
            faults.push_back(fault);
    };
    for (const ClientEntry& entry : entries) {
        const ClientReply reply = buildClientReply(catalog, entry, common);
        for (const CatalogFault& fault : reply.faults)
            add(fault);
        for (const MissingPackageFile& missing : reply.missingFiles)
            add(missing.fault);
    }
    return faults;
}

} // namespace halvio::tools
