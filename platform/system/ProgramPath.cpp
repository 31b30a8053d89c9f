#include "ProgramPath.h"

namespace halvio::platform {

std::string joinPath(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (!path.empty() && path.back() != pathSeparator() && path.back() != '/')
        path += pathSeparator();
    path += name;
    return path;
}

} // namespace halvio::platform
