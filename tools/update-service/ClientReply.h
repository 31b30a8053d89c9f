#pragma once
// The package list reply one client entry gives, checked as the updater will check it: the service
// sends a reply only when the updater would apply it, and names the catalog line behind each fault.

#include "Catalog.h"
#include "ReplyBuilder.h"

#include <string>
#include <string_view>
#include <vector>

namespace halvio::tools {

struct MissingPackageFile {
    std::string fileName; // "halvio.zip"
    CatalogFault fault;   // the line that lists the package
};

struct ClientReply {
    std::string body; // CR LF lines, as sent
    // What keeps the reply from being sent: lines that could not be read, a publication date that is
    // not "yyyy.mm.dd hh:nn:ss", and whatever makes the updater refuse the reply.
    std::vector<CatalogFault> faults;
    // Listed packages without a file: offered with taille 0 all the same (a package's line and its
    // file are put in place one after the other), their download fails until the file is there.
    std::vector<MissingPackageFile> missingFiles;
    // The packages the body offers, in its order: what a signed reply's manifest lists.
    std::vector<OfferedPackage> offered;
};

// The reply to a client with this entry, packages.txt's packages first.
ClientReply buildClientReply(const Catalog& catalog, const ClientEntry& entry, const PackageList& common);

// "yyyy.mm.dd hh:nn:ss" of a real date and time; "/" between the date's parts reads as ".", as the
// updater compares dates.
bool isPublicationDate(std::string_view text);

} // namespace halvio::tools
