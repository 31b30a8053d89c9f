#pragma once
// The failure of a file or process operation; the message names the path and the system's reason.

#include <cstring>
#include <stdexcept>
#include <string>

namespace halvio::platform {

class SystemError : public std::runtime_error {
public:
    explicit SystemError(const std::string& message) : std::runtime_error(message) {}
};

// Throws "<what> '<path>': <the system's reason for error>".
[[noreturn]] inline void throwSystemError(const char* what, const std::string& path, int error) {
    throw SystemError(std::string(what) + " '" + path + "': " + std::strerror(error));
}

} // namespace halvio::platform
