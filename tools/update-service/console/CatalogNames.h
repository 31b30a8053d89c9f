#pragma once
// The clinics' names as the service's client entries give them, for the console's list.

#include <map>
#include <string>

namespace halvio::tools {
class Catalog;
}

namespace halvio::tools::console {

// "nom" of every clients/<CODE>.txt, by CODE, in UTF-8; an entry without a name, or that cannot be
// read, gives none. clients/default.txt names no clinic: every clinic without its own entry would
// bear that one name, so such a clinic keeps its first site's name in the console.
std::map<std::string, std::string> catalogNames(const Catalog& catalog);

} // namespace halvio::tools::console
