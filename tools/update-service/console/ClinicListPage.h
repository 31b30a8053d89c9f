#pragma once
// The console's first page: the clinics that reported, sortable by each column and searchable through
// query parameters (no script needed), the plot of the clinic heard from last, and the reports that
// could not be read.

#include "ConsoleData.h"

#include <optional>
#include <string>
#include <vector>

namespace halvio::tools::console {

// The query parameters of the page: q (search), tri (code, nom, ville, rapport, rapports, actifs, fax)
// and ordre (asc, desc). An unknown or missing value gives the default: every clinic by code, rising.
ClinicQuery clinicQueryFromParameters(const std::string& search, const std::string& sortKey,
                                      const std::string& order, const std::string& today);

struct ClinicListView {
    ClinicQuery query;
    std::vector<ClinicSummary> clinics;
    std::vector<ReportEntry> unreadable;
    std::optional<ClinicDetail> latest; // the clinic whose report arrived last, for its plot
};

std::string clinicListPage(const ClinicListView& view);

} // namespace halvio::tools::console
