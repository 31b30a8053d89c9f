#include "HttpTransfer.h"

#include "ByteBuffer.h"
#include "CurlSession.h"
#include "HttpClient.h"
#include "HttpError.h"
#include "StallWatch.h"
#include "Windows1252.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace halvio::platform {

namespace {

using Clock = std::chrono::steady_clock;
// The window repaints and answers its buttons at this pace while a request waits.
constexpr auto kIdleInterval = std::chrono::milliseconds(25);

} // namespace

HttpTransfer::HttpTransfer(CurlSession& session, const HttpRequest& request, const HttpEvents& events,
                           ByteBuffer& reply)
    : m_session(session), m_request(request), m_events(events), m_reply(reply) {}

void HttpTransfer::run(const std::function<void()>& idle) {
    struct EmptiedUnlessKept {
        ByteBuffer& reply;
        bool kept = false;
        ~EmptiedUnlessKept() {
            if (!kept)
                reply.clear();
        }
    } outcome{m_reply};

    m_reply.clear();
    configure();
    CURLcode result;
    {
        CurlAttachment attachment(m_session);
        result = pump(idle);
    }
    if (m_callbackError)
        std::rethrow_exception(m_callbackError);
    if (m_connected)
        disconnected();
    raisePending();
    if (result != CURLE_OK || m_failure || !m_acceptingBody)
        throwFailure(result);
    if (m_request.replyHeaders)
        *m_request.replyHeaders = std::move(m_headers);
    outcome.kept = true;
}

void HttpTransfer::configure() {
    CURL* easy = m_session.easy();
    m_session.clearErrorText();
    checkCurl(curl_easy_setopt(easy, CURLOPT_URL, m_request.url.c_str()));
    // An empty proxy name is what stops libcurl from taking http_proxy from the environment.
    checkCurl(curl_easy_setopt(easy, CURLOPT_PROXY, m_request.proxyHost.c_str()));
    if (!m_request.proxyHost.empty())
        checkCurl(curl_easy_setopt(easy, CURLOPT_PROXYPORT, long(m_request.proxyPort)));
    if (m_request.body) {
        checkCurl(curl_easy_setopt(easy, CURLOPT_POST, 1L));
        checkCurl(curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(m_request.body->size())));
        checkCurl(curl_easy_setopt(easy, CURLOPT_HTTPHEADER, requestHeaders(m_session.postHeaders())));
    } else {
        checkCurl(curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L));
        checkCurl(curl_easy_setopt(easy, CURLOPT_HTTPHEADER, requestHeaders(m_session.getHeaders())));
    }
    checkCurl(curl_easy_setopt(easy, CURLOPT_READFUNCTION, &HttpTransfer::onRead));
    checkCurl(curl_easy_setopt(easy, CURLOPT_READDATA, this));
    checkCurl(curl_easy_setopt(easy, CURLOPT_SEEKFUNCTION, &HttpTransfer::onSeek));
    checkCurl(curl_easy_setopt(easy, CURLOPT_SEEKDATA, this));
    checkCurl(curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &HttpTransfer::onHeader));
    checkCurl(curl_easy_setopt(easy, CURLOPT_HEADERDATA, this));
    checkCurl(curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &HttpTransfer::onWrite));
    checkCurl(curl_easy_setopt(easy, CURLOPT_WRITEDATA, this));
    checkCurl(curl_easy_setopt(easy, CURLOPT_RESOLVER_START_FUNCTION, &HttpTransfer::onResolverStart));
    checkCurl(curl_easy_setopt(easy, CURLOPT_RESOLVER_START_DATA, this));
    checkCurl(curl_easy_setopt(easy, CURLOPT_SOCKOPTFUNCTION, &HttpTransfer::onSocketOptions));
    checkCurl(curl_easy_setopt(easy, CURLOPT_SOCKOPTDATA, this));
    checkCurl(curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &HttpTransfer::onPrerequest));
    checkCurl(curl_easy_setopt(easy, CURLOPT_PREREQDATA, this));
}

// The session's list for the method, or a copy of it with the request's own headers after it.
curl_slist* HttpTransfer::requestHeaders(curl_slist* usual) {
    if (!m_request.moreHeaders || m_request.moreHeaders->empty())
        return usual;
    std::vector<std::string> lines;
    for (curl_slist* item = usual; item; item = item->next)
        lines.emplace_back(item->data);
    lines.insert(lines.end(), m_request.moreHeaders->begin(), m_request.moreHeaders->end());
    for (const std::string& line : lines) {
        curl_slist* longer = curl_slist_append(m_requestHeaders.get(), line.c_str());
        if (!longer)
            throw std::bad_alloc();
        m_requestHeaders.release();
        m_requestHeaders.reset(longer);
    }
    return m_requestHeaders.get();
}

