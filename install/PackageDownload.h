#pragma once
// The download of one package file, from the hosts that the direct-connection box chooses.

#include "SystemError.h"

#include <string>
#include <vector>

namespace halvio {

class PackageFileDigest;
struct RunContext;

namespace platform {
class FileReplacement;
}

// The package file could not be written while it arrived (a full disk, a refused write): no host is
// at fault and no other host is tried; the run ends as when a file cannot be saved. It derives from
// no std::exception, so that the fall-back from host to host lets it through at once.
struct PackageFileNotWritten {
    platform::SystemError cause;
};

// The hosts a package file is fetched from, tried in this order: the office server and then the
// internal address on a direct connection, otherwise the public web host alone.
std::vector<std::string> packageHosts(bool directConnection);

// GETs the package file from the first host that serves it, writing it into `file` and `digest` as
// it arrives: the attempt on each host starts both again, so that on return they hold exactly the
// body of the host that served it (`file` not yet committed). Every package starts again from the
// first host. A host that fails before the last is logged and the next one tried; when the last one
// fails the error is thrown (an HttpError, or whatever the client threw), after the direct
// connection's own log line and "antivirus" notice. A failure to write `file` throws
// PackageFileNotWritten at once.
void downloadPackage(RunContext& run, const std::string& fileName, platform::FileReplacement& file,
                     PackageFileDigest& digest);

} // namespace halvio
