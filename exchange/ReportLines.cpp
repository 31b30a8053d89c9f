#include "ReportLines.h"

#include "Fonction.h"
#include "TextLines.h"

namespace halvio {

namespace {
std::string quotedTrimmed(std::string_view value) {
    return Quoted(Trimmed(value));
}
} // namespace

std::string majReportText(const DateTime& maj) {
    return DefaultDateTimeText(addDays(maj, -1));
}

bool isNewClient(std::string_view client) {
    return Trimmed(client) == "NOUVEAU";
}

std::optional<std::string> addressStatement(const AddressFields& f) {
    if (isNewClient(f.client))
        return std::nullopt;
    std::string sql = "update client set adres1=" + quotedTrimmed(f.adres1);
    const std::pair<const char*, const std::string*> columns[] = {
        {"adres2=", &f.adres2},   {"ville=", &f.ville},      {"postal=", &f.postal}, {"PROV=", &f.prov},
        {"REGION=", &f.region},   {"TEL=", &f.tel},          {"TEL2=", &f.tel2},     {"FAX=", &f.fax},
        {"CONTACT=", &f.contact}, {"COURRIEL=", &f.courriel}};
    for (const auto& [key, value] : columns)
        sql += std::string(",") + key + quotedTrimmed(*value);
    sql += ",MAJ=" + quotedTrimmed(majReportText(f.maj));
    // The code keeps its CHAR padding: the service's own table stores it that way.
    sql += " WHERE CODE=" + Quoted(f.client);
    return sql;
}

std::optional<std::string> faxLine(const std::vector<FaxCount>& rows) {
    if (rows.empty())
        return std::nullopt;
    std::string line = "FAX=";
    for (const auto& row : rows)
        line += row.site + "~" + row.dates + "~" + row.qte + "|";
    return line;
}

std::optional<std::string> siteLine(const std::vector<SiteRow>& rows) {
    if (rows.empty())
        return std::nullopt;
    std::string line = "SITE=";
    for (const auto& row : rows) {
        line += row.id;
        for (const std::string* value :
             {&row.nom, &row.adresse, &row.ville, &row.fax, &row.faxid, &row.faxnom, &row.faxtel})
            line += "~" + Trimmed(*value);
        line += "|";
    }
    return line;
}

std::string userLine(const UserRow& row) {
    std::string line = "id=" + row.id + "|nom=" + Trimmed(row.recherche) + "|titre=" + Trimmed(row.titre) +
                       "|vigilance=" + row.acces25;
    if (row.dernacces)
        line += "|Dernacces=" + *row.dernacces;
    return line;
}

FaxDateWindow faxDateWindow(const DateTime& now) {
    return {DateToText(addMonths(now, -3)), DateToText(addDays(now, -1))};
}

std::string substrDeclaration() {
    return "DECLARE EXTERNAL FUNCTION SUBSTR CSTRING(80), SMALLINT, SMALLINT RETURNS CSTRING(80) FREE_IT  "
           "ENTRY_POINT 'IB_UDF_substr' MODULE_NAME 'ib_udf' ";
}

std::string faxStatisticsQuery(const FaxDateWindow& window) {
    return "select site,substr(dates,1,10) as dates,count(*) as qte  from fax  where ( dates>" +
           Quoted(window.lower) + " and dates <" + Quoted(window.upper) +
           " ) and onglet='envoyes' group by site,substr(dates,1,10) ";
}

std::string reportBody(const std::vector<std::string>& lines) {
    return joinCrLfLines(lines);
}

} // namespace halvio
