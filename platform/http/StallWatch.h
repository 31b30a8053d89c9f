#pragma once
// Notices a request in which no byte has moved either way, headers included, for a time limit: a
// peer that accepts and says nothing, or stops in the middle of a body, would hold the run for ever.

#include <curl/curl.h>

#include <chrono>

namespace halvio::platform {

class StallWatch {
public:
    using Clock = std::chrono::steady_clock;

    // A zero limit never reports a stall.
    StallWatch(CURL* easy, std::chrono::milliseconds limit);

    // True once nothing has moved on the easy handle for the limit, as of `now`.
    bool stalled(Clock::time_point now);

private:
    CURL* m_easy;
    std::chrono::milliseconds m_limit;
    curl_off_t m_moved = 0;
    Clock::time_point m_lastMove;
};

} // namespace halvio::platform
