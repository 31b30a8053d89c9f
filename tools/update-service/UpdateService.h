#pragma once
// The reference update service, runnable in-process: POST /<code>.maj stores the client report and
// answers the package list reply of the client's catalog entry; GET /kliso/update/<file>.zip serves a
// published package file; everything else is 404.

#include "ListenAddress.h"
#include "ServerGroup.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace halvio::tools {

class Catalog;
class ReportStore;

struct UpdateServiceConfig {
    std::filesystem::path catalog;
    std::filesystem::path reports;
    std::vector<ListenAddress> listen; // empty: the build's service hosts, defaultServiceAddresses()
    ServerGroup::LogSink log;          // one line per request; may be empty
    // The vendor's Ed25519 private key (loadSigningKey()); with it, a report that carries a nonce
    // is answered with a signed reply. Without it every reply goes unsigned.
    std::optional<std::string> signingKey = std::nullopt;
    // Called with each report file once it is stored, on the worker that received it (e.g. the
    // console's index); it must be safe to call from several workers at once. May be empty.
    std::function<void(const std::filesystem::path&)> reportStored = nullptr;
};

// The hosts of the build's profile as listen addresses, without repeats. Throws std::invalid_argument
// when a host is no numeric address or localhost (a release profile's names are not served here).
std::vector<ListenAddress> defaultServiceAddresses();

class UpdateService {
public:
    // Creates the reports folder. Throws std::runtime_error when the catalog folder is missing.
    explicit UpdateService(UpdateServiceConfig config);
    ~UpdateService();
    UpdateService(const UpdateService&) = delete;
    UpdateService& operator=(const UpdateService&) = delete;

    // Throws std::runtime_error when an address cannot be bound; nothing listens then.
    void start();
    const std::vector<ListenAddress>& boundAddresses() const;
    void stop();

    // The files the reports were stored in, in the order they arrived.
    std::vector<std::filesystem::path> storedReports() const;

private:
    class Handlers;

    UpdateServiceConfig m_config;
    std::unique_ptr<Catalog> m_catalog;
    std::unique_ptr<ReportStore> m_reports;
    std::unique_ptr<Handlers> m_handlers;
    std::unique_ptr<ServerGroup> m_servers;
};

} // namespace halvio::tools
