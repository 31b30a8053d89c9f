#pragma once
// What the tool executables share as processes: stopping on SIGINT/SIGTERM and telling scripts that
// they are up.

#include "ListenAddress.h"

#include <string>
#include <vector>

namespace halvio::tools {

// Blocks SIGINT and SIGTERM in the calling thread and in every thread started after it, and ignores
// SIGPIPE. Call first in main, before any server thread exists.
void blockStopSignals();

// Waits for SIGINT or SIGTERM (blocked beforehand) and returns its number.
int waitForStopSignal();

// Writes the text to a temporary file beside the path and renames it there, so that a reader that
// sees the file sees all of it. Throws std::runtime_error.
void writeFileAtomically(const std::string& path, const std::string& text);

// One "HOST:PORT" line per address.
std::string addressLines(const std::vector<ListenAddress>& addresses);

} // namespace halvio::tools
