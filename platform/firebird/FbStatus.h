#pragma once
// Status vectors of the client library made into DatabaseError. Included by this folder's sources
// only: it brings in the client library's header.

#include "DatabaseError.h"

#include <ibase.h>

namespace halvio::platform {

// The call that filled the status vector failed.
bool failed(const ISC_STATUS* status);
// The error of a failed call: the server's message, the fault the user can act on, the codes.
DatabaseError errorFrom(const ISC_STATUS* status);
// Throws errorFrom(status) when the call failed.
void check(const ISC_STATUS* status);

} // namespace halvio::platform
