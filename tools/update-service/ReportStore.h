#pragma once
// The reports folder: every client report received is kept byte for byte in a file of its own,
// named "<code>_<yyyymmdd-hhnnss>_<n>.maj"; an existing file is never replaced.

#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace halvio::tools {

class ReportStore {
public:
    // Creates the folder when it is missing. Throws std::runtime_error.
    explicit ReportStore(std::filesystem::path folder);

    // Returns the file written. Throws std::runtime_error.
    std::filesystem::path store(std::string_view clientCode, std::string_view body);

    // The files stored by this object, in the order the reports arrived: the latest 1024.
    std::vector<std::filesystem::path> storedFiles() const;

    // The code as it appears in a file name: a code of at most 64 letters, digits, "-" and "_" is
    // itself; any other is cut to 40 bytes, its other bytes made "_", and marked "~" plus 16 hex
    // digits computed from the whole code, so that any code is a safe name of bounded length.
    static std::string fileNameCode(std::string_view clientCode);

private:
    std::filesystem::path m_folder;
    mutable std::mutex m_mutex;
    std::deque<std::filesystem::path> m_stored;
    std::string m_sequenceStamp;
    std::unordered_map<std::string, int> m_nextSequence; // file name stem -> first number to try
};

} // namespace halvio::tools
