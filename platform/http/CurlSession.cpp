#include "CurlSession.h"

#include "HttpError.h"

#include <algorithm>
#include <initializer_list>
#include <new>

namespace halvio::platform {

namespace {

constexpr const char* kUserAgent = "Mozilla/3.0 (compatible; Indy Library)";
constexpr const char* kAccept = "Accept: text/html, */*";
constexpr long kMaxRedirections = 15;
// Larger pieces than libcurl's 16 KiB default keep the per-piece work (copy, event) small against
// the bytes moved. libcurl reads up to 100 pieces in one perform while the socket has data, and the
// window's messages wait meanwhile: 64 KiB pieces bound that to about 6 MiB (a few milliseconds on
// loopback), where 512 KiB let one perform take 50 MiB and a third of a second.
constexpr long kReceivePiece = 64 * 1024;

void initialiseLibcurlOnce() {
    static const CURLcode result = curl_global_init(CURL_GLOBAL_DEFAULT);
    checkCurl(result);
}

curl_slist* headerList(std::initializer_list<const char*> lines) {
    curl_slist* list = nullptr;
    for (const char* line : lines) {
        curl_slist* longer = curl_slist_append(list, line);
        if (!longer) {
            curl_slist_free_all(list);
            throw std::bad_alloc();
        }
        list = longer;
    }
    return list;
}

} // namespace

void checkCurl(CURLcode code) {
    if (code != CURLE_OK)
        throw HttpError(curl_easy_strerror(code));
}

std::string hostOfUrl(const char* url) {
    struct UrlCleanup {
        void operator()(CURLU* handle) const { curl_url_cleanup(handle); }
    };
    struct TextCleanup {
        void operator()(char* text) const { curl_free(text); }
    };
    std::unique_ptr<CURLU, UrlCleanup> parsed(curl_url());
    char* host = nullptr;
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url, 0) != CURLUE_OK ||
        curl_url_get(parsed.get(), CURLUPART_HOST, &host, 0) != CURLUE_OK)
        return url;
    std::unique_ptr<char, TextCleanup> owned(host);
    return host;
}

CurlSession::CurlSession(bool followRedirects) {
    initialiseLibcurlOnce();
    m_easy.reset(curl_easy_init());
    m_multi.reset(curl_multi_init());
    if (!m_easy || !m_multi)
        throw HttpError("libcurl: no handle");
    // "Expect:" with no value stops libcurl from adding its own Expect header.
    m_postHeaders.reset(headerList({"Content-Type: text/html", kAccept, "Expect:"}));
    m_getHeaders.reset(headerList({kAccept}));

    CURL* easy = m_easy.get();
    checkCurl(curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, m_errorText));
    checkCurl(curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_0)));
    checkCurl(curl_easy_setopt(easy, CURLOPT_USERAGENT, kUserAgent));
    // An empty cookie file turns the cookie engine on without reading any file.
    checkCurl(curl_easy_setopt(easy, CURLOPT_COOKIEFILE, ""));
    // The proxy is always set explicitly per request; an empty no-proxy list keeps libcurl from
    // reading no_proxy from the environment, which would bypass a configured proxy.
    checkCurl(curl_easy_setopt(easy, CURLOPT_NOPROXY, ""));
    checkCurl(curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, long(followRedirects)));
    checkCurl(curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirections));
    // A 301 or 302 answer to the report repeats the POST with its body at the new address; a 303
    // asks for a GET, as the status means.
    checkCurl(curl_easy_setopt(easy, CURLOPT_POSTREDIR, long(CURL_REDIR_POST_301 | CURL_REDIR_POST_302)));
    // HTTP/1.0: one connection per request, closed at its end, so every request (and every hop
    // of a redirection) is announced from name resolution to disconnection.
    checkCurl(curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L));
    checkCurl(curl_easy_setopt(easy, CURLOPT_DNS_CACHE_TIMEOUT, 0L));
    checkCurl(curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L));
    checkCurl(curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kReceivePiece));
}

CurlSession::~CurlSession() = default;

void CurlSession::setTimeLimits(std::chrono::milliseconds connect, std::chrono::milliseconds stall,
                                std::chrono::milliseconds total) {
    CURL* easy = m_easy.get();
    // libcurl reads a connection time of 0 as its own 300 s default.
    checkCurl(curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, long(std::max<long>(1, connect.count()))));
    checkCurl(curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, long(total.count())));
    m_stallLimit = stall;
}

CurlAttachment::CurlAttachment(const CurlSession& session)
    : m_multi(session.multi()), m_easy(session.easy()) {
    const CURLMcode code = curl_multi_add_handle(m_multi, m_easy);
    if (code != CURLM_OK)
        throw HttpError(curl_multi_strerror(code));
}

CurlAttachment::~CurlAttachment() {
    curl_multi_remove_handle(m_multi, m_easy);
}

} // namespace halvio::platform
