#pragma once
// The check a vendor runs on a catalog before publishing it (update-service --check).

#include "Catalog.h"

#include <vector>

namespace halvio::tools {

// Every fault the service would meet: for each client file, and for clients/default.txt or the
// built-in entry that stands for it, the reply is built and checked as at a request (unreadable lines,
// dates, the updater's refusals), and every listed package must have its file. Each fault once, in the
// order met. Throws CatalogError when a file cannot be read.
std::vector<CatalogFault> checkCatalog(const Catalog& catalog);

} // namespace halvio::tools
