#pragma once
// A failed HTTP request. The message is the text the user sees after a failed exchange: the
// status line of an error reply ("HTTP/1.1 404 Not Found") or the network layer's own words.

#include <stdexcept>
#include <string>

namespace halvio::platform {

class HttpError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace halvio::platform
