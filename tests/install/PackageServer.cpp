#include "PackageServer.h"

#include <QTest>

#include <stdexcept>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace halvio::test {

namespace {
// Another suite may hold the ports for the length of one of its tests.
constexpr int kPortWaitMs = 240000;

void reuseAddressOnly(socket_t socket) {
    int yes = 1;
    ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

// A socket bound (not listening) to address:port, or -1 when the port is taken.
int boundSocket(const std::string& address, int port) {
    const bool v6 = address.find(':') != std::string::npos;
    const int fd = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    reuseAddressOnly(fd);
    int result = -1;
    if (v6) {
        sockaddr_in6 where{};
        where.sin6_family = AF_INET6;
        where.sin6_port = htons(static_cast<uint16_t>(port));
        ::inet_pton(AF_INET6, address.c_str(), &where.sin6_addr);
        result = ::bind(fd, reinterpret_cast<sockaddr*>(&where), sizeof where);
    } else {
        sockaddr_in where{};
        where.sin_family = AF_INET;
        where.sin_port = htons(static_cast<uint16_t>(port));
        ::inet_pton(AF_INET, address.c_str(), &where.sin_addr);
        result = ::bind(fd, reinterpret_cast<sockaddr*>(&where), sizeof where);
    }
    if (result != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}
} // namespace

PackageServer::PackageServer(std::string address, int port) {
    m_server.set_socket_options(reuseAddressOnly);
    m_server.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(request.path);
        m_targets.push_back(request.target);
        const auto found = m_files.find(request.path);
        if (found == m_files.end()) {
            response.status = 404;
            return;
        }
        response.set_content(found->second, "application/zip");
    });
    if (!QTest::qWaitFor([&] { return m_server.bind_to_port(address, port); }, kPortWaitMs))
        throw std::runtime_error("port " + address + ":" + std::to_string(port) + " stays taken");
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    if (!QTest::qWaitFor([&] { return m_server.is_running(); }, kPortWaitMs))
        throw std::runtime_error("the server does not start");
}

PackageServer::~PackageServer() {
    m_server.stop();
    m_thread.join();
}

void PackageServer::serve(const std::string& path, std::string body) {
    std::lock_guard lock(m_mutex);
    m_files[path] = std::move(body);
}

std::vector<std::string> PackageServer::requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::vector<std::string> PackageServer::targets() const {
    std::lock_guard lock(m_mutex);
    return m_targets;
}

RefusedPort::RefusedPort(const std::string& address, int port) {
    int fd = -1;
    if (!QTest::qWaitFor([&] { return (fd = boundSocket(address, port)) >= 0; }, kPortWaitMs))
        throw std::runtime_error("port " + address + ":" + std::to_string(port) + " stays taken");
    m_sockets.push_back(fd);
    // "localhost" may be tried over IPv6 first; hold that side too where the system has it.
    if (address == "127.0.0.1") {
        const int v6 = boundSocket("::1", port);
        if (v6 >= 0)
            m_sockets.push_back(v6);
    }
}

RefusedPort::~RefusedPort() {
    for (int fd : m_sockets)
        ::close(fd);
}

} // namespace halvio::test
