#pragma once
// The package list reply that answers a client report: the settings line, the statement line, then
// one line per offered package, every line ended by CR LF. Texts are Windows-1252 bytes, sent as given.

#include <cstdint>
#include <string>
#include <vector>

namespace halvio::tools {

struct ReplySettings {
    std::string nom;
    std::string escompte;
    std::string id;
    std::vector<std::string> statements; // one field of the statement line each, in order
};

struct OfferedPackage {
    std::string name;
    std::string date; // "yyyy.mm.dd hh:nn:ss"
    std::string description;
    std::uint64_t size = 0; // the package file's size in bytes
};

// "nom=N|escompte=E|ID=I", the statements joined by "|", then "nom=..|dates=..|taille=..|description=..".
std::string buildPackageListReply(const ReplySettings& settings, const std::vector<OfferedPackage>& packages);

} // namespace halvio::tools
