// The reads of the console: each one answers from the index alone.
#include "ReportIndex.h"

#include "IndexSchema.h"
#include "ReportDates.h"
#include "SearchFold.h"
#include "SqliteDatabase.h"
#include "StoredReportName.h"

#include <stdexcept>

namespace halvio::tools::console {

namespace {

// ?1 and ?2: the 30-day window; ?3: the folded search text, "" for all; ?4: one code, "" for all.
constexpr const char* kClinicList = R"sql(
SELECT c.code, COALESCE(n.nom, c.site_name) AS name, c.ville AS city, c.received AS last_report,
    (SELECT COUNT(*) FROM report r WHERE r.code = c.code) AS report_count,
    (SELECT COUNT(*) FROM clinic_user u WHERE u.code = c.code AND u.access_day BETWEEN ?1 AND ?2) AS active_users,
    (SELECT COALESCE(SUM(f.count), 0) FROM clinic_fax f WHERE f.code = c.code AND f.day BETWEEN ?1 AND ?2)
        AS faxes
FROM clinic c LEFT JOIN catalog_name n ON n.code = c.code
WHERE (?4 = '' OR c.code = ?4)
  AND (?3 = '' OR instr(console_fold(c.code), ?3) > 0 OR instr(console_fold(COALESCE(n.nom, c.site_name)), ?3) > 0
       OR instr(console_fold(c.ville), ?3) > 0)
)sql";

// The ORDER BY of each column, chosen from this fixed table: no text of a query reaches the SQL. The
// code breaks ties, so that an order is the same on every call.
std::string orderBy(ClinicColumn column, bool descending) {
    const char* direction = descending ? " DESC" : " ASC";
    std::string key;
    switch (column) {
    case ClinicColumn::Code:
        return std::string(" ORDER BY c.code") + direction;
    case ClinicColumn::Name:
        key = "console_fold(name)";
        break;
    case ClinicColumn::City:
        key = "console_fold(city)";
        break;
    case ClinicColumn::LastReport:
        key = "last_report";
        break;
    case ClinicColumn::ReportCount:
        key = "report_count";
        break;
    case ClinicColumn::ActiveUsers:
        key = "active_users";
        break;
    case ClinicColumn::Faxes:
        key = "faxes";
        break;
    }
    return " ORDER BY " + key + direction + ", c.code ASC";
}

std::vector<ClinicSummary> listClinics(SqliteDatabase& db, const std::string& today,
                                       const std::string& search, const std::string& code,
                                       const std::string& order) {
    if (!isDayText(today))
        throw std::invalid_argument("today is no yyyy.mm.dd day: " + today);
    auto rows = db.prepare(kClinicList + order);
    rows.bind(1, dayPlus(today, -30)).bind(2, today).bind(3, searchFold(search)).bind(4, code);
    std::vector<ClinicSummary> clinics;
    while (rows.step())
        clinics.push_back({rows.text(0), rows.text(1), rows.text(2), rows.text(3),
                           static_cast<int>(rows.integer(4)), static_cast<int>(rows.integer(5)),
                           static_cast<int>(rows.integer(6))});
    return clinics;
}

std::vector<ReportEntry> readEntries(SqliteStatement& rows) {
    std::vector<ReportEntry> entries;
    while (rows.step())
        entries.push_back({rows.text(0), rows.text(1), rows.text(2),
                           static_cast<std::uint64_t>(rows.integer(3)), rows.text(4)});
    return entries;
}

void readDetail(SqliteDatabase& db, const std::string& code, ClinicDetail& detail) {
    auto address = db.prepare("SELECT adres1, adres2, ville, postal, prov, region, tel, tel2, fax, contact, "
                              "courriel, maj, sites_fault FROM clinic WHERE code = ?1");
    if (address.bind(1, code).step()) {
        ClinicAddress& a = detail.address;
        detail.sitesFault = address.text(12);
        int column = 0;
        for (std::string* value : {&a.adres1, &a.adres2, &a.ville, &a.postal, &a.prov, &a.region, &a.tel,
                                   &a.tel2, &a.fax, &a.contact, &a.courriel, &a.maj})
            *value = address.text(column++);
    }
    auto sites = db.prepare("SELECT id, nom, adresse, ville, fax, faxid, faxnom, faxtel FROM clinic_site "
                            "WHERE code = ?1 ORDER BY position");
    sites.bind(1, code);
    while (sites.step())
        detail.sites.push_back({sites.text(0), sites.text(1), sites.text(2), sites.text(3), sites.text(4),
                                sites.text(5), sites.text(6), sites.text(7)});
    auto users = db.prepare("SELECT id, nom, titre, vigilance, dernacces FROM clinic_user WHERE code = ?1 "
                            "ORDER BY position");
    users.bind(1, code);
    while (users.step())
        detail.users.push_back({users.text(0), users.text(1), users.text(2), users.text(3), users.text(4)});
    auto faxes =
        db.prepare("SELECT site, day, count FROM clinic_fax WHERE code = ?1 ORDER BY day, site, position");
    faxes.bind(1, code);
    while (faxes.step())
        detail.faxes.push_back({faxes.text(0), faxes.text(1), static_cast<int>(faxes.integer(2))});
    auto reports = db.prepare("SELECT file, code, received, size, fault FROM report WHERE code = ?1 "
                              "ORDER BY received DESC, sequence DESC, file DESC");
    reports.bind(1, code);
    detail.reports = readEntries(reports);
}

} // namespace

std::vector<ClinicSummary> ReportIndex::clinics(const ClinicQuery& query) const {
    const std::lock_guard lock(m_mutex);
    return listClinics(*m_db, query.today, query.search, "", orderBy(query.sortBy, query.descending));
}

std::optional<ClinicDetail> ReportIndex::clinic(const std::string& code, const std::string& today) const {
    const std::lock_guard lock(m_mutex);
    if (code.empty())
        return std::nullopt;
    auto summaries = listClinics(*m_db, today, "", code, orderBy(ClinicColumn::Code, false));
    if (summaries.empty())
        return std::nullopt;
    ClinicDetail detail;
    detail.summary = std::move(summaries.front());
    readDetail(*m_db, code, detail);
    return detail;
}

std::vector<ReportEntry> ReportIndex::unreadableReports() const {
    const std::lock_guard lock(m_mutex);
    auto rows = m_db->prepare("SELECT file, code, received, size, fault FROM report WHERE fault <> '' "
                              "ORDER BY received DESC, sequence DESC, file DESC");
    return readEntries(rows);
}

std::optional<std::filesystem::path> ReportIndex::reportFile(const std::string& fileName) const {
    // Only a plain name the index holds: no other path of the folder, nor outside it, can be named.
    if (!isReportFileName(fileName))
        return std::nullopt;
    const std::lock_guard lock(m_mutex);
    auto row = m_db->prepare("SELECT 1 FROM report WHERE file = ?1");
    if (!row.bind(1, fileName).step())
        return std::nullopt;
    return m_folder / fileName;
}

} // namespace halvio::tools::console
