#pragma once
// A real HTTP server on a loopback address, run in threads of the test (cpp-httplib). It records
// every request it receives and answers from replies registered per path, with faults on demand:
// any status, a redirection, a connection cut in the middle of the body, a body sent slowly in
// pieces, or a body (or the whole reply) held back until the test opens a gate.
//
// It serves as a proxy too: a request sent through a proxy names an absolute address
// ("POST http://update.invalid/C1.maj HTTP/1.0"), which arrives here as that request's target and
// path, so a reply registered for "http://update.invalid/C1.maj" answers it.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace halvio::test {

struct RecordedRequest {
    std::string method;  // "POST"
    std::string target;  // as on the request line: "/a.maj?x=1", or "http://host/a.maj" via a proxy
    std::string path;    // the target without its query, percent-decoded
    std::string version; // "HTTP/1.0"
    // Names as sent; the parser keeps them sorted by name, not in the order sent.
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    // The first value of the header, name compared without regard to case; "" when absent.
    std::string header(std::string_view name) const;
    bool hasHeader(std::string_view name) const;
};

// Holds a reply's body until the test opens it; opening is final. The server abandons every
// gate when it stops, so that no thread waits forever.
class LoopbackGate {
public:
    void open();
    bool isOpen() const;

    // Server side: waits until the gate is open (true) or abandoned (false); with a limit above
    // zero, also true once the limit has passed.
    bool waitOpen(std::chrono::milliseconds limit = std::chrono::milliseconds::zero());
    void abandon();

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
    bool m_abandoned = false;
};

struct LoopbackReply {
    int status = 200;
    std::string body;
    std::string contentType = "text/html";
    std::vector<std::pair<std::string, std::string>> headers; // more headers: Set-Cookie, Location

    // false: no Content-Length; the end of the body is the end of the connection.
    bool announceLength = true;

    // Faults on the body. The headers announce body.size() as the Content-Length.
    std::size_t cutAfter = npos;                     // close the connection after so many body bytes
    std::size_t pieceSize = 0;                       // send the body in pieces of this size...
    std::chrono::milliseconds pauseBetweenPieces{0}; // ...with this pause after each
    std::shared_ptr<LoopbackGate> gate;              // send holdAfter bytes, then wait for the gate
    std::size_t holdAfter = 0;
    // Announced as the Content-Length in place of body.size(); the connection closes once the
    // body runs out (a server that claims more than it sends).
    std::size_t claimedLength = npos;
    // With a gate: send nothing at all, not even the status line, until it opens (holdAfter unused).
    bool holdHeaders = false;
    // With a gate: go on sending after this long even if it stays shut (zero: wait for it), so that
    // a client that would wait for ever gets a late reply and its test fails instead of hanging.
    std::chrono::milliseconds holdAtMost{0};

    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    static LoopbackReply text(std::string body, int status = 200);
    static LoopbackReply redirect(std::string location, int status = 302);
};

class LoopbackHttpServer {
public:
    using Handler = std::function<LoopbackReply(const RecordedRequest&)>;

    // Listens on `address` (any 127.x.y.z) and `port` (0: a free one) before it returns.
    explicit LoopbackHttpServer(std::string address = "127.0.0.1", int port = 0);
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    const std::string& address() const;
    int port() const;
    std::string hostAndPort() const;              // "127.0.0.1:41234"
    std::string url(std::string_view path) const; // "http://127.0.0.1:41234" + path

    // The reply to every request for `path`, whatever its method; replaces an earlier one.
    void serve(std::string path, LoopbackReply reply);
    // A reply made per request. Handlers run on the server's threads.
    void handle(std::string path, Handler handler);
    // The reply for paths that have none; by default 404 Not Found.
    void handleOthers(Handler handler);

    std::vector<RecordedRequest> requests() const;
    std::size_t requestCount() const;
    // Throws std::logic_error when nothing has arrived.
    RecordedRequest lastRequest() const;

    // A port on `address` on which nothing listens: connecting to it is refused.
    static int closedPort(const std::string& address = "127.0.0.1");

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// A port on a loopback address whose connections are neither made nor refused: it listens with
// a queue that is already full and never accepts, so a connection attempt waits until the client
// gives up (the system drops the attempt's SYN).
class UnansweredPort {
public:
    explicit UnansweredPort(const std::string& address = "127.0.0.1");
    ~UnansweredPort();
    UnansweredPort(const UnansweredPort&) = delete;
    UnansweredPort& operator=(const UnansweredPort&) = delete;

    int port() const { return m_port; }

private:
    int m_listener = -1;
    std::vector<int> m_fillers;
    int m_port = 0;
};

} // namespace halvio::test
