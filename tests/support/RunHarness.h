#pragma once
// The world a step of the run works in, built as the main window builds it for the program's life:
// a program folder of its own, the model over a view that records, the two HTTP clients, the package
// extractor, and the run context over all of them. Fixtures derive from it beside ::testing::Test
// and add the databases they need.

#include "FirebirdFixtures.h"
#include "HttpClient.h"
#include "Model.h"
#include "RecordingView.h"
#include "RunContext.h"
#include "ZipReader.h"

#include <chrono>

namespace halvio::test {

class RunHarness {
public:
    // Limits short enough that a peer that stalls on purpose costs a test about two seconds.
    static platform::HttpClient::Options shortLimits() {
        return {.connectTimeLimit = std::chrono::seconds(2), .stallLimit = std::chrono::seconds(2)};
    }
    // The workstations' client as the window makes it: no redirections.
    static platform::HttpClient::Options withoutRedirects() { return {.followRedirects = false}; }

    // The context's program file is "maj_kliso.exe" in programFolder (which is not created).
    explicit RunHarness(platform::HttpClient::Options httpOptions = shortLimits(),
                        platform::HttpClient::Options localOptions = withoutRedirects());
    RunHarness(const RunHarness&) = delete;
    RunHarness& operator=(const RunHarness&) = delete;

    TempFolder programFolder;
    RecordingView view;
    Model model{view};
    platform::HttpClient http;
    platform::HttpClient httplocal;
    platform::ZipReader uz;
    RunContext context;
};

} // namespace halvio::test
