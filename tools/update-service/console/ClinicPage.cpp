#include "ClinicPage.h"

#include "ConsoleLinks.h"
#include "FaxPlot.h"
#include "HtmlText.h"
#include "PageFrame.h"
#include "PercentEncoding.h"

#include <initializer_list>
#include <utility>

namespace halvio::tools::console {

namespace {

std::string cell(const std::string& value) {
    return "<td>" + escapeHtml(value) + "</td>";
}

std::string addressSection(const ClinicDetail& clinic) {
    const ClinicAddress& a = clinic.address;
    const std::pair<const char*, const std::string*> fields[] = {
        {"Adresse", &a.adres1},     {"Adresse (suite)", &a.adres2}, {"Ville", &a.ville},
        {"Code postal", &a.postal}, {"Province", &a.prov},          {"Région", &a.region},
        {"Téléphone", &a.tel},      {"Téléphone 2", &a.tel2},       {"Télécopieur", &a.fax},
        {"Contact", &a.contact},    {"Courriel", &a.courriel},      {"Mise à jour précédente", &a.maj},
    };
    std::string section = "<h2>Adresse et contacts</h2>\n<dl class=\"adresse\">";
    for (const auto& [label, value] : fields)
        section += std::string("<dt>") + label + "</dt><dd>" + escapeHtml(*value) + "</dd>";
    return section + "</dl>\n";
}

std::string sitesSection(const ClinicDetail& clinic) {
    std::string section = "<h2>Sites</h2>\n";
    if (!clinic.sitesFault.empty())
        return section + "<p class=\"faute\">Sites illisibles : " + escapeHtml(clinic.sitesFault) + "</p>\n";
    if (clinic.sites.empty())
        return section + "<p class=\"vide\">Aucun site dans le dernier rapport.</p>\n";
    section +=
        "<table class=\"sites\"><tr><th>No</th><th>Nom</th><th>Adresse</th><th>Ville</th><th>Télécopieur</th>"
        "<th>Identifiant du télécopieur</th><th>Nom sur les télécopies</th><th>Téléphone sur les "
        "télécopies</th></tr>\n";
    for (const ClinicSite& s : clinic.sites)
        section += "<tr>" + cell(s.id) + cell(s.nom) + cell(s.adresse) + cell(s.ville) + cell(s.fax) +
                   cell(s.faxid) + cell(s.faxnom) + cell(s.faxtel) + "</tr>\n";
    return section + "</table>\n";
}

std::string usersSection(const ClinicDetail& clinic) {
    std::string section = "<h2>Utilisateurs</h2>\n";
    if (clinic.users.empty())
        return section + "<p class=\"vide\">Aucun utilisateur dans le dernier rapport.</p>\n";
    section += "<p>" + std::to_string(clinic.summary.activeUsers) +
               " utilisateur(s) actif(s) dans les 30 derniers jours.</p>\n<table "
               "class=\"utilisateurs\"><tr><th>No</th>"
               "<th>Nom</th><th>Titre</th><th>Vigilance</th><th>Dernier accès</th></tr>\n";
    for (const ClinicUser& u : clinic.users)
        section += "<tr>" + cell(u.id) + cell(u.nom) + cell(u.titre) + cell(u.vigilance) + cell(u.dernacces) +
                   "</tr>\n";
    return section + "</table>\n";
}

std::string faxSection(const ClinicDetail& clinic) {
    std::string section = "<h2>Télécopies envoyées</h2>\n<p>" +
                          std::to_string(clinic.summary.faxesLast30Days) +
                          " télécopie(s) dans les 30 derniers jours.</p>\n";
    const std::string plot = faxPlotSvg(clinic.faxes, clinic.sites);
    return section +
           (plot.empty() ? "<p class=\"vide\">Aucune télécopie dans le dernier rapport.</p>\n" : plot);
}

std::string reportsSection(const ClinicDetail& clinic) {
    std::string section =
        "<h2>Rapports reçus</h2>\n<table class=\"rapports\"><tr><th>Reçu le</th><th>Fichier</th>"
        "<th class=\"n\">Taille (octets)</th><th>État</th></tr>\n";
    for (const ReportEntry& report : clinic.reports) {
        section += "<tr>" + cell(report.receivedAt) + "<td>" + reportDownloadLink(report.fileName) +
                   "</td><td class=\"n\">" + std::to_string(report.size) + "</td>";
        section += report.fault.empty()
                       ? std::string("<td>lu</td>")
                       : "<td class=\"faute\">illisible : " + escapeHtml(report.fault) + "</td>";
        section += "</tr>\n";
    }
    return section + "</table>\n";
}

} // namespace

std::string clinicPage(const ClinicDetail& clinic) {
    const ClinicSummary& s = clinic.summary;
    std::string body = "<p>Code <strong>" + escapeHtml(s.code) + "</strong> — dernier rapport reçu le " +
                       escapeHtml(s.lastReportAt) + " — " + std::to_string(s.reportCount) +
                       " rapport(s) reçu(s) — " + "<a href=\"" + std::string(kCatalogPath) +
                       "?clinique=" + percentEncoded(s.code) + "\">ce que le catalogue lui offre</a></p>\n";
    body += addressSection(clinic) + sitesSection(clinic) + usersSection(clinic) + faxSection(clinic) +
            reportsSection(clinic);
    return htmlPage(s.name.empty() ? "Clinique " + s.code : s.name, body);
}

} // namespace halvio::tools::console
