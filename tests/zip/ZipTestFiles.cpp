#include "ZipTestFiles.h"

#include <filesystem>

namespace halvio::test {

bool processHoldsFile(const std::string& path) {
    namespace fs = std::filesystem;
    const fs::path target = fs::canonical(path);
    for (const auto& fd : fs::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const fs::path linked = fs::read_symlink(fd.path(), error);
        if (!error && linked == target)
            return true;
    }
    return false;
}

} // namespace halvio::test
