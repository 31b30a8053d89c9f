#include "LoopbackHttpServer.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <map>
#include <stdexcept>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace halvio::test {

namespace {

bool equalNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

RecordedRequest record(const httplib::Request& request) {
    RecordedRequest recorded{request.method, request.target, request.path, request.version, {}, request.body};
    for (const auto& [name, value] : request.headers)
        recorded.headers.emplace_back(name, value);
    return recorded;
}

} // namespace

std::string RecordedRequest::header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (equalNoCase(key, name))
            return value;
    }
    return {};
}

bool RecordedRequest::hasHeader(std::string_view name) const {
    return std::any_of(headers.begin(), headers.end(),
                       [&](const auto& header) { return equalNoCase(header.first, name); });
}

void LoopbackGate::open() {
    {
        std::lock_guard lock(m_mutex);
        m_open = true;
    }
    m_changed.notify_all();
}

bool LoopbackGate::isOpen() const {
    std::lock_guard lock(m_mutex);
    return m_open;
}

bool LoopbackGate::waitOpen(std::chrono::milliseconds limit) {
    std::unique_lock lock(m_mutex);
    const auto decided = [this] { return m_open || m_abandoned; };
    if (limit > std::chrono::milliseconds::zero()) {
        if (!m_changed.wait_for(lock, limit, decided))
            return true;
    } else {
        m_changed.wait(lock, decided);
    }
    return m_open;
}

void LoopbackGate::abandon() {
    {
        std::lock_guard lock(m_mutex);
        m_abandoned = true;
    }
    m_changed.notify_all();
}

LoopbackReply LoopbackReply::text(std::string body, int status) {
    LoopbackReply reply;
    reply.status = status;
    reply.body = std::move(body);
    return reply;
}

LoopbackReply LoopbackReply::redirect(std::string location, int status) {
    LoopbackReply reply;
    reply.status = status;
    reply.headers.emplace_back("Location", std::move(location));
    return reply;
}

struct LoopbackHttpServer::State {
    std::string address;
    int port = 0;
    httplib::Server server;
    std::thread thread;
    std::atomic<bool> listenEnded = false;

    mutable std::mutex mutex;
    std::condition_variable stopRequested;
    bool stopping = false;
    // Replies are shared with the connections that send them, so that a large body is not copied.
    using Route = std::function<std::shared_ptr<const LoopbackReply>(const RecordedRequest&)>;
    std::map<std::string, Route> routes;
    Handler others;
    std::vector<RecordedRequest> requests;
    std::vector<std::shared_ptr<LoopbackGate>> gates;

    void answer(const httplib::Request& request, httplib::Response& response);
    bool provide(const LoopbackReply& reply, std::size_t offset, httplib::DataSink& sink);
    bool pause(std::chrono::milliseconds duration);
};

void LoopbackHttpServer::State::answer(const httplib::Request& request, httplib::Response& response) {
    RecordedRequest recorded = record(request);
    Route route;
    Handler handler;
    {
        std::lock_guard lock(mutex);
        requests.push_back(recorded);
        const auto found = routes.find(recorded.path);
        if (found != routes.end())
            route = found->second;
        else
            handler = others;
    }
    std::shared_ptr<const LoopbackReply> reply =
        route     ? route(recorded)
        : handler ? std::make_shared<const LoopbackReply>(handler(recorded))
                  : std::make_shared<const LoopbackReply>(LoopbackReply::text("Not Found", 404));
    if (reply->gate) {
        std::lock_guard lock(mutex);
        gates.push_back(reply->gate);
        if (stopping)
            reply->gate->abandon();
    }
    if (reply->gate && reply->holdHeaders && !reply->gate->waitOpen(reply->holdAtMost))
        return; // the server is stopping: what it sends no longer matters
    response.status = reply->status;
    for (const auto& [name, value] : reply->headers)
        response.set_header(name, value);
    if (reply->body.empty()) {
        response.set_content("", reply->contentType);
        return;
    }
    // The body is streamed from the shared reply: large packages are not copied per request.
    if (reply->announceLength) {
        const std::size_t length =
            reply->claimedLength != LoopbackReply::npos ? reply->claimedLength : reply->body.size();
        response.set_content_provider(
            length, reply->contentType,
            [this, reply](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                return provide(*reply, offset, sink);
            });
    } else {
        response.set_content_provider(reply->contentType,
                                      [this, reply](std::size_t offset, httplib::DataSink& sink) {
                                          if (offset < reply->body.size())
                                              return provide(*reply, offset, sink);
                                          sink.done();
                                          return true;
                                      });
    }
}

// Called again and again with the offset reached until the whole body is sent; false closes the
// connection at once.
bool LoopbackHttpServer::State::provide(const LoopbackReply& reply, std::size_t offset,
                                        httplib::DataSink& sink) {
    std::size_t end = reply.body.size();
    if (offset >= end)
        return false; // a claimed length beyond the body
    if (reply.cutAfter != LoopbackReply::npos) {
        if (offset >= reply.cutAfter)
            return false;
        end = std::min(end, reply.cutAfter);
    }
    if (reply.gate && !reply.holdHeaders) {
        if (offset < reply.holdAfter)
            end = std::min(end, reply.holdAfter);
        else if (!reply.gate->waitOpen(reply.holdAtMost))
            return false;
    }
    std::size_t piece = end - offset;
    if (reply.pieceSize > 0)
        piece = std::min(piece, reply.pieceSize);
    if (!sink.write(reply.body.data() + offset, piece))
        return false;
    if (reply.pieceSize > 0 && offset + piece < reply.body.size())
        return pause(reply.pauseBetweenPieces);
    return true;
}

