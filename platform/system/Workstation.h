#pragma once
// Who runs this program, as another workstation is told when it must wait for us.

#include <string>

namespace halvio::platform {

// The computer's network name, or "?" when the system does not give one.
std::string workstationName();

// The running program's process number.
long processId();

} // namespace halvio::platform
