#include "ClinicListPage.h"

#include "ConsoleLinks.h"
#include "FaxPlot.h"
#include "HtmlText.h"
#include "PageFrame.h"
#include "PercentEncoding.h"

namespace halvio::tools::console {

namespace {

struct Column {
    ClinicColumn column;
    const char* key;
    const char* heading;
    bool numeric;
};

const Column kColumns[] = {
    {ClinicColumn::Code, "code", "Code", false},
    {ClinicColumn::Name, "nom", "Nom", false},
    {ClinicColumn::City, "ville", "Ville", false},
    {ClinicColumn::LastReport, "rapport", "Dernier rapport", false},
    {ClinicColumn::ReportCount, "rapports", "Rapports reçus", true},
    {ClinicColumn::ActiveUsers, "actifs", "Utilisateurs actifs (30 jours)", true},
    {ClinicColumn::Faxes, "fax", "Télécopies (30 jours)", true},
};

const Column& columnOf(ClinicColumn column) {
    for (const Column& known : kColumns)
        if (known.column == column)
            return known;
    return kColumns[0];
}

std::string queryString(const ClinicQuery& query, ClinicColumn sortBy, bool descending) {
    std::string text =
        "?tri=" + std::string(columnOf(sortBy).key) + "&amp;ordre=" + (descending ? "desc" : "asc");
    if (!query.search.empty())
        text += "&amp;q=" + percentEncoded(query.search);
    return text;
}

// A heading links to the list sorted by its column; the sorted column's link turns the order round.
std::string headingRow(const ClinicQuery& query) {
    std::string row = "<tr>";
    for (const Column& column : kColumns) {
        const bool sorted = column.column == query.sortBy;
        const bool descending = sorted ? !query.descending : column.numeric;
        row += std::string("<th") + (column.numeric ? " class=\"n\"" : "") + "><a href=\"/" +
               queryString(query, column.column, descending) + "\">" + column.heading;
        if (sorted)
            row += query.descending ? " ▼" : " ▲";
        row += "</a></th>";
    }
    return row + "</tr>\n";
}

std::string clinicRow(const ClinicSummary& clinic) {
    return "<tr><td><a href=\"" + clinicLink(clinic.code) + "\">" + escapeHtml(clinic.code) +
           "</a></td><td>" + escapeHtml(clinic.name) + "</td><td>" + escapeHtml(clinic.city) + "</td><td>" +
           escapeHtml(clinic.lastReportAt) + "</td><td class=\"n\">" + std::to_string(clinic.reportCount) +
           "</td><td class=\"n\">" + std::to_string(clinic.activeUsers) + "</td><td class=\"n\">" +
           std::to_string(clinic.faxesLast30Days) + "</td></tr>\n";
}

std::string searchForm(const ClinicQuery& query) {
    const Column& sorted = columnOf(query.sortBy);
    return "<form method=\"get\" action=\"/\"><label>Rechercher (code, nom ou ville) : <input "
           "type=\"search\" "
           "name=\"q\" value=\"" +
           escapeHtml(query.search) + "\"></label> <input type=\"hidden\" name=\"tri\" value=\"" +
           sorted.key + "\"><input type=\"hidden\" name=\"ordre\" value=\"" +
           (query.descending ? "desc" : "asc") + "\"><button type=\"submit\">Rechercher</button>" +
           (query.search.empty() ? std::string() : " <a href=\"/\">Tout afficher</a>") + "</form>\n";
}

std::string unreadableSection(const std::vector<ReportEntry>& unreadable) {
    std::string section = "<h2 id=\"illisibles\">Rapports illisibles</h2>\n";
    if (unreadable.empty())
        return section + "<p class=\"vide\">Aucun rapport illisible.</p>\n";
    section += "<table class=\"illisibles\"><tr><th>Reçu le</th><th>Fichier</th><th class=\"n\">Taille "
               "(octets)</th><th>Raison</th></tr>\n";
    for (const ReportEntry& report : unreadable)
        section += "<tr><td>" + escapeHtml(report.receivedAt) + "</td><td>" +
                   reportDownloadLink(report.fileName) + "</td><td class=\"n\">" +
                   std::to_string(report.size) + "</td><td class=\"faute\">" + escapeHtml(report.fault) +
                   "</td></tr>\n";
    return section + "</table>\n";
}

std::string latestPlot(const ClinicDetail& latest) {
    const std::string plot = faxPlotSvg(latest.faxes, latest.sites);
    const std::string who = latest.summary.name.empty() ? latest.summary.code : latest.summary.name;
    std::string section = "<h2>Télécopies de <a href=\"" + clinicLink(latest.summary.code) + "\">" +
                          escapeHtml(who) + "</a>, dernier rapport reçu (" +
                          escapeHtml(latest.summary.lastReportAt) + ")</h2>\n";
    return section + (plot.empty() ? "<p class=\"vide\">Aucune télécopie dans ce rapport.</p>\n" : plot);
}

} // namespace

ClinicQuery clinicQueryFromParameters(const std::string& search, const std::string& sortKey,
                                      const std::string& order, const std::string& today) {
    ClinicQuery query;
    query.search = search;
    query.today = today;
    for (const Column& column : kColumns)
        if (sortKey == column.key)
            query.sortBy = column.column;
    query.descending = order == "desc";
    return query;
}

std::string clinicListPage(const ClinicListView& view) {
    std::string body = searchForm(view.query);
    if (view.clinics.empty()) {
        body += view.query.search.empty()
                    ? "<p class=\"vide\">Aucune clinique n’a encore envoyé de rapport.</p>\n"
                    : "<p class=\"vide\">Aucune clinique ne correspond à la recherche.</p>\n";
    } else {
        body += "<table class=\"cliniques\">\n" + headingRow(view.query);
        for (const ClinicSummary& clinic : view.clinics)
            body += clinicRow(clinic);
        body += "</table>\n<p>" + std::to_string(view.clinics.size()) +
                (view.clinics.size() == 1 ? " clinique" : " cliniques") + ".</p>\n";
    }
    if (view.latest)
        body += latestPlot(*view.latest);
    body += unreadableSection(view.unreadable);
    return htmlPage("Cliniques", body);
}

} // namespace halvio::tools::console