bool LoopbackHttpServer::State::pause(std::chrono::milliseconds duration) {
    std::unique_lock lock(mutex);
    return !stopRequested.wait_for(lock, duration, [this] { return stopping; });
}

LoopbackHttpServer::LoopbackHttpServer(std::string address, int port) : m_state(std::make_unique<State>()) {
    State& state = *m_state;
    state.address = std::move(address);
    const auto answer = [&state](const httplib::Request& request, httplib::Response& response) {
        state.answer(request, response);
    };
    state.server.Get(".*", answer).Post(".*", answer).Put(".*", answer).Patch(".*", answer);
    state.server.Delete(".*", answer).Options(".*", answer);
    // A client kept waiting by the test must not be dropped by the server.
    state.server.set_write_timeout(60);
    // cpp-httplib's default SO_REUSEPORT would let two servers share a fixed port and split its
    // requests; SO_REUSEADDR alone makes a taken port fail here and still rebinds past TIME_WAIT.
    state.server.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    if (port == 0) {
        state.port = state.server.bind_to_any_port(state.address);
    } else if (state.server.bind_to_port(state.address, port)) {
        state.port = port;
    } else {
        state.port = -1;
    }
    if (state.port <= 0)
        throw std::runtime_error("LoopbackHttpServer: cannot listen on " + state.address);
    state.thread = std::thread([&state] {
        state.server.listen_after_bind();
        state.listenEnded = true;
    });
    // stop() only acts on a running server: return once it runs, so that it can be stopped.
    while (!state.server.is_running() && !state.listenEnded)
        std::this_thread::yield();
}

LoopbackHttpServer::~LoopbackHttpServer() {
    State& state = *m_state;
    {
        std::lock_guard lock(state.mutex);
        state.stopping = true;
        for (const auto& gate : state.gates)
            gate->abandon();
    }
    state.stopRequested.notify_all();
    state.server.stop();
    state.thread.join();
}

const std::string& LoopbackHttpServer::address() const {
    return m_state->address;
}

int LoopbackHttpServer::port() const {
    return m_state->port;
}

std::string LoopbackHttpServer::hostAndPort() const {
    return m_state->address + ":" + std::to_string(m_state->port);
}

std::string LoopbackHttpServer::url(std::string_view path) const {
    return "http://" + hostAndPort() + std::string(path);
}

void LoopbackHttpServer::serve(std::string path, LoopbackReply reply) {
    auto shared = std::make_shared<const LoopbackReply>(std::move(reply));
    std::lock_guard lock(m_state->mutex);
    m_state->routes[std::move(path)] = [shared](const RecordedRequest&) { return shared; };
}

void LoopbackHttpServer::handle(std::string path, Handler handler) {
    std::lock_guard lock(m_state->mutex);
    m_state->routes[std::move(path)] = [handler = std::move(handler)](const RecordedRequest& request) {
        return std::make_shared<const LoopbackReply>(handler(request));
    };
}

void LoopbackHttpServer::handleOthers(Handler handler) {
    std::lock_guard lock(m_state->mutex);
    m_state->others = std::move(handler);
}

std::vector<RecordedRequest> LoopbackHttpServer::requests() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->requests;
}

std::size_t LoopbackHttpServer::requestCount() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->requests.size();
}

RecordedRequest LoopbackHttpServer::lastRequest() const {
    std::lock_guard lock(m_state->mutex);
    if (m_state->requests.empty())
        throw std::logic_error("LoopbackHttpServer: no request has arrived");
    return m_state->requests.back();
}

int LoopbackHttpServer::closedPort(const std::string& address) {
    const int socketHandle = ::socket(AF_INET, SOCK_STREAM, 0);
    if (socketHandle < 0)
        throw std::runtime_error("closedPort: no socket");
    sockaddr_in bound{};
    bound.sin_family = AF_INET;
    ::inet_pton(AF_INET, address.c_str(), &bound.sin_addr);
    socklen_t length = sizeof bound;
    const bool ok = ::bind(socketHandle, reinterpret_cast<sockaddr*>(&bound), sizeof bound) == 0 &&
                    ::getsockname(socketHandle, reinterpret_cast<sockaddr*>(&bound), &length) == 0;
    ::close(socketHandle);
    if (!ok)
        throw std::runtime_error("closedPort: cannot bind on " + address);
    // Bound but never listening, then closed: the port refuses connections until someone else
    // takes it, which the system does not do soon for a port it just handed out.
    return ntohs(bound.sin_port);
}

UnansweredPort::UnansweredPort(const std::string& address) {
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in bound{};
    bound.sin_family = AF_INET;
    ::inet_pton(AF_INET, address.c_str(), &bound.sin_addr);
    socklen_t length = sizeof bound;
    // A backlog of 0 queues one connection; the fillers take it, so later attempts find it full.
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&bound), sizeof bound) != 0 ||
        ::listen(m_listener, 0) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
        if (m_listener >= 0)
            ::close(m_listener);
        throw std::runtime_error("UnansweredPort: cannot listen on " + address);
    }
    m_port = ntohs(bound.sin_port);
    for (int i = 0; i < 3; ++i) {
        const int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (filler < 0)
            continue;
        ::connect(filler, reinterpret_cast<sockaddr*>(&bound), sizeof bound); // EINPROGRESS is fine
        m_fillers.push_back(filler);
    }
    // The fillers' handshakes complete in the kernel; let them, before anyone else tries.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

UnansweredPort::~UnansweredPort() {
    for (int filler : m_fillers)
        ::close(filler);
    ::close(m_listener);
}

} // namespace halvio::test
