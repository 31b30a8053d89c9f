#pragma once
// The vendor's console as an HTTP server: French pages rendered here from the index of the reports
// (ConsoleData) and from the catalog folder, and each stored report downloadable byte for byte. Pages
// work without script; the browser is sent nothing to fetch beyond the page itself.

#include "ListenAddress.h"
#include "ServerGroup.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace httplib {
class Request;
class Response;
class Server;
} // namespace httplib

namespace halvio::tools {
class Catalog;
}

namespace halvio::tools::console {

class ConsoleData;

struct ConsoleConfig {
    ListenAddress listen;
    std::filesystem::path catalog;
    // "user:password" (readPasswordFile()); without it every request is answered. Whether the
    // address may go without it is checkConsoleExposure()'s decision, made before.
    std::optional<std::string> credentials;
    // The day the 30-day windows end on, "yyyy.mm.dd"; empty: today's date when each page is made.
    std::string today;
};

class ConsoleServer {
public:
    // `data` must outlive the server; its calls are made one at a time.
    ConsoleServer(const ConsoleData& data, ConsoleConfig config, ServerGroup::LogSink log);
    ~ConsoleServer();
    ConsoleServer(const ConsoleServer&) = delete;
    ConsoleServer& operator=(const ConsoleServer&) = delete;

    // Throws std::runtime_error when the address cannot be bound.
    void start();
    // The address as bound (a port asked as 0 replaced by the one given).
    ListenAddress boundAddress() const;
    void stop();

private:
    using Handler = void (ConsoleServer::*)(const httplib::Request&, httplib::Response&);
    void install(httplib::Server& server);
    // The handler behind the check of the credentials, and with every failure made a 500 page.
    void serve(Handler handler, const httplib::Request& request, httplib::Response& response);
    std::string today() const;

    void clinicList(const httplib::Request& request, httplib::Response& response);
    void clinic(const httplib::Request& request, httplib::Response& response);
    void report(const httplib::Request& request, httplib::Response& response);
    void catalog(const httplib::Request& request, httplib::Response& response);
    void notFound(const httplib::Request& request, httplib::Response& response);

    const ConsoleData& m_data;
    ConsoleConfig m_config;
    std::unique_ptr<Catalog> m_catalog;
    std::mutex m_dataMutex;
    std::unique_ptr<ServerGroup> m_servers;
};

} // namespace halvio::tools::console
