#pragma once
// The processes an end-to-end test starts, and those they leave behind. The test process becomes a
// subreaper, so that a program started by the updater (the copy tool) and whatever that program
// starts in turn (the updater again) become its children when their parents end: their exit codes
// can be read, and nothing outlives the test.

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace halvio::test {

// A pipe whose two ends close with it (both close on exec): a started program gets an end through
// SpawnOptions::passedDescriptors or its standard output.
class Pipe {
public:
    // Throws std::runtime_error when the system gives no pipe.
    Pipe();
    ~Pipe();
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    int readEnd() const { return m_ends[0]; }
    int writeEnd() const { return m_ends[1]; }
    // Once the started program holds its copy, so that its end closes the pipe.
    void closeWriteEnd();

private:
    int m_ends[2] = {-1, -1};
};

struct SpawnOptions {
    std::vector<std::string> arguments;   // arguments[0] is the program's path
    std::vector<std::string> environment; // "NAME=value", the whole environment
    std::string workingDirectory;         // empty: the test's own
    std::string outputFile;               // standard output and error appended there; empty: discarded
    // Descriptors of the test handed down: (descriptor here, number in the started program).
    std::vector<std::pair<int, int>> passedDescriptors;
};

struct CommandResult {
    bool finished = false; // false: still running at the deadline, and killed
    int exitCode = -1;
    std::string output; // standard output
};

// The test's environment without the variables that would change how a started program reaches
// the network or the screen (proxies, display, Qt platform) or how it was started (the copy tool's
// COPIE_ settings, the starter's process id), plus `extra`.
std::vector<std::string> cleanEnvironment(const std::vector<std::string>& extra);

class ChildProcesses {
public:
    ChildProcesses();
    // Kills every child still running, adopted ones included.
    ~ChildProcesses();
    ChildProcesses(const ChildProcesses&) = delete;
    ChildProcesses& operator=(const ChildProcesses&) = delete;

    // Throws std::runtime_error when the program cannot be started.
    pid_t start(const SpawnOptions& options);

    // Runs a short command to its end and returns its standard output; killed after `limit`.
    CommandResult run(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
                      std::chrono::milliseconds limit);

    // Collects the exit status of every child that has ended, started here or adopted.
    void reap();
    bool hasEnded(pid_t pid);
    // The exit code of a normal exit, or 128 + the signal's number; nothing while it runs.
    std::optional<int> exitCode(pid_t pid);
    // Waits, keeping the test's event loop going, until the process ends or `limit` passes.
    bool waitEnded(pid_t pid, std::chrono::milliseconds limit);

    // Running children (adopted ones included) whose program file is `programFile`.
    std::vector<pid_t> childrenRunning(const std::string& programFile);

    // SIGKILL: the Firebird client library inside the updater ignores SIGTERM.
    void kill(pid_t pid);
    void killAll();

private:
    std::map<pid_t, int> m_ended; // raw wait statuses
};

} // namespace halvio::test
