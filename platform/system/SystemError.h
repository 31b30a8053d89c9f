#pragma once
// The failure of a file or process operation; the message names the path and the system's reason.

#include <stdexcept>
#include <string>

namespace halvio::platform {

class SystemError : public std::runtime_error {
public:
    explicit SystemError(const std::string& message) : std::runtime_error(message) {}
};

} // namespace halvio::platform
