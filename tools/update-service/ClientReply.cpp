#include "ClientReply.h"

#include "DateTime.h"
#include "Fonction.h"
#include "ReplyGrammar.h"
#include "TextLines.h"
#include "Windows1252.h"

namespace halvio::tools {

namespace fs = std::filesystem;

namespace {

// The updater's own check of a whole reply: the service refuses exactly what the updater refuses.
std::optional<std::string> refusal(const std::string& body) {
    return replyFault(splitLines(body));
}

std::string refusalReason(const std::string& updaterMessage) {
    return "the updater refuses the reply: " + utf8FromCp1252(updaterMessage);
}

// replyFault names the first reason only, and not the catalog line behind it. Each setting, statement
// and package is put alone into a reply that the updater applies (the built-in entry's settings);
// one that is refused there is the culprit. A refusal that no single part explains (one of the whole
// reply) is given to the entry's file.
void locateRefusal(const ClientEntry& entry, const std::vector<PublishedPackage>& published,
                   const std::vector<OfferedPackage>& offered, const std::string& updaterMessage,
                   std::vector<CatalogFault>& faults) {
    const std::string entryFile = entry.file.empty() ? "(built-in client entry)" : entry.file;
    const ReplySettings neutral = builtInClientEntry().settings;
    const size_t before = faults.size();
    auto probe = [&](const ReplySettings& settings, const std::vector<OfferedPackage>& packages,
                     const std::string& file, size_t line) {
        if (const auto message = refusal(buildPackageListReply(settings, packages)))
            faults.push_back({file, line, refusalReason(*message)});
    };
    ReplySettings one = neutral;
    one.nom = entry.settings.nom;
    probe(one, {}, entryFile, entry.lines.nom);
    one = neutral;
    one.escompte = entry.settings.escompte;
    probe(one, {}, entryFile, entry.lines.escompte);
    one = neutral;
    one.id = entry.settings.id;
    probe(one, {}, entryFile, entry.lines.id);
    for (size_t i = 0; i < entry.settings.statements.size(); ++i) {
        one = neutral;
        one.statements = {entry.settings.statements[i]};
        probe(one, {}, entryFile, entry.lines.statements[i]);
    }
    for (size_t i = 0; i < offered.size(); ++i)
        probe(neutral, {offered[i]}, published[i].file, published[i].line);
    if (faults.size() == before)
        faults.push_back({entryFile, 0, refusalReason(updaterMessage)});
}

} // namespace

bool isPublicationDate(std::string_view text) {
    constexpr std::string_view kForm = "dddd.dd.dd dd:dd:dd";
    const std::string date = ReplaceAll(text, "/", ".");
    if (date.size() != kForm.size())
        return false;
    for (size_t i = 0; i < kForm.size(); ++i) {
        const bool fits = kForm[i] == 'd' ? date[i] >= '0' && date[i] <= '9' : date[i] == kForm[i];
        if (!fits)
            return false;
    }
    return parseDateTime(date).has_value();
}

ClientReply buildClientReply(const Catalog& catalog, const ClientEntry& entry, const PackageList& common) {
    ClientReply reply;
    reply.faults = common.faults;
    reply.faults.insert(reply.faults.end(), entry.faults.begin(), entry.faults.end());

    std::vector<PublishedPackage> published = common.packages;
    published.insert(published.end(), entry.packages.begin(), entry.packages.end());
    std::vector<OfferedPackage> offered;
    for (const PublishedPackage& package : published) {
        if (!isPublicationDate(package.date))
            reply.faults.push_back({package.file, package.line,
                                    "the date \"" + utf8FromCp1252(package.date) +
                                        "\" is not yyyy.mm.dd hh:nn:ss, the form the updater compares"});
        OfferedPackage offer{package.name, package.date, package.description, 0};
        const std::string fileName = Catalog::packageFileName(package.name);
        if (const auto path = catalog.packageFile(fileName))
            offer.size = fs::file_size(*path);
        else
            reply.missingFiles.push_back(
                {fileName, {package.file, package.line, "no package file packages/" + fileName}});
        offered.push_back(std::move(offer));
    }

    reply.body = buildPackageListReply(entry.settings, offered);
    if (const auto message = refusal(reply.body))
        locateRefusal(entry, published, offered, *message, reply.faults);
    reply.offered = std::move(offered);
    return reply;
}

} // namespace halvio::tools
