#include "ProgramProcesses.h"

#include <csignal>
#include <filesystem>
#include <system_error>

namespace halvio::test {

namespace {
// (pid, executable) of every process of ours that can be read; a process ending meanwhile is skipped.
template <typename Visit> void forEachProcess(Visit visit) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::error_code unreadable;
        const std::filesystem::path executable =
            std::filesystem::read_symlink(entry.path() / "exe", unreadable);
        if (!unreadable)
            visit(static_cast<pid_t>(std::stol(name)), executable.string());
    }
}
} // namespace

std::vector<pid_t> processesRunning(const std::string& programFile) {
    std::vector<pid_t> found;
    forEachProcess([&](pid_t pid, const std::string& executable) {
        if (executable == programFile)
            found.push_back(pid);
    });
    return found;
}

void killProcessesIn(const std::string& folder) {
    const std::string prefix = folder + "/";
    forEachProcess([&](pid_t pid, const std::string& executable) {
        if (executable.rfind(prefix, 0) == 0)
            ::kill(pid, SIGKILL);
    });
}

} // namespace halvio::test
