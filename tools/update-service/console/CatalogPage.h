#pragma once
// The catalog as the service offers it, read from the catalog folder at each request as the service
// reads it: the packages every clinic gets, what one chosen clinic gets, and the check of every
// catalog file (the same check as update-service --check).

#include <string>
#include <vector>

namespace halvio::tools {
class Catalog;
}

namespace halvio::tools::console {

// chosenCode: the clinic asked for (empty: none yet). knownCodes: the clinics offered for the choice
// besides those that have a client file. A catalog file that cannot be read is said on the page.
std::string catalogPage(const Catalog& catalog, const std::string& chosenCode,
                        const std::vector<std::string>& knownCodes);

} // namespace halvio::tools::console
