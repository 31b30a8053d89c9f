#pragma once
// The processes running a program file of a prepared folder, found by their executable, whoever
// started them (the copy tool starts the updater again on its own).

#include <sys/types.h>

#include <string>
#include <vector>

namespace halvio::test {

// Processes whose executable is exactly this file (as it is now, not a replaced earlier one).
std::vector<pid_t> processesRunning(const std::string& programFile);

// Kills (SIGKILL) every process whose executable lies in the folder, replaced ones included: what a
// failed test leaves running there must not outlive it.
void killProcessesIn(const std::string& folder);

} // namespace halvio::test
