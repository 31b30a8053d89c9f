#pragma once
// One cpp-httplib server per listen address, each on its own thread, all with the same routes, and a
// log line per request: "yyyy.mm.dd hh:nn:ss LOCAL METHOD PATH STATUS in=BYTES out=BYTES [NOTES]".

#include "ListenAddress.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

namespace halvio::tools {

class ServerGroup {
public:
    using Routes = std::function<void(httplib::Server&)>;
    // Called from the servers' threads, one call per line, never two at once.
    using LogSink = std::function<void(const std::string& line)>;

    ServerGroup(Routes routes, LogSink log);
    ~ServerGroup();
    ServerGroup(const ServerGroup&) = delete;
    ServerGroup& operator=(const ServerGroup&) = delete;

    // Binds every address, then serves. When one cannot be bound, none is left listening and
    // std::runtime_error names it. Connections are accepted once start returns.
    void start(const std::vector<ListenAddress>& addresses);

    // The addresses as bound, a port asked as 0 replaced by the one given.
    const std::vector<ListenAddress>& boundAddresses() const { return m_bound; }

    // Stops listening, lets requests in progress end and joins the threads. Idempotent.
    void stop();

private:
    // listening receives the socket the server binds, for the backlog set after the bind.
    void configure(httplib::Server& server, const std::shared_ptr<int>& listening);

    struct Listener {
        std::unique_ptr<httplib::Server> server;
        std::thread thread;
        std::atomic<bool> ended{false};
    };

    Routes m_routes;
    LogSink m_log;
    std::mutex m_logMutex;
    std::vector<std::unique_ptr<Listener>> m_listeners;
    std::vector<ListenAddress> m_bound;
};

// Adds a word to the log line of the request being handled on this thread (a handler's remark, such as
// the file a report was stored in).
void addRequestLogNote(const std::string& note);

} // namespace halvio::tools
