#pragma once
// Runs the update service in-process on a free loopback port and collects its log lines.

#include "CatalogFixture.h"
#include "UpdateService.h"

#include <httplib.h>

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace halvio::test {

class RunningService {
public:
    explicit RunningService(const CatalogFixture& fixture,
                            std::vector<tools::ListenAddress> listen = {{"127.0.0.1", 0}},
                            std::optional<std::string> signingKey = std::nullopt);

    tools::UpdateService& service() { return m_service; }
    int port(size_t index = 0) const { return m_service.boundAddresses().at(index).port; }
    httplib::Client client(size_t index = 0) const;

    std::vector<std::string> logLines() const;
    // Waits until a log line holds the text; the line is written after the reply is sent.
    bool waitForLogLine(const std::string& text) const;

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
    tools::UpdateService m_service;
};

} // namespace halvio::test