CURLcode HttpTransfer::pump(const std::function<void()>& idle) {
    CURLM* multi = m_session.multi();
    StallWatch stall(m_session.easy(), m_session.stallLimit());
    auto lastIdle = Clock::now();
    for (;;) {
        int running = 0;
        CURLMcode code = curl_multi_perform(multi, &running);
        if (code != CURLM_OK)
            throw HttpError(curl_multi_strerror(code));
        if (!m_callbackError)
            raisePending();
        if (running == 0)
            break;
        auto now = Clock::now();
        if (stall.stalled(now)) {
            m_failure = fr("Connexion abandonnée : le serveur ne répond plus.");
            return CURLE_OPERATION_TIMEDOUT;
        }
        if (now - lastIdle >= kIdleInterval) {
            if (idle)
                idle();
            lastIdle = now = Clock::now();
        }
        const auto wait =
            std::chrono::duration_cast<std::chrono::milliseconds>(kIdleInterval - (now - lastIdle));
        code = curl_multi_poll(multi, nullptr, 0, std::max(1, static_cast<int>(wait.count())), nullptr);
        if (code != CURLM_OK)
            throw HttpError(curl_multi_strerror(code));
    }
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == m_session.easy())
            return message->data.result;
    }
    throw HttpError("libcurl: the request ended without a result");
}

void HttpTransfer::throwFailure(CURLcode result) const {
    if (m_failure)
        throw HttpError(*m_failure);
    if (result != CURLE_OK) {
        const char* detail = m_session.errorText();
        throw HttpError(*detail ? detail : curl_easy_strerror(result));
    }
    throw HttpError(m_statusLine.empty() ? std::string("libcurl: no reply") : m_statusLine);
}

// Header lines arrive one by one, each header block (one per reply, redirections included)
// opening with its status line and closing with an empty line.
bool HttpTransfer::headerLine(std::string_view line) {
    if (startsWithNoCase(line, "HTTP/")) {
        m_statusLine = withoutLineEnd(line);
        m_sawLocation = false;
        m_headers.clear();
        return true;
    }
    if (line == "\r\n" || line == "\n")
        return finalHeadersEnded();
    keepHeader(line);
    if (startsWithNoCase(line, "Location:"))
        m_sawLocation = true;
    return true;
}

void HttpTransfer::keepHeader(std::string_view line) {
    if (auto header = parseHeaderLine(line))
        m_headers.push_back(std::move(*header));
}

bool HttpTransfer::finalHeadersEnded() {
    CURL* easy = m_session.easy();
    long code = 0;
    checkCurl(curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &code));
    if (code < 200)
        return true;
    if (m_request.followRedirects && code >= 300 && code < 400 && m_sawLocation)
        return true; // libcurl goes on to the new address
    if (code > 299) {
        // Stopping here keeps an error body out of the reply and off the wire.
        m_failure = m_statusLine;
        return false;
    }
    curl_off_t announced = -1;
    checkCurl(curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced));
    if (announced > curl_off_t(m_request.maxReplySize)) {
        m_failure = fr("Réponse trop grande : ") + std::to_string(announced) + " octets.";
        return false;
    }
    if (announced > 0 && !m_request.bodyPiece)
        m_reply.reserve(std::min(static_cast<std::size_t>(announced), kMaxRoomAhead));
    m_acceptingBody = true;
    m_receivedCount = 0;
    m_pending.workBegin(announced > 0 ? announced : 0);
    return true;
}

void HttpTransfer::received(const char* bytes, std::size_t count) {
    if (!m_acceptingBody)
        return; // the body of a reply that is not the final one
    if (count > m_request.maxReplySize - static_cast<std::size_t>(m_receivedCount)) {
        m_failure =
            fr("Réponse trop grande : plus de ") + std::to_string(m_request.maxReplySize) + " octets.";
        return;
    }
    if (m_request.bodyPiece)
        (*m_request.bodyPiece)({bytes, count});
    else
        m_reply.append(bytes, count);
    m_receivedCount += static_cast<std::int64_t>(count);
    m_pending.work(m_receivedCount);
}

std::size_t HttpTransfer::send(char* target, std::size_t room) {
    const std::string_view body = *m_request.body;
    const std::size_t count = std::min(room, body.size() - m_sentCount);
    std::memcpy(target, body.data() + m_sentCount, count);
    m_sentCount += count;
    if (count > 0)
        m_pending.work(static_cast<std::int64_t>(m_sentCount));
    return count;
}

