#pragma once
// The console as the service process runs it: the index of the reports folder, fed by the service as
// each report is stored, and the console's server over it.

#include "ConsoleServer.h"
#include "UpdateService.h"

#include <memory>
#include <optional>
#include <string>

namespace halvio::tools::console {

class ReportIndex;
class CatalogNamedData;

// What --console and --console-password-file ask for, checked before anything starts.
struct ConsoleSettings {
    ListenAddress address;
    std::optional<std::string> credentials;
};

// Throws std::invalid_argument for an address that is none, ConsoleRefused for an address other
// than loopback without a password file, or a password file that is no such file.
ConsoleSettings consoleSettings(const std::string& address, const std::string& passwordFile);

class VendorConsole {
public:
    // Opens the index of the service's reports folder (building it from the files when it is missing)
    // and sets the service's reportStored so that each new report is indexed as it is stored.
    // Construct before the service. Throws when the folder cannot be indexed.
    VendorConsole(const ConsoleSettings& settings, UpdateServiceConfig& service, ServerGroup::LogSink log);
    ~VendorConsole();
    VendorConsole(const VendorConsole&) = delete;
    VendorConsole& operator=(const VendorConsole&) = delete;

    // Throws std::runtime_error when the address cannot be bound.
    void start();
    // "http://127.0.0.1:18082/", the port as bound.
    std::string address() const;

private:
    std::unique_ptr<ReportIndex> m_index;
    std::unique_ptr<CatalogNamedData> m_data;
    std::unique_ptr<ConsoleServer> m_server;
};

} // namespace halvio::tools::console
