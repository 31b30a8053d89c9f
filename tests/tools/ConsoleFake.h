#pragma once
// What the console's pages are tested over: a ConsoleData holding the values a test gives it, and
// remembering what the pages asked for.

#include "ConsoleData.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace halvio::test {

class FakeConsoleData : public tools::console::ConsoleData {
public:
    std::vector<tools::console::ClinicSummary> listed;
    std::map<std::string, tools::console::ClinicDetail> details;
    std::vector<tools::console::ReportEntry> unreadable;
    std::map<std::string, std::filesystem::path> files;

    std::vector<tools::console::ClinicSummary>
    clinics(const tools::console::ClinicQuery& query) const override;
    std::optional<tools::console::ClinicDetail> clinic(const std::string& code,
                                                       const std::string& today) const override;
    std::vector<tools::console::ReportEntry> unreadableReports() const override { return unreadable; }
    std::optional<std::filesystem::path> reportFile(const std::string& fileName) const override;

    std::vector<tools::console::ClinicQuery> queries() const;
    std::vector<std::string> askedFiles() const;
    std::vector<std::string> askedCodes() const;

private:
    mutable std::mutex m_mutex;
    mutable std::vector<tools::console::ClinicQuery> m_queries;
    mutable std::vector<std::string> m_askedFiles;
    mutable std::vector<std::string> m_askedCodes;
};

// A clinic whose every text field holds `text`, with one site, one user, one fax day and one report.
tools::console::ClinicDetail clinicFilledWith(const std::string& code, const std::string& text);

} // namespace halvio::test
