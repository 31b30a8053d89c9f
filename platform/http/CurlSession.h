#pragma once
// The libcurl handles of one HttpClient and the settings that hold for all its requests. The
// easy handle keeps the cookie jar; the multi handle lets a request wait in short slices.

#include <curl/curl.h>

#include <chrono>
#include <memory>
#include <string>

namespace halvio::platform {

// Throws HttpError with libcurl's text when a libcurl call fails.
void checkCurl(CURLcode code);

// The host part of an address, or the whole text when libcurl cannot read it as one.
std::string hostOfUrl(const char* url);

class CurlSession {
public:
    explicit CurlSession(bool followRedirects);
    ~CurlSession();
    CurlSession(const CurlSession&) = delete;
    CurlSession& operator=(const CurlSession&) = delete;

    // For every request of the session: the connection must be made within `connect`; `total`,
    // unless zero, bounds the whole request. libcurl enforces both; the transfer watches `stall`.
    void setTimeLimits(std::chrono::milliseconds connect, std::chrono::milliseconds stall,
                       std::chrono::milliseconds total);
    // No byte moving either way for this long fails a request; zero for no such limit.
    std::chrono::milliseconds stallLimit() const { return m_stallLimit; }

    CURL* easy() const { return m_easy.get(); }
    CURLM* multi() const { return m_multi.get(); }
    curl_slist* postHeaders() const { return m_postHeaders.get(); }
    curl_slist* getHeaders() const { return m_getHeaders.get(); }
    // libcurl's detailed text of the last failure ("" when it left none).
    const char* errorText() const { return m_errorText; }
    void clearErrorText() { m_errorText[0] = '\0'; }

private:
    struct EasyCleanup {
        void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
    };
    struct MultiCleanup {
        void operator()(CURLM* handle) const { curl_multi_cleanup(handle); }
    };
    struct ListCleanup {
        void operator()(curl_slist* list) const { curl_slist_free_all(list); }
    };

    std::unique_ptr<CURL, EasyCleanup> m_easy;
    std::unique_ptr<CURLM, MultiCleanup> m_multi;
    std::unique_ptr<curl_slist, ListCleanup> m_postHeaders;
    std::unique_ptr<curl_slist, ListCleanup> m_getHeaders;
    char m_errorText[CURL_ERROR_SIZE] = {};
    std::chrono::milliseconds m_stallLimit{0};
};

// Keeps a session's easy handle in its multi handle for the length of one request.
class CurlAttachment {
public:
    explicit CurlAttachment(const CurlSession& session);
    ~CurlAttachment();
    CurlAttachment(const CurlAttachment&) = delete;
    CurlAttachment& operator=(const CurlAttachment&) = delete;

private:
    CURLM* m_multi;
    CURL* m_easy;
};

} // namespace halvio::platform
