#pragma once
// The handlers of the events of the HTTP client: the gauges, the percentage of the package being
// downloaded and the status bar. The same handlers serve the exchange with the update service and
// every package download.

#include <cstdint>
#include <string>

namespace halvio {

struct RunContext;

namespace platform {
struct HttpEvents;
}

// A transfer begins: p1's maximum becomes the expected count of bytes.
void HTTPWorkBegin(RunContext& run, std::int64_t expectedCount);

// Bytes have moved (a running count since the start of the transfer): p1 follows the count, p2 the
// running total plus the count, and the row in editing its percentage. A failed update is dropped;
// pending window messages are processed whatever happened. The window is repainted only when what
// it shows has changed: the percentage, or either gauge's whole per cent.
void HTTPWork(RunContext& run, std::int64_t count);

// The connection's status text goes into panel 0 of the status bar.
void HTTPStatus(RunContext& run, const std::string& statusText);

// The three handlers bound to `run`, for a client that has no window of its own around it.
platform::HttpEvents transferProgressEvents(RunContext& run);

// pc for a progress of a maximum: the quotient times 100, a half going to the even neighbour.
// Throws when the maximum is 0, since the percentage is then undefined.
std::int16_t roundedPercent(std::int32_t progress, std::int32_t maximum);

} // namespace halvio
