#include "CallWhileIdle.h"

#include <future>

namespace halvio::platform {

namespace {

// How often the idle function runs while calls last: a window's timers and repaints want a few tens
// of milliseconds at most. A long call that returns sooner never sees it.
constexpr auto kIdleInterval = std::chrono::milliseconds(10);

// Set while the idle function runs on this thread: a database call made from a message handled
// there runs where it is, instead of handing off again from inside the wait.
thread_local bool t_insideIdle = false;

} // namespace

bool IdleCalls::idleHere() const {
    return m_idle && !t_insideIdle && std::this_thread::get_id() == m_owner;
}

void IdleCalls::callLong(const std::function<void()>& call) {
    if (!idleHere()) {
        call();
        return;
    }
    std::future<void> done = std::async(std::launch::async, call);
    while (done.wait_for(kIdleInterval) != std::future_status::ready) {
        try {
            runIdle();
        } catch (...) {
            // The call still owns the attachment: it is waited for before anything goes further.
            done.wait();
            throw;
        }
    }
    done.get();
}

void IdleCalls::callShort(const std::function<void()>& call) {
    call();
    if (idleHere() && std::chrono::steady_clock::now() - m_lastIdle >= kIdleInterval)
        runIdle();
}

void IdleCalls::runIdle() {
    struct Inside {
        Inside() { t_insideIdle = true; }
        ~Inside() { t_insideIdle = false; }
    } inside;
    m_idle();
    m_lastIdle = std::chrono::steady_clock::now();
}

} // namespace halvio::platform
