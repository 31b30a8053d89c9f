#pragma once
// Why the clinic database could not be opened, told in French from what the run knows: whether
// kliso.ini was there, the connection name it gave, and what the server's error codes say. The
// server's own text (often English) only ever follows as a detail.

#include "FirebirdClient.h"

#include <string>
#include <string_view>
#include <vector>

namespace halvio {

// The two parts of a connection name: the server ("host" or "host/port", empty for a local
// database) and the path of the file as that server sees it.
struct ConnectionTarget {
    std::string host;
    std::string path;
    bool operator==(const ConnectionTarget&) const = default;
};

// "host:path", "host/port:path", "[v6 address]/port:path", or a plain path (a drive letter's colon
// does not name a server).
ConnectionTarget connectionTarget(std::string_view connectionName);

struct ConnectionSituation {
    bool klisoIniFound = false;
    std::string programFolder;  // where kliso.ini was looked for
    std::string connectionName; // the clinic database's, as the run used it
};

// The log line (Windows-1252) that names the likely cause once every attempt has failed. faults:
// one per attempt, in order. A file or server fault outweighs a refused password: with a wrong path
// the first password reaches "file not found" and the fall-back password is then refused, which
// says nothing of the path.
std::string connectionFailureLine(const ConnectionSituation& situation,
                                  const std::vector<platform::DatabaseFault>& faults);

// The log line for a first attempt that failed when the second one succeeded.
std::string firstAttemptFailureLine(const ConnectionSituation& situation, platform::DatabaseFault fault);

// The log line that carries the server's text (Windows-1252), its lines joined into one.
std::string serverDetailLine(std::string_view serverText);

} // namespace halvio
