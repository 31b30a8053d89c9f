#pragma once
// Keeps a window answering while the database client library works: a call that may take long (a
// statement touching many rows, the commit after it, a large blob) runs on a worker thread while
// the calling thread keeps calling an idle function; between short calls made in a loop (a script,
// a copy of rows) the idle function runs whenever the last run is older than an interval. The
// attachment is used by one thread at a time: the caller does nothing with it until a call returns.
// The idle function belongs to the thread that set it (a window's thread): a call made on any other
// thread (a lock's keeper) runs where it is and never calls it.

#include <chrono>
#include <functional>
#include <thread>

namespace halvio::platform {

using IdleFunction = std::function<void()>;

class IdleCalls {
public:
    // Without an idle function every call runs on the calling thread and nothing else happens.
    void setIdle(IdleFunction idle) {
        m_idle = std::move(idle);
        m_owner = std::this_thread::get_id();
    }

    // Returns when `call` has returned, or rethrows what it threw. Reached again from inside the
    // idle function itself, the call runs on the calling thread.
    void callLong(const std::function<void()>& call);
    // Runs `call` where it is, then the idle function when it is due.
    void callShort(const std::function<void()>& call);
    // callLong when the call may take long, else callShort.
    void call(bool mayTakeLong, const std::function<void()>& call) {
        if (mayTakeLong)
            callLong(call);
        else
            callShort(call);
    }

private:
    // Whether the idle function may run here: set, on its own thread, and not already running.
    bool idleHere() const;
    void runIdle();

    IdleFunction m_idle;
    std::thread::id m_owner;
    std::chrono::steady_clock::time_point m_lastIdle{};
};

} // namespace halvio::platform
