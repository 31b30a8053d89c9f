#include "CatalogPage.h"

#include "Catalog.h"
#include "CatalogCheck.h"
#include "ClientReply.h"
#include "ConsoleLinks.h"
#include "HtmlText.h"
#include "PageFrame.h"
#include "Windows1252.h"

#include <algorithm>
#include <filesystem>
#include <set>

namespace halvio::tools::console {

namespace {

// Catalog texts are the system's Windows-1252 bytes.
std::string shown(const std::string& cp1252) {
    return escapeHtml(utf8FromCp1252(cp1252));
}

std::string packageFileCell(const Catalog& catalog, const std::string& name) {
    const std::string fileName = Catalog::packageFileName(name);
    const auto path = catalog.packageFile(fileName);
    std::error_code error;
    if (!path)
        return "<td class=\"faute\">" + escapeHtml(fileName) + " manquant</td>";
    const auto size = std::filesystem::file_size(*path, error);
    return "<td>" + escapeHtml(fileName) + " (" + (error ? std::string("?") : frenchNumber(size)) +
           " octets)</td>";
}

std::string commonSection(const Catalog& catalog, const PackageList& common) {
    std::string section = "<h2>Paquets offerts à toutes les cliniques</h2>\n";
    if (common.packages.empty())
        return section + "<p class=\"vide\">packages.txt ne publie aucun paquet.</p>\n";
    section += "<table class=\"communs\"><tr><th>Nom</th><th>Publié "
               "le</th><th>Description</th><th>Fichier</th></tr>\n";
    for (const PublishedPackage& p : common.packages)
        section += "<tr><td>" + shown(p.name) + "</td><td>" + shown(p.date) + "</td><td>" +
                   shown(p.description) + "</td>" + packageFileCell(catalog, p.name) + "</tr>\n";
    return section + "</table>\n";
}

std::string choiceForm(const Catalog& catalog, const std::string& chosenCode,
                       const std::vector<std::string>& known) {
    std::set<std::string> codes(known.begin(), known.end());
    for (const std::string& file : catalog.clientFiles()) {
        const std::string code = file.substr(8, file.size() - 12); // "clients/" CODE ".txt"
        if (code != "default")
            codes.insert(code);
    }
    if (!chosenCode.empty())
        codes.insert(chosenCode);
    std::string form = "<form method=\"get\" action=\"" + std::string(kCatalogPath) +
                       "\"><label>Clinique : <select name=\"clinique\">";
    for (const std::string& code : codes)
        form += "<option" + std::string(code == chosenCode ? " selected" : "") + " value=\"" +
                escapeHtml(code) + "\">" + escapeHtml(code) + "</option>";
    return form + "</select></label> <button type=\"submit\">Afficher</button></form>\n";
}

std::string clinicSection(const Catalog& catalog, const PackageList& common, const std::string& code) {
    // The code is what the browser sent, UTF-8; the catalog names clients as their reports do.
    const ClientEntry entry = catalog.client(cp1252FromUtf8(code));
    std::string section = "<p>Entrée de la clinique <strong>" + escapeHtml(code) + "</strong> : " +
                          (entry.file.empty() ? std::string("l’entrée intégrée (aucun fichier clients/)")
                                              : escapeHtml(entry.file)) +
                          " — nom « " + shown(entry.settings.nom) + " », escompte « " +
                          shown(entry.settings.escompte) + " », ID « " + shown(entry.settings.id) + " », " +
                          std::to_string(entry.settings.statements.size()) + " instruction(s) SQL.</p>\n";
    const ClientReply reply = buildClientReply(catalog, entry, common);
    if (!reply.faults.empty()) {
        section += "<p class=\"faute\">Cette clinique reçoit une erreur 500 au lieu de la liste des paquets "
                   ":</p>\n<ul>";
        for (const CatalogFault& fault : reply.faults)
            section += "<li class=\"faute\">" + escapeHtml(faultLine(fault)) + "</li>";
        section += "</ul>\n";
    }
    section += "<table class=\"clinique\"><tr><th>Nom</th><th>Publié le</th><th>Description</th><th "
               "class=\"n\">Taille "
               "(octets)</th><th>Offert par</th></tr>\n";
    const size_t commonCount = common.packages.size();
    for (size_t i = 0; i < reply.offered.size(); ++i) {
        const OfferedPackage& p = reply.offered[i];
        section += "<tr><td>" + shown(p.name) + "</td><td>" + shown(p.date) + "</td><td>" +
                   shown(p.description) + "</td><td class=\"n\">" + frenchNumber(p.size) + "</td><td>" +
                   (i < commonCount ? "packages.txt" : escapeHtml(entry.file)) + "</td></tr>\n";
    }
    return section + "</table>\n";
}

std::string checkSection(const Catalog& catalog) {
    const std::vector<CatalogFault> faults = checkCatalog(catalog);
    std::vector<std::string> files = {"packages.txt"};
    for (const std::string& file : catalog.clientFiles())
        files.push_back(file);
    for (const CatalogFault& fault : faults)
        if (std::find(files.begin(), files.end(), fault.file) == files.end())
            files.push_back(fault.file);
    std::string section =
        "<h2>Vérification du catalogue</h2>\n<table class=\"verification\"><tr><th>Fichier</th>"
        "<th>Résultat</th></tr>\n";
    for (const std::string& file : files) {
        std::string result;
        for (const CatalogFault& fault : faults)
            if (fault.file == file)
                result += "<li>" +
                          (fault.line == 0 ? std::string() : "ligne " + std::to_string(fault.line) + " : ") +
                          escapeHtml(fault.reason) + "</li>";
        section += "<tr><td>" + escapeHtml(file) + "</td>" +
                   (result.empty() ? std::string("<td>aucun défaut</td>")
                                   : "<td class=\"faute\"><ul>" + result + "</ul></td>") +
                   "</tr>\n";
    }
    return section + "</table>\n";
}

} // namespace

std::string catalogPage(const Catalog& catalog, const std::string& chosenCode,
                        const std::vector<std::string>& knownCodes) {
    std::string body;
    try {
        const PackageList common = catalog.packageList();
        body += commonSection(catalog, common);
        body += "<h2>Paquets offerts à une clinique</h2>\n" + choiceForm(catalog, chosenCode, knownCodes);
        if (!chosenCode.empty())
            body += clinicSection(catalog, common, chosenCode);
        body += checkSection(catalog);
    } catch (const CatalogError& error) {
        body +=
            "<p class=\"faute\">Le catalogue ne peut pas être lu : " + escapeHtml(error.what()) + "</p>\n";
    }
    return htmlPage("Catalogue", body);
}

} // namespace halvio::tools::console
