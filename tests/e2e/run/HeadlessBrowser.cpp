#include "HeadlessBrowser.h"

#include "ChildProcesses.h"

#include <filesystem>

namespace halvio::test {

std::optional<std::string> chromiumProgram() {
    for (const char* program : {"/usr/bin/chromium", "/usr/bin/chromium-browser"})
        if (std::filesystem::exists(program))
            return program;
    return std::nullopt;
}

HeadlessBrowser::HeadlessBrowser(ChildProcesses& processes, std::string profileFolder)
    : m_processes(processes), m_profile(std::move(profileFolder)) {}

std::string HeadlessBrowser::dom(const std::string& url, std::chrono::milliseconds limit) {
    // --no-sandbox: the tests run as root, where Chromium's sandbox will not start. The rest keeps
    // the browser from reaching for anything but the page (the test's network is loopback anyway).
    const CommandResult result =
        m_processes.run({*chromiumProgram(), "--headless=new", "--no-sandbox", "--disable-gpu",
                         "--no-first-run", "--disable-background-networking", "--disable-component-update",
                         "--disable-sync", "--user-data-dir=" + m_profile, "--dump-dom", url},
                        cleanEnvironment({}), limit);
    return result.finished && result.exitCode == 0 ? result.output : std::string();
}

} // namespace halvio::test
