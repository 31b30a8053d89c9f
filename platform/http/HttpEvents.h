#pragma once
// What an HTTP client tells its owner while a request runs. Each is optional; all are called on
// the calling thread from inside post()/get(), in the order things happened, and none may call
// back into the same client. An exception thrown by one abandons the request.

#include <cstdint>
#include <functional>
#include <string>

namespace halvio::platform {

struct HttpEvents {
    // A transfer direction begins: sending the request body (its size), then receiving the reply
    // body (its announced Content-Length, 0 when none is announced).
    std::function<void(std::int64_t expectedCount)> workBegin;
    // Bytes have moved: the running count since the start of that direction. Pieces that arrive
    // together make one event; the last event of a direction carries its whole count.
    std::function<void(std::int64_t runningCount)> work;
    // The connection's state, as a Windows-1252 French text ("Connecté.").
    std::function<void(const std::string& statusText)> status;
};

} // namespace halvio::platform
