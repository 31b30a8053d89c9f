#include "VendorConsole.h"

#include "Catalog.h"
#include "CatalogNames.h"
#include "ConsoleAccess.h"
#include "ReportIndex.h"

namespace halvio::tools::console {

// The index with the clinics named as the catalog names them now: the catalog is read at each request,
// as the service reads it, so that a name the vendor changes shows on the next page.
class CatalogNamedData : public ConsoleData {
public:
    CatalogNamedData(ReportIndex& index, const std::filesystem::path& catalog)
        : m_index(index), m_catalog(catalog) {}

    std::vector<ClinicSummary> clinics(const ClinicQuery& query) const override {
        m_index.setCatalogNames(catalogNames(m_catalog));
        return m_index.clinics(query);
    }
    std::optional<ClinicDetail> clinic(const std::string& code, const std::string& today) const override {
        m_index.setCatalogNames(catalogNames(m_catalog));
        return m_index.clinic(code, today);
    }
    std::vector<ReportEntry> unreadableReports() const override { return m_index.unreadableReports(); }
    std::optional<std::filesystem::path> reportFile(const std::string& fileName) const override {
        return m_index.reportFile(fileName);
    }

private:
    ReportIndex& m_index;
    Catalog m_catalog;
};

namespace {

// The service creates the folder too, but after the index has opened it.
const std::filesystem::path& createdFolder(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    return folder;
}

} // namespace

ConsoleSettings consoleSettings(const std::string& address, const std::string& passwordFile) {
    ConsoleSettings settings{parseListenAddress(address), std::nullopt};
    if (!passwordFile.empty())
        settings.credentials = readPasswordFile(passwordFile);
    checkConsoleExposure(settings.address, settings.credentials.has_value());
    return settings;
}

VendorConsole::VendorConsole(const ConsoleSettings& settings, UpdateServiceConfig& service,
                             ServerGroup::LogSink log)
    : m_index(std::make_unique<ReportIndex>(createdFolder(service.reports))),
      m_data(std::make_unique<CatalogNamedData>(*m_index, service.catalog)),
      m_server(std::make_unique<ConsoleServer>(
          *m_data, ConsoleConfig{settings.address, service.catalog, settings.credentials, {}},
          std::move(log))) {
    service.reportStored = [index = m_index.get()](const std::filesystem::path& file) { index->add(file); };
}

VendorConsole::~VendorConsole() = default;

void VendorConsole::start() {
    m_server->start();
}

std::string VendorConsole::address() const {
    return "http://" + toText(m_server->boundAddress()) + "/";
}

} // namespace halvio::tools::console
