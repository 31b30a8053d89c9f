#pragma once
// The HttpEvents of one request, gathered inside libcurl's callbacks and raised between two slices
// of the transfer, outside libcurl's frames: a handler may then throw or process the window's
// messages without libcurl being in the middle of a call.

#include "HttpEvents.h"

#include <cstdint>
#include <string>
#include <vector>

namespace halvio::platform {

class PendingHttpEvents {
public:
    void workBegin(std::int64_t expectedCount);
    // The pieces that arrive between two raises make one work event: libcurl hands them over a
    // piece at a time, and the window repaints on every event.
    void work(std::int64_t runningCount);
    void status(std::string text);

    // Hands the gathered events to their handlers in the order they happened, and forgets them;
    // an exception from a handler goes on, the events after it are dropped.
    void raise(const HttpEvents& handlers);

private:
    struct Event {
        enum Kind { WorkBegin, Work, Status } kind;
        std::int64_t count;
        std::string text;
    };
    std::vector<Event> m_events;
};

} // namespace halvio::platform
