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

enum class ServiceOutcome {
    Answered,           // the reply holds the body of the answer in the 200 range
    RepeatWithoutProxy, // CheckBox3 is now ticked: the caller runs the whole exchange once more
    Unreachable,        // the notice was shown and the window closed: the run is over
};

// Posts `body` to each endpoint in turn until one answers in the 200 range. After three failures,
// when CheckBox3 was not ticked, it is ticked for the repetition without proxy; otherwise the notice
// is shown and the window closed. In signed mode (a public key in `credentials`) every attempt sends
// a fresh nonce, and `credentials` ends holding the nonce and the reply headers of the attempt that
// answered.
ServiceOutcome exchangeWithService(RunContext& ctx, std::string_view client, std::string_view body,
                                   platform::ByteBuffer& reply, ReplyCredentials& credentials);

} // namespace halvio
