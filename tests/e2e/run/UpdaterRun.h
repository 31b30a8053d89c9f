#pragma once
// One run of the real updater, maj_kliso.exe, started from a prepared program folder: offscreen,
// or on the test's X server when the test must answer its dialogs.

#include <QDateTime>

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>

namespace halvio::test {

class ChildProcesses;
class ClinicInstallation;

class UpdaterRun {
public:
    // display: empty for offscreen windows, else an X display (":N").
    UpdaterRun(ChildProcesses& processes, const ClinicInstallation& clinic, const std::string& display = {});
    // A run that the test did not start itself (the copy tool starts the replaced updater).
    UpdaterRun(ChildProcesses& processes, pid_t pid);

    pid_t pid() const { return m_pid; }
    // When the test started it; invalid for a run it did not start.
    const QDateTime& started() const { return m_started; }
    bool isRunning();
    // Waits for the program to end by itself; at the limit it is killed and false returned.
    bool waitEnded(std::chrono::milliseconds limit);
    // When the test saw it end.
    const QDateTime& ended() const { return m_ended; }
    std::optional<int> exitCode();

private:
    ChildProcesses& m_processes;
    pid_t m_pid = 0;
    QDateTime m_started;
    QDateTime m_ended;
};

} // namespace halvio::test
