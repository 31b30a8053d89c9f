#include "ServerGroup.h"

#include "DateTime.h"
#include "ShownText.h"
#include "WorkerPool.h"

#include <httplib.h>

#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <mutex>
#include <stdexcept>

namespace halvio::tools {

namespace {

// A request is handled and then logged on the same server thread, so the handler's notes travel to
// the logger in a thread-local; the pre-routing hook clears them for the next request.
thread_local std::string t_requestNotes;

// Idle keep-alive connections would otherwise hold stop() for the library's default of 5 s.
constexpr time_t kKeepAliveSeconds = 1;

// A connection is dropped when its client sends nothing (or takes nothing of the reply) for this long:
// a clinic's request is a few kilobytes and its package reply is read as fast as the line allows.
constexpr time_t kReadSeconds = 5;
constexpr time_t kWriteSeconds = 5;

// The library takes no more than one connection at a time per worker. Those started at once serve a
// burst of clinics without waiting for a thread; the bound is what a client trickling its request a
// byte at a time (which the per-read limit above does not end) can hold, and keeps room for others.
constexpr std::size_t kStartWorkers = 16;
constexpr std::size_t kMaxWorkers = 512;

// The library listens with a backlog of 5, fixed when Debian built it: a burst of connections beyond
// that waits for the client's SYN to be sent again, a second later. Linux lets listen() be called
// again on a listening socket to change it.
constexpr int kListenBacklog = 1024;

// Both reuse options: a port left in TIME_WAIT by a server with either option (httplib's default sets
// SO_REUSEPORT alone) can be bound again at once. SO_REUSEPORT would also let this server share a port
// that another one listens on, so a fixed port is first probed with a connection.
void reuseAddressAndPort(socket_t socket) {
    int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    setsockopt(socket, SOL_SOCKET, SO_REUSEPORT, &yes, sizeof yes);
}

// Whether a server already accepts connections there. The address is a local one, so the attempt
// never leaves the machine; a wildcard address is probed through loopback.
bool someoneListensOn(const ListenAddress& address) {
    std::string host = address.host;
    if (host == "0.0.0.0")
        host = "127.0.0.1";
    else if (host == "::")
        host = "::1";
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(address.port).c_str(), &hints, &found) != 0)
        return false;
    const std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> owner(found, freeaddrinfo);
    const int probe = ::socket(found->ai_family, found->ai_socktype, found->ai_protocol);
    if (probe < 0)
        return false;
    const bool connected = ::connect(probe, found->ai_addr, found->ai_addrlen) == 0;
    ::close(probe);
    return connected;
}

std::size_t bytesSent(const httplib::Response& response) {
    return response.content_provider_ ? response.content_length_ : response.body.size();
}

} // namespace

void addRequestLogNote(const std::string& note) {
    if (!t_requestNotes.empty())
        t_requestNotes += ' ';
    t_requestNotes += withControlsShown(note);
}

ServerGroup::ServerGroup(Routes routes, LogSink log) : m_routes(std::move(routes)), m_log(std::move(log)) {}

ServerGroup::~ServerGroup() {
    stop();
}

void ServerGroup::configure(httplib::Server& server, const std::shared_ptr<int>& listening) {
    server.set_keep_alive_timeout(kKeepAliveSeconds);
    server.set_read_timeout(kReadSeconds);
    server.set_write_timeout(kWriteSeconds);
    server.new_task_queue = [] { return new WorkerPool(kStartWorkers, kMaxWorkers); };
    // Right after a bind, the latest socket given here is the one the server listens on (a name with
    // several addresses has its failed sockets closed before the next is made).
    server.set_socket_options([listening](socket_t socket) {
        reuseAddressAndPort(socket);
        *listening = socket;
    });
    server.set_pre_routing_handler([](const httplib::Request&, httplib::Response&) {
        t_requestNotes.clear();
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server.set_logger([this](const httplib::Request& request, const httplib::Response& response) {
        if (!m_log)
            return;
        std::string line = DateTimeText(DateTime::now()) + " " +
                           toText({request.local_addr, request.local_port}) + " " +
                           withControlsShown(request.method) + " " + withControlsShown(request.path) + " " +
                           std::to_string(response.status) + " in=" + std::to_string(request.body.size()) +
                           " out=" + std::to_string(bytesSent(response));
        if (!t_requestNotes.empty())
            line += " " + t_requestNotes;
        t_requestNotes.clear();
        const std::lock_guard lock(m_logMutex);
        m_log(line);
    });
    if (m_routes)
        m_routes(server);
}

void ServerGroup::start(const std::vector<ListenAddress>& addresses) {
    stop();
    std::string failed;
    for (const ListenAddress& address : addresses) {
        auto server = std::make_unique<httplib::Server>();
        const auto listening = std::make_shared<int>(-1);
        configure(*server, listening);
        int port = -1;
        if (address.port == 0)
            port = server->bind_to_any_port(address.host);
        else if (!someoneListensOn(address) && server->bind_to_port(address.host, address.port))
            port = address.port;
        if (port < 0) {
            failed = toText(address);
            break;
        }
        int accepting = 0;
        socklen_t length = sizeof accepting;
        if (*listening >= 0 && getsockopt(*listening, SOL_SOCKET, SO_ACCEPTCONN, &accepting, &length) == 0 &&
            accepting != 0)
            ::listen(*listening, kListenBacklog);
        m_bound.push_back({address.host, port});
        auto listener = std::make_unique<Listener>();
        listener->server = std::move(server);
        m_listeners.push_back(std::move(listener));
    }
    // httplib's stop() only acts on a server whose loop is running, and only a running loop releases
    // its socket: every bound server is started and awaited, even when another address failed.
    for (auto& listener : m_listeners) {
        listener->thread = std::thread([raw = listener.get()] {
            raw->server->listen_after_bind();
            raw->ended = true;
        });
    }
    for (auto& listener : m_listeners)
        while (!listener->server->is_running() && !listener->ended)
            std::this_thread::yield();
    if (!failed.empty()) {
        stop();
        throw std::runtime_error("cannot listen on " + failed);
    }
}

void ServerGroup::stop() {
    for (auto& listener : m_listeners)
        listener->server->stop();
    for (auto& listener : m_listeners)
        if (listener->thread.joinable())
            listener->thread.join();
    m_listeners.clear();
    m_bound.clear();
}

} // namespace halvio::tools
