#include "StallWatch.h"

namespace halvio::platform {

StallWatch::StallWatch(CURL* easy, std::chrono::milliseconds limit)
    : m_easy(easy), m_limit(limit), m_lastMove(Clock::now()) {}

bool StallWatch::stalled(Clock::time_point now) {
    curl_off_t received = 0, sent = 0;
    long headers = 0;
    curl_easy_getinfo(m_easy, CURLINFO_SIZE_DOWNLOAD_T, &received);
    curl_easy_getinfo(m_easy, CURLINFO_SIZE_UPLOAD_T, &sent);
    curl_easy_getinfo(m_easy, CURLINFO_HEADER_SIZE, &headers);
    const curl_off_t moved = received + sent + headers;
    if (moved != m_moved) {
        m_moved = moved;
        m_lastMove = now;
    }
    return m_limit > std::chrono::milliseconds::zero() && now - m_lastMove >= m_limit;
}

} // namespace halvio::platform
