#pragma once
// A loopback HTTP server standing for one host of the update service: it serves the package files
// it is given at their paths, answers 404 to everything else, and remembers the paths asked for.
// It binds its address and port alone (no port sharing), waiting for another test's server to let
// go of them, so that a request can only reach this server.

#include <httplib.h>

#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace halvio::test {

class PackageServer {
public:
    PackageServer(std::string address, int port);
    ~PackageServer();
    PackageServer(const PackageServer&) = delete;
    PackageServer& operator=(const PackageServer&) = delete;

    void serve(const std::string& path, std::string body);
    // The paths asked for, percent-decoded.
    std::vector<std::string> requests() const;
    // The targets of the request lines, as they came over the wire.
    std::vector<std::string> targets() const;

private:
    httplib::Server m_server;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::map<std::string, std::string> m_files;
    std::vector<std::string> m_requests;
    std::vector<std::string> m_targets;
};

// Holds an address and port without listening, so that a connection there is refused at once and
// no other server can take the port meanwhile: a host that is down.
class RefusedPort {
public:
    RefusedPort(const std::string& address, int port);
    ~RefusedPort();
    RefusedPort(const RefusedPort&) = delete;
    RefusedPort& operator=(const RefusedPort&) = delete;

private:
    std::vector<int> m_sockets;
};

} // namespace halvio::test
