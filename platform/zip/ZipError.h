#pragma once
// Failure of the ZIP layer: the message names the archive and gives libzip's reason.

#include <stdexcept>

namespace halvio::platform {

class ZipError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace halvio::platform
