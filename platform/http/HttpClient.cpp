#include "HttpClient.h"

#include "ByteBuffer.h"
#include "CurlSession.h"
#include "HttpTransfer.h"

#include <stdexcept>
#include <utility>

namespace halvio::platform {

namespace {
void refuseWhileBusy(bool busy) {
    // The idle callback and the events run inside a request; they must not reach its client.
    if (busy)
        throw std::logic_error("HttpClient: used again from inside one of its own requests");
}
} // namespace

HttpClient::HttpClient() : HttpClient(Options{}) {}

HttpClient::HttpClient(Options options)
    : m_options(options), m_session(std::make_unique<CurlSession>(options.followRedirects)) {
    if (m_options.maxReplySize > kMaxReplySize)
        throw std::invalid_argument("HttpClient: a reply larger than kMaxReplySize cannot be held");
    m_session->setTimeLimits(options.connectTimeLimit, options.stallLimit, options.totalTimeLimit);
}

HttpClient::~HttpClient() = default;

void HttpClient::setProxy(std::string host, std::int32_t port) {
    refuseWhileBusy(m_busy);
    m_proxyHost = std::move(host);
    m_proxyPort = port;
}

void HttpClient::setEvents(HttpEvents events) {
    refuseWhileBusy(m_busy);
    m_events = std::move(events);
}

void HttpClient::setIdle(std::function<void()> idle) {
    refuseWhileBusy(m_busy);
    m_idle = std::move(idle);
}

void HttpClient::post(const std::string& url, std::string_view body, ByteBuffer& reply) {
    perform(url, &body, reply);
}

void HttpClient::get(const std::string& url, ByteBuffer& reply) {
    perform(url, nullptr, reply);
}

void HttpClient::get(const std::string& url, const BodyPieces& bodyPiece) {
    ByteBuffer unused; // stays empty: the body goes to bodyPiece alone
    perform(url, nullptr, unused, nullptr, nullptr, &bodyPiece);
}

void HttpClient::post(const std::string& url, std::string_view body, ByteBuffer& reply,
                      const std::vector<std::string>& moreHeaders, HttpHeaders& replyHeaders) {
    replyHeaders.clear();
    perform(url, &body, reply, &moreHeaders, &replyHeaders);
}

void HttpClient::perform(const std::string& url, const std::string_view* body, ByteBuffer& reply,
                         const std::vector<std::string>* moreHeaders, HttpHeaders* replyHeaders,
                         const BodyPieces* bodyPiece) {
    refuseWhileBusy(m_busy);
    m_busy = true;
    struct Release {
        bool& busy;
        ~Release() { busy = false; }
    } release{m_busy};
    const HttpRequest request{url,
                              body,
                              m_proxyHost,
                              m_proxyPort,
                              m_options.followRedirects,
                              m_options.maxReplySize,
                              moreHeaders,
                              replyHeaders,
                              bodyPiece};
    HttpTransfer(*m_session, request, m_events, reply).run(m_idle);
}

} // namespace halvio::platform
