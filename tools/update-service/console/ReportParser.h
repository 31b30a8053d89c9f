#pragma once
// Reads one stored client report, byte for byte as the updater posted it: the address statement,
// then the optional FAX= and SITE= lines, then the user lines, each line ended by CR LF (a lone CR or
// LF is taken too, as everywhere in the system). Pure: bytes in, values or the reason out.

#include "ConsoleData.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halvio::tools::console {

// The service refuses a larger body (413) before storing it; a file past this was not put there by it.
inline constexpr size_t kMaxReportFileBytes = 16u << 20;
// A clinic has at most a few hundred users, one line each; far more lines is no report of a clinic,
// and would fill the index with rows for nothing.
inline constexpr size_t kMaxReportLines = 20000;

struct ParsedReport {
    std::string code; // trailing blanks removed, never empty
    ClinicAddress address;
    std::vector<FaxDay> faxes; // in the order of the report
    std::vector<ClinicSite> sites;
    // Why the SITE= line gave no sites, in French ("ligne 3 : ..."); empty when it was read or absent.
    // Only a line whose values cannot be told apart is forgiven so: any other fault fails the report.
    std::string sitesFault;
    std::vector<ClinicUser> users;
};

struct ReportReading {
    // Known as soon as the address line was read, so that a report that fails further down is still
    // counted for its clinic.
    std::string code;
    std::optional<ParsedReport> report; // set when every line was read (its sites possibly not)
    std::string fault;                  // why not, in French ("ligne 3 : ..."); empty when read
};

// A report without an address statement (a clinic whose code is still "NOUVEAU" sends none) cannot be
// told to any clinic: it is unreadable, with that reason.
ReportReading parseReport(std::string_view bytes);

} // namespace halvio::tools::console
