#pragma once
// The download of one package file, from the hosts that the direct-connection box chooses.

#include <string>
#include <vector>

namespace halvio {

struct RunContext;

namespace platform {
class ByteBuffer;
}

// The hosts a package file is fetched from, tried in this order: the office server and then the
// internal address on a direct connection, otherwise the public web host alone.
std::vector<std::string> packageHosts(bool directConnection);

// GETs the package file into `buffer` from the first host that serves it. Every package starts
// again from the first host. A host that fails before the last is logged and the next one tried;
// when the last one fails the error is thrown (an HttpError, or whatever the client threw), after
// the direct connection's own log line and "antivirus" notice. `buffer` is then empty.
void downloadPackage(RunContext& run, const std::string& fileName, platform::ByteBuffer& buffer);

} // namespace halvio
