#include "Workstation.h"

#include <climits>
#include <unistd.h>

namespace halvio::platform {

std::string workstationName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0')
        return "?";
    return name;
}

long processId() {
    return static_cast<long>(getpid());
}

} // namespace halvio::platform
