#pragma once
// An X server of the test's own (Xvfb on a free display), so that the dialogs of a real
// updater process are real windows that the test answers as a user would: found by their title
// with xdotool, given the focus, and sent the Return key. Offscreen windows cannot be reached from
// another process.

#include "FirebirdFixtures.h"

#include <chrono>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace halvio::test {

class ChildProcesses;

class VirtualDisplay {
public:
    // Throws std::runtime_error when the server does not come up.
    explicit VirtualDisplay(ChildProcesses& processes);
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    // ":N", for DISPLAY.
    const std::string& name() const { return m_name; }

    // The environment of a program that shows its windows here (cleanEnvironment's, plus `extra`).
    std::vector<std::string> environmentFor(const std::vector<std::string>& extra) const;

    // Waits for a shown top-level window titled exactly `title`, gives it the focus, presses Return
    // and waits for it to go. False when no such window shows before `limit`, when keepWaiting
    // turns false first (the program has ended), or when the window stays after the key.
    bool pressReturnIn(const std::string& title, const std::function<bool()>& keepWaiting,
                       std::chrono::milliseconds limit);

    // Ids of the shown top-level windows titled exactly `title`.
    std::vector<std::string> windowsTitled(const std::string& title);

    // The display, its server and the titles of the windows shown now, for the failure messages.
    std::string state();

private:
    bool startServer(int display);
    void stopServer();
    std::vector<std::string> shownWindows(const std::string& titlePattern);

    ChildProcesses& m_processes;
    TempFolder m_folder; // the server's output
    pid_t m_server = 0;
    std::string m_name;
};

} // namespace halvio::test
