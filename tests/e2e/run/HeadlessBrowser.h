#pragma once
// Debian's Chromium, headless, as a vendor's browser: it loads a page of the console on loopback and
// gives back the document as it built it (the DOM after parsing, with the inline SVG).

#include <chrono>
#include <optional>
#include <string>

namespace halvio::test {

class ChildProcesses;

// The browser's program, or nothing when it is not installed.
std::optional<std::string> chromiumProgram();

class HeadlessBrowser {
public:
    // Its profile lives in a folder of its own, removed with it.
    explicit HeadlessBrowser(ChildProcesses& processes, std::string profileFolder);

    // The serialised DOM of the page; empty when the browser did not finish within the limit.
    std::string dom(const std::string& url, std::chrono::milliseconds limit = std::chrono::seconds(90));

private:
    ChildProcesses& m_processes;
    std::string m_profile;
};

} // namespace halvio::test
