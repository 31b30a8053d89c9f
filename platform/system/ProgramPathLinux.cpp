#include "ProgramPath.h"
#include "SystemError.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace halvio::platform {

char pathSeparator() {
    return '/';
}

std::string programPath() {
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0)
            throw SystemError(std::string("Cannot read the program path '/proc/self/exe': ") +
                              std::strerror(errno));
        if (static_cast<size_t>(length) < buffer.size()) {
            buffer.resize(static_cast<size_t>(length));
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string programFolder() {
    return folderOf(programPath());
}

} // namespace halvio::platform
