#pragma once
// The reports folder: every client report received is kept byte for byte in a file of its own,
// named "<code>_<yyyymmdd-hhnnss>_<n>.maj"; an existing file is never replaced.

#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace halvio::tools {

class ReportStore {
public:
    // Creates the folder when it is missing. Throws std::runtime_error.
    explicit ReportStore(std::filesystem::path folder);

    // Returns the file written. Throws std::runtime_error.
    std::filesystem::path store(std::string_view clientCode, std::string_view body);

    // Every file stored by this object, in the order the reports arrived.
    std::vector<std::filesystem::path> storedFiles() const;

    // The code as it appears in a file name: letters, digits, "-" and "_" kept, other bytes "_".
    static std::string fileNameCode(std::string_view clientCode);

private:
    std::filesystem::path m_folder;
    mutable std::mutex m_mutex;
    std::vector<std::filesystem::path> m_stored;
};

} // namespace halvio::tools
