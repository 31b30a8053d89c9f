#include "UpdaterRun.h"

#include "ChildProcesses.h"
#include "ClinicInstallation.h"

#include <QTest>

namespace halvio::test {

UpdaterRun::UpdaterRun(ChildProcesses& processes, const ClinicInstallation& clinic,
                       const std::string& display)
    : m_processes(processes) {
    SpawnOptions options;
    options.arguments = {clinic.updater()};
    options.environment = display.empty() ? cleanEnvironment({"QT_QPA_PLATFORM=offscreen"})
                                          : cleanEnvironment({"QT_QPA_PLATFORM=xcb", "DISPLAY=" + display});
    // Not the program folder: the updater must find its files through its own path.
    options.workingDirectory = clinic.otherFolder();
    options.outputFile = clinic.outputFile();
    m_started = QDateTime::currentDateTime();
    m_pid = m_processes.start(options);
}

UpdaterRun::UpdaterRun(ChildProcesses& processes, pid_t pid) : m_processes(processes), m_pid(pid) {}

bool UpdaterRun::isRunning() {
    if (m_processes.hasEnded(m_pid)) {
        if (!m_ended.isValid())
            m_ended = QDateTime::currentDateTime();
        return false;
    }
    return true;
}

bool UpdaterRun::waitEnded(std::chrono::milliseconds limit) {
    if (QTest::qWaitFor([&] { return !isRunning(); }, static_cast<int>(limit.count())))
        return true;
    m_processes.kill(m_pid);
    return false;
}

std::optional<int> UpdaterRun::exitCode() {
    return m_processes.exitCode(m_pid);
}

} // namespace halvio::test
