#pragma once
// The client report posted to the update service, endpoint after endpoint, with the one repetition
// of the run without proxy and the final notice when the service cannot be reached.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace halvio {

struct ReplyCredentials;
struct RunContext;

namespace platform {
class ByteBuffer;
}

struct ReportEndpoint {
    std::string host;    // host or address, with its port when it has one
    std::string logLine; // written to the activity log before the attempt (Windows-1252)
};

// The office server, the internal address and the second public address, in the order tried.
std::vector<ReportEndpoint> reportEndpoints();

// serviceAddress(host) + "/" + trimmed client code + ".maj".
std::string reportAddress(std::string_view host, std::string_view client);

// Appended to the window's caption by each run: "  proxy:" + server + ":" + port.
std::string proxyCaptionSuffix(std::string_view proxyHost, std::int32_t proxyPort);

// The text of the notice after the last failure; that failure's own message goes with it as the
// notice's details.
std::string unreachableServiceText();

// Posts `body` to each endpoint in turn until one answers in the 200 range. Returns true with
// that answer's body in `reply`. Returns false when this run is over: after three failures it
// has either ticked CheckBox3 and run the exchange again through ctx.Button1Click (when the box
// was not ticked), or shown the notice and closed the window. In signed mode (a public key in
// `credentials`) every attempt sends a fresh nonce, and `credentials` ends holding the nonce and the
// reply headers of the attempt that answered.
bool exchangeWithService(RunContext& ctx, std::string_view client, std::string_view body,
                         platform::ByteBuffer& reply, ReplyCredentials& credentials);

} // namespace halvio
