#pragma once
// One request on a client's CurlSession. It drives libcurl's multi interface in short slices;
// between them it raises the HttpEvents gathered from libcurl's callbacks and calls the idle
// callback. Only the body of a final 2xx reply gets into the reply buffer (or, in its place, to the
// request's bodyPiece function, piece by piece as it arrives).

#include "HttpEvents.h"
#include "HttpHeaders.h"
#include "PendingHttpEvents.h"

#include <curl/curl.h>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halvio::platform {

class ByteBuffer;
class CurlSession;

struct HttpRequest {
    const std::string& url;
    const std::string_view* body; // null for a GET
    const std::string& proxyHost;
    std::int32_t proxyPort;
    bool followRedirects;
    std::size_t maxReplySize; // a longer body, announced or received, fails the request
    const std::vector<std::string>* moreHeaders = nullptr; // "Name: value", after the usual ones
    HttpHeaders* replyHeaders = nullptr;                   // receives the final reply's headers
    // Given each piece of the final 2xx reply's body as it arrives, in place of the reply, which
    // then stays empty.
    const std::function<void(std::string_view)>* bodyPiece = nullptr;
};

class HttpTransfer {
public:
    HttpTransfer(CurlSession& session, const HttpRequest& request, const HttpEvents& events,
                 ByteBuffer& reply);

    // Throws HttpError, or whatever an event or `idle` threw; `reply` is then left empty.
    void run(const std::function<void()>& idle);

private:
    void configure();
    CURLcode pump(const std::function<void()>& idle);
    [[noreturn]] void throwFailure(CURLcode result) const;

    curl_slist* requestHeaders(curl_slist* usual);
    bool headerLine(std::string_view line);
    void keepHeader(std::string_view line);
    bool finalHeadersEnded();
    void received(const char* bytes, std::size_t count);
    std::size_t send(char* target, std::size_t room);
    void resolving();
    void connecting();
    void connected();
    void disconnected();
    std::string hostShown() const;

    // Events reach the owner here, between two slices of the transfer.
    void raisePending();

    template <typename Result, typename Step> Result guarded(Result failure, Step&& step);

    static std::size_t onHeader(char* bytes, std::size_t size, std::size_t count, void* transfer);
    static std::size_t onWrite(char* bytes, std::size_t size, std::size_t count, void* transfer);
    static std::size_t onRead(char* target, std::size_t size, std::size_t count, void* transfer);
    static int onSeek(void* transfer, curl_off_t offset, int origin);
    static int onResolverStart(void* resolverState, void* reserved, void* transfer);
    static int onSocketOptions(void* transfer, curl_socket_t socket, curlsocktype purpose);
    static int onPrerequest(void* transfer, char* remoteIp, char* localIp, int remotePort, int localPort);

    CurlSession& m_session;
    const HttpRequest& m_request;
    const HttpEvents& m_events;
    ByteBuffer& m_reply;

    std::string m_statusLine;     // of the header block being read
    bool m_sawLocation = false;   // in that block
    bool m_acceptingBody = false; // the final 2xx headers have ended
    std::int64_t m_receivedCount = 0;
    std::size_t m_sentCount = 0;
    bool m_connectionAnnounced = false;
    bool m_connected = false;
    std::optional<std::string> m_failure; // a reason of ours to stop, beyond libcurl's
    std::exception_ptr m_callbackError;   // thrown inside a libcurl callback
    PendingHttpEvents m_pending;          // raised between two slices of the transfer
    HttpHeaders m_headers;                // of the header block being read
    std::unique_ptr<curl_slist, void (*)(curl_slist*)> m_requestHeaders{nullptr, curl_slist_free_all};
};

} // namespace halvio::platform
