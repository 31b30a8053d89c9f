#include "PendingHttpEvents.h"

#include <utility>

namespace halvio::platform {

void PendingHttpEvents::workBegin(std::int64_t expectedCount) {
    m_events.push_back({Event::WorkBegin, expectedCount, {}});
}

void PendingHttpEvents::work(std::int64_t runningCount) {
    if (!m_events.empty() && m_events.back().kind == Event::Work)
        m_events.back().count = runningCount;
    else
        m_events.push_back({Event::Work, runningCount, {}});
}

void PendingHttpEvents::status(std::string text) {
    m_events.push_back({Event::Status, 0, std::move(text)});
}

void PendingHttpEvents::raise(const HttpEvents& handlers) {
    std::vector<Event> events;
    events.swap(m_events);
    for (const Event& event : events) {
        switch (event.kind) {
        case Event::WorkBegin:
            if (handlers.workBegin)
                handlers.workBegin(event.count);
            break;
        case Event::Work:
            if (handlers.work)
                handlers.work(event.count);
            break;
        case Event::Status:
            if (handlers.status)
                handlers.status(event.text);
            break;
        }
    }
}

} // namespace halvio::platform
