#include "ServiceTestSupport.h"

#include <QTest>

namespace halvio::test {

RunningService::RunningService(const CatalogFixture& fixture, std::vector<tools::ListenAddress> listen,
                               std::optional<std::string> signingKey)
    : m_service({fixture.catalog(), fixture.reports(), std::move(listen),
                 [this](const std::string& line) {
                     const std::lock_guard lock(m_mutex);
                     m_lines.push_back(line);
                 },
                 std::move(signingKey)}) {
    m_service.start();
}

httplib::Client RunningService::client(size_t index) const {
    const auto& address = m_service.boundAddresses().at(index);
    httplib::Client client(address.host, address.port);
    client.set_read_timeout(30, 0);
    return client;
}

std::vector<std::string> RunningService::logLines() const {
    const std::lock_guard lock(m_mutex);
    return m_lines;
}

bool RunningService::waitForLogLine(const std::string& text) const {
    return QTest::qWaitFor([&] {
        for (const std::string& line : logLines())
            if (line.find(text) != std::string::npos)
                return true;
        return false;
    });
}

} // namespace halvio::test
