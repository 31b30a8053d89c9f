#include "ConsoleFake.h"

namespace halvio::test {

using namespace tools::console;

std::vector<ClinicSummary> FakeConsoleData::clinics(const ClinicQuery& query) const {
    const std::lock_guard lock(m_mutex);
    m_queries.push_back(query);
    return listed;
}

std::optional<ClinicDetail> FakeConsoleData::clinic(const std::string& code, const std::string&) const {
    const std::lock_guard lock(m_mutex);
    m_askedCodes.push_back(code);
    const auto found = details.find(code);
    if (found == details.end())
        return std::nullopt;
    return found->second;
}

std::optional<std::filesystem::path> FakeConsoleData::reportFile(const std::string& fileName) const {
    const std::lock_guard lock(m_mutex);
    m_askedFiles.push_back(fileName);
    const auto found = files.find(fileName);
    if (found == files.end())
        return std::nullopt;
    return found->second;
}

std::vector<ClinicQuery> FakeConsoleData::queries() const {
    const std::lock_guard lock(m_mutex);
    return m_queries;
}

std::vector<std::string> FakeConsoleData::askedFiles() const {
    const std::lock_guard lock(m_mutex);
    return m_askedFiles;
}

std::vector<std::string> FakeConsoleData::askedCodes() const {
    const std::lock_guard lock(m_mutex);
    return m_askedCodes;
}

ClinicDetail clinicFilledWith(const std::string& code, const std::string& text) {
    ClinicDetail d;
    d.summary = {code, text, text, "2026.12.09 10:00:00", 2, 1, 3};
    d.address = {text, text, text, text, text, text, text, text, text, text, text, text};
    d.sites = {{"1", text, text, text, text, text, text, text}};
    d.users = {{"7", text, text, text, text}};
    d.faxes = {{"1", "2026.12.01", 3}};
    d.reports = {{text, code, "2026.12.09 10:00:00", 12, text}};
    return d;
}

} // namespace halvio::test
