#pragma once
// What the vendor's console shows, as plain values: the index of the stored reports fills them, the
// pages render them. Texts are UTF-8 (the reports' Windows-1252 bytes converted when they are read);
// dates are text "yyyy.mm.dd" and times "yyyy.mm.dd hh:nn:ss", so that text order is time order.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace halvio::tools::console {

// One line of the clinics' list, from the clinic's latest readable report.
struct ClinicSummary {
    std::string code;         // the client code as posted, trailing blanks removed
    std::string name;         // the clinic's name in the service's client entry, else its first site's
    std::string city;         // "ville" of the address statement
    std::string lastReportAt; // reception time of the latest report
    int reportCount = 0;      // reports received from this code, readable or not
    int activeUsers = 0;      // users whose last access is within 30 days of ClinicQuery::today
    int faxesLast30Days = 0;  // faxes sent in the 30 days before ClinicQuery::today
};

enum class ClinicColumn { Code, Name, City, LastReport, ReportCount, ActiveUsers, Faxes };

struct ClinicQuery {
    std::string search; // case-insensitive part of the code, the name or the city; empty: all
    ClinicColumn sortBy = ClinicColumn::Code;
    bool descending = false;
    std::string today; // "yyyy.mm.dd": the day the 30-day windows end on
};

struct ClinicAddress {
    std::string adres1, adres2, ville, postal, prov, region, tel, tel2, fax, contact, courriel, maj;
};

struct ClinicSite {
    std::string id, nom, adresse, ville, fax, faxid, faxnom, faxtel;
};

struct ClinicUser {
    std::string id, nom, titre, vigilance, dernacces;
};

struct FaxDay {
    std::string site;
    std::string day; // "yyyy.mm.dd"
    int count = 0;
};

// One report file as received, readable or not.
struct ReportEntry {
    std::string fileName; // in the reports folder
    std::string code;     // as read from the report; empty when it could not be read
    std::string receivedAt;
    std::uint64_t size = 0;
    std::string fault; // empty for a report that was read; else why it could not be
};

// One clinic's page: what its latest readable report says, and every report it sent.
struct ClinicDetail {
    ClinicSummary summary;
    ClinicAddress address;
    std::vector<ClinicSite> sites;
    // Why the latest report's sites could not be read (French, "ligne 3 : ..."); sites is then empty.
    // Empty when they were read or the report had none.
    std::string sitesFault;
    std::vector<ClinicUser> users;
    std::vector<FaxDay> faxes;        // every day of the latest report, by day then site
    std::vector<ReportEntry> reports; // newest first
};

// What the pages read. Implemented by the index of the reports folder; every call answers from the
// index alone, except reportFile, which names the stored file for a download.
class ConsoleData {
public:
    virtual ~ConsoleData() = default;
    virtual std::vector<ClinicSummary> clinics(const ClinicQuery& query) const = 0;
    virtual std::optional<ClinicDetail> clinic(const std::string& code, const std::string& today) const = 0;
    virtual std::vector<ReportEntry> unreadableReports() const = 0; // newest first
    // The stored file of a report listed by this index; nullopt for any other name.
    virtual std::optional<std::filesystem::path> reportFile(const std::string& fileName) const = 0;
};

} // namespace halvio::tools::console