void HttpTransfer::resolving() {
    if (m_connected)
        disconnected(); // the previous hop of a redirection
    m_connectionAnnounced = false;
    m_pending.status(fr("Résolution du nom d'hôte ") + hostShown() + ".");
}

void HttpTransfer::connecting() {
    // Several addresses of one name may be tried; the user sees one attempt.
    if (m_connectionAnnounced)
        return;
    m_connectionAnnounced = true;
    m_pending.status(fr("Connexion à ") + hostShown() + ".");
}

void HttpTransfer::connected() {
    m_connected = true;
    m_pending.status(fr("Connecté."));
    if (!m_request.body)
        return;
    // A redirection answered with 303 goes on as a GET, which sends no body.
    char* method = nullptr;
    checkCurl(curl_easy_getinfo(m_session.easy(), CURLINFO_EFFECTIVE_METHOD, &method));
    if (method && std::strcmp(method, "POST") == 0) {
        m_sentCount = 0;
        m_pending.workBegin(static_cast<std::int64_t>(m_request.body->size()));
    }
}

void HttpTransfer::disconnected() {
    m_connected = false;
    m_connectionAnnounced = false;
    m_pending.status(fr("Déconnexion."));
    m_pending.status(fr("Déconnecté."));
}

std::string HttpTransfer::hostShown() const {
    if (!m_request.proxyHost.empty())
        return m_request.proxyHost;
    char* url = nullptr;
    checkCurl(curl_easy_getinfo(m_session.easy(), CURLINFO_EFFECTIVE_URL, &url));
    return hostOfUrl(url ? url : m_request.url.c_str());
}

void HttpTransfer::raisePending() {
    m_pending.raise(m_events);
}

// libcurl's callbacks are C frames: an exception must not cross them. It is kept, the request is
// stopped by the callback's failure value, and run() throws it again.
template <typename Result, typename Step> Result HttpTransfer::guarded(Result failure, Step&& step) {
    try {
        return step();
    } catch (...) {
        m_callbackError = std::current_exception();
        return failure;
    }
}

std::size_t HttpTransfer::onHeader(char* bytes, std::size_t size, std::size_t count, void* transfer) {
    auto* self = static_cast<HttpTransfer*>(transfer);
    const std::size_t length = size * count;
    return self->guarded<std::size_t>(0, [&] { return self->headerLine({bytes, length}) ? length : 0; });
}

std::size_t HttpTransfer::onWrite(char* bytes, std::size_t size, std::size_t count, void* transfer) {
    auto* self = static_cast<HttpTransfer*>(transfer);
    const std::size_t length = size * count;
    return self->guarded<std::size_t>(0, [&] {
        self->received(bytes, length);
        return self->m_failure ? 0 : length;
    });
}

std::size_t HttpTransfer::onRead(char* target, std::size_t size, std::size_t count, void* transfer) {
    auto* self = static_cast<HttpTransfer*>(transfer);
    return self->guarded<std::size_t>(CURL_READFUNC_ABORT, [&] { return self->send(target, size * count); });
}

int HttpTransfer::onSeek(void* transfer, curl_off_t offset, int origin) {
    auto* self = static_cast<HttpTransfer*>(transfer);
    if (origin != SEEK_SET || offset < 0 || offset > curl_off_t(self->m_request.body->size()))
        return CURL_SEEKFUNC_CANTSEEK;
    self->m_sentCount = static_cast<std::size_t>(offset);
    return CURL_SEEKFUNC_OK;
}

int HttpTransfer::onResolverStart(void*, void*, void* transfer) {
    auto* self = static_cast<HttpTransfer*>(transfer);
    return self->guarded(1, [&] {
        self->resolving();
        return 0;
    });
}

int HttpTransfer::onSocketOptions(void* transfer, curl_socket_t, curlsocktype purpose) {
    auto* self = static_cast<HttpTransfer*>(transfer);
    return self->guarded<int>(CURL_SOCKOPT_ERROR, [&] {
        if (purpose == CURLSOCKTYPE_IPCXN)
            self->connecting();
        return CURL_SOCKOPT_OK;
    });
}

int HttpTransfer::onPrerequest(void* transfer, char*, char*, int, int) {
    auto* self = static_cast<HttpTransfer*>(transfer);
    return self->guarded<int>(CURL_PREREQFUNC_ABORT, [&] {
        self->connected();
        return CURL_PREREQFUNC_OK;
    });
}

} // namespace halvio::platform
