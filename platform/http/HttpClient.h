#pragma once
// A blocking HTTP/1.0 client with one connection state (and one cookie jar) per object. While a
// request waits for the network, the idle callback is called every few tens of milliseconds so
// that the window can process its messages.

#include "HttpEvents.h"
#include "HttpHeaders.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace halvio::platform {

class ByteBuffer;
class CurlSession;

// The largest reply body a request accepts. The largest package published, the Halvio program, is
// a few hundred MiB; it goes to its file as it arrives, then its content is held whole in memory
// while it is unpacked, and a 32-bit workstation has 2 GiB of address space in all. A server whose
// body goes past this (one that never stops sending, or announces more) is refused before memory
// or the disk runs out.
inline constexpr std::size_t kMaxReplySize = std::size_t{1} << 30;

// The room taken for a reply from its announced Content-Length before the bytes arrive. The length
// is only the server's claim; past this the buffer grows as the bytes really come in.
inline constexpr std::size_t kMaxRoomAhead = std::size_t{64} << 20;

// Every request is bounded so that a run on an unattended workstation always ends by itself.
// libcurl's own defaults wait 300 s for a connection and for ever for a peer that says nothing.
// A connection to the update service that is not made in this time fails.
inline constexpr std::chrono::milliseconds kConnectTimeLimit{30'000};
// A request in which no byte moves either way for this long fails as a broken connection does.
inline constexpr std::chrono::milliseconds kStallLimit{60'000};

class HttpClient {
public:
    using BodyPieces = std::function<void(std::string_view piece)>;

    struct Options {
        bool followRedirects = true;
        std::size_t maxReplySize = kMaxReplySize; // at most kMaxReplySize
        std::chrono::milliseconds connectTimeLimit = kConnectTimeLimit;
        std::chrono::milliseconds stallLimit = kStallLimit; // zero for none
        // The whole request, from the name's resolution to the last byte; zero for none.
        std::chrono::milliseconds totalTimeLimit{0};
    };

    HttpClient();
    explicit HttpClient(Options options);
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // An empty host means a direct connection; the environment's proxy variables are never read.
    void setProxy(std::string host, std::int32_t port);
    const std::string& proxyHost() const { return m_proxyHost; }
    std::int32_t proxyPort() const { return m_proxyPort; }

    void setEvents(HttpEvents events);
    void setIdle(std::function<void()> idle);

    // A request that goes beyond one of the Options' time limits fails with HttpError.
    // Both return normally only when the final reply, after any redirection followed, has a
    // status in the 200 range; `reply` then holds its body and nothing else. Otherwise they
    // throw HttpError and leave `reply` empty. An exception thrown by an event or by the idle
    // callback abandons the request and passes through unchanged.
    void post(const std::string& url, std::string_view body, ByteBuffer& reply);
    void get(const std::string& url, ByteBuffer& reply);
    // As get(), handing each piece of the final 2xx reply's body to `bodyPiece` as it arrives, in
    // order, instead of keeping it: when get() returns, the pieces handed, joined, are the body (a
    // package goes to its file without being held in memory as well). No other byte reaches it
    // (neither a redirection's body nor an error's). When get() throws, what was handed is no reply:
    // the caller drops it. An exception thrown by `bodyPiece` abandons the request as an event's
    // does. The Options' maxReplySize bounds the body as it bounds a reply.
    void get(const std::string& url, const BodyPieces& bodyPiece);
    // As post(), sending `moreHeaders` ("Name: value") after the usual ones; on success
    // `replyHeaders` holds the final reply's headers.
    void post(const std::string& url, std::string_view body, ByteBuffer& reply,
              const std::vector<std::string>& moreHeaders, HttpHeaders& replyHeaders);

private:
    void perform(const std::string& url, const std::string_view* body, ByteBuffer& reply,
                 const std::vector<std::string>* moreHeaders = nullptr, HttpHeaders* replyHeaders = nullptr,
                 const BodyPieces* bodyPiece = nullptr);

    Options m_options;
    std::string m_proxyHost;
    std::int32_t m_proxyPort = 0;
    HttpEvents m_events;
    std::function<void()> m_idle;
    std::unique_ptr<CurlSession> m_session;
    bool m_busy = false;
};

} // namespace halvio::platform
