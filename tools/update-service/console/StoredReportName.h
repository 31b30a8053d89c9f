#pragma once
// What the name of a stored report file tells: "<code>_<yyyymmdd-hhnnss>_<n>.maj", as the service's
// report store names it. The code part is no source of truth (a long or odd code is hashed in it):
// only the reception time and the sequence number are read, from the end of the name.

#include <optional>
#include <string>
#include <string_view>

namespace halvio::tools::console {

struct StoredReportName {
    std::string receivedAt; // "yyyy.mm.dd hh:nn:ss", the service's local time
    int sequence = 0;       // n: orders reports of one code stored within the same second
};

// Nothing when the name does not end with a valid stamp and a number, e.g. a file put in the folder
// by hand; its reception time is then the file's modification time.
std::optional<StoredReportName> readStoredReportName(std::string_view fileName);

// Whether a name could be a report file of the folder: a plain name ending in ".maj", no folder part,
// not hidden (the index's own files start with ".").
bool isReportFileName(std::string_view fileName);

} // namespace halvio::tools::console
