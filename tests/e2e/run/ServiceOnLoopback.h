#pragma once
// The reference update service, in-process, on the service hosts built into the updater, with a
// catalog the test writes: the packages it publishes (encrypted archives, as the vendor's are) and
// the entry of the test clinic.

#include "UpdateService.h"

#include <QDateTime>

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace halvio::test {

struct ClientEntry {
    std::string nom, escompte, id;
    std::vector<std::string> statements;
};

class ServiceCatalog {
public:
    // Makes the catalog and reports folders under `root`.
    explicit ServiceCatalog(const std::string& root);

    // The content becomes the first entry of the package file, encrypted with the package password
    // unless another is given; the package is listed for every client.
    void publish(const std::string& name, const std::string& dates, const std::string& description,
                 const std::string& content, const char* password = nullptr);
    // Listed, with no package file behind it.
    void announce(const std::string& name, const std::string& dates, const std::string& description);
    // No longer listed (its file stays).
    void withdraw(const std::string& name);
    void setClient(const std::string& code, const ClientEntry& entry);

    // The reply the service gives the client, every line followed by CR LF.
    std::string expectedReply(const std::string& code) const;

    std::string catalogFolder() const { return m_root + "/catalog"; }
    std::string reportsFolder() const { return m_root + "/reports"; }

private:
    struct Listed {
        std::string name, dates, description;
        std::uintmax_t size = 0;
    };
    void writePackageList() const;

    std::string m_root;
    std::vector<Listed> m_listed;
    std::vector<std::pair<std::string, ClientEntry>> m_clients;
};

// One line of the service's request log.
struct ServiceRequest {
    QDateTime arrived; // when the test saw the line, which is written once the answer has gone
    std::string local; // the address that took it, "127.0.0.1:18080"
    std::string method;
    std::string path;
    int status = 0;
    std::string line;
};

class ServiceOnLoopback {
public:
    // Throws std::runtime_error naming the address when one of the service ports is taken.
    // With a signing key (loadSigningKey()), reports that carry a nonce get signed replies.
    explicit ServiceOnLoopback(const ServiceCatalog& catalog,
                               std::optional<std::string> signingKey = std::nullopt);
    ~ServiceOnLoopback();

    std::vector<ServiceRequest> requests() const;
    std::vector<ServiceRequest> requests(const std::string& method) const;
    // The stored client reports, byte for byte, in the order they arrived.
    std::vector<std::string> reports() const;
    std::string log() const;

private:
    mutable std::mutex m_mutex;
    std::vector<ServiceRequest> m_requests;
    std::unique_ptr<tools::UpdateService> m_service;
};

} // namespace halvio::test
