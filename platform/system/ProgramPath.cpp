#include "ProgramPath.h"

namespace halvio::platform {

std::string joinPath(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (!path.empty() && path.back() != pathSeparator() && path.back() != '/')
        path += pathSeparator();
    path += name;
    return path;
}

std::string folderOf(std::string_view file) {
    const char separators[] = {'/', pathSeparator(), '\0'};
    const size_t last = file.find_last_of(separators);
    return last == std::string_view::npos ? std::string() : std::string(file.substr(0, last + 1));
}

} // namespace halvio::platform
