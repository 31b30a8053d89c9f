#include "ChildProcesses.h"

#include <QTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace halvio::test {

namespace {

class FileActions {
public:
    FileActions() { posix_spawn_file_actions_init(&m_actions); }
    ~FileActions() { posix_spawn_file_actions_destroy(&m_actions); }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;
    posix_spawn_file_actions_t* get() { return &m_actions; }

private:
    posix_spawn_file_actions_t m_actions;
};

class Attributes {
public:
    Attributes() {
        posix_spawnattr_init(&m_attributes);
        sigset_t all;
        sigfillset(&all);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigdefault(&m_attributes, &all);
        posix_spawnattr_setsigmask(&m_attributes, &none);
        posix_spawnattr_setflags(&m_attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    }
    ~Attributes() { posix_spawnattr_destroy(&m_attributes); }
    Attributes(const Attributes&) = delete;
    Attributes& operator=(const Attributes&) = delete;
    posix_spawnattr_t* get() { return &m_attributes; }

private:
    posix_spawnattr_t m_attributes;
};

std::vector<char*> pointersTo(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

pid_t spawn(std::vector<std::string> arguments, std::vector<std::string> environment, FileActions& actions) {
    if (arguments.empty())
        throw std::runtime_error("no program to start");
    Attributes attributes;
    std::vector<char*> argv = pointersTo(arguments);
    std::vector<char*> envp = pointersTo(environment);
    pid_t pid = 0;
    const int error = ::posix_spawn(&pid, arguments.front().c_str(), actions.get(), attributes.get(),
                                    argv.data(), envp.data());
    if (error != 0)
        throw std::runtime_error("cannot start " + arguments.front() + ": " + std::strerror(error));
    return pid;
}

struct ProcessStat {
    pid_t parent = 0;
    char state = '?';
};

std::optional<ProcessStat> statOf(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(stat, text))
        return std::nullopt;
    // The program name in parentheses may hold blanks: the fields follow its last ')'.
    const size_t close = text.rfind(')');
    if (close == std::string::npos || close + 4 >= text.size())
        return std::nullopt;
    ProcessStat result;
    result.state = text[close + 2];
    result.parent = static_cast<pid_t>(std::stol(text.substr(close + 4)));
    return result;
}

std::vector<pid_t> runningChildren() {
    std::vector<pid_t> children;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const pid_t pid = static_cast<pid_t>(std::stol(name));
        const auto stat = statOf(pid);
        if (stat && stat->parent == ::getpid() && stat->state != 'Z' && stat->state != 'X')
            children.push_back(pid);
    }
    return children;
}

} // namespace

Pipe::Pipe() {
    if (::pipe2(m_ends, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
}

Pipe::~Pipe() {
    closeWriteEnd();
    ::close(m_ends[0]);
}

void Pipe::closeWriteEnd() {
    if (m_ends[1] >= 0)
        ::close(m_ends[1]);
    m_ends[1] = -1;
}

std::vector<std::string> cleanEnvironment(const std::vector<std::string>& extra) {
    static const char* const dropped[] = {
        "http_proxy", "HTTP_PROXY",      "https_proxy", "HTTPS_PROXY",     "ftp_proxy",
        "FTP_PROXY",  "no_proxy",        "NO_PROXY",    "all_proxy",       "ALL_PROXY",
        "DISPLAY",    "WAYLAND_DISPLAY", "XAUTHORITY",  "QT_QPA_PLATFORM", "HALVIO_STARTER_PID"};
    std::vector<std::string> variables;
    for (char** entry = environ; entry && *entry; ++entry) {
        const std::string variable(*entry);
        const std::string name = variable.substr(0, variable.find('='));
        bool keep = name.rfind("COPIE_", 0) != 0;
        for (const char* drop : dropped)
            keep = keep && name != drop;
        if (keep)
            variables.push_back(variable);
    }
    variables.insert(variables.end(), extra.begin(), extra.end());
    return variables;
}

ChildProcesses::ChildProcesses() {
    if (::prctl(PR_SET_CHILD_SUBREAPER, 1) != 0)
        throw std::runtime_error(std::string("cannot become a subreaper: ") + std::strerror(errno));
}

ChildProcesses::~ChildProcesses() {
    killAll();
}

pid_t ChildProcesses::start(const SpawnOptions& options) {
    FileActions actions;
    if (!options.workingDirectory.empty() &&
        posix_spawn_file_actions_addchdir_np(actions.get(), options.workingDirectory.c_str()) != 0)
        throw std::runtime_error("cannot set the working directory " + options.workingDirectory);
    const std::string output = options.outputFile.empty() ? "/dev/null" : options.outputFile;
    posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(actions.get(), 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(actions.get(), 1, 2);
    for (const auto& [here, there] : options.passedDescriptors)
        posix_spawn_file_actions_adddup2(actions.get(), here, there);
    return spawn(options.arguments, options.environment, actions);
}

CommandResult ChildProcesses::run(const std::vector<std::string>& arguments,
                                  const std::vector<std::string>& environment,
                                  std::chrono::milliseconds limit) {
    Pipe output;
    FileActions actions;
    posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(actions.get(), output.writeEnd(), 1);
    posix_spawn_file_actions_addopen(actions.get(), 2, "/dev/null", O_WRONLY, 0);
    const pid_t pid = spawn(arguments, environment, actions);
    output.closeWriteEnd();

    const auto deadline = std::chrono::steady_clock::now() + limit;
    auto remaining = [&] {
        return std::max<long>(0, std::chrono::duration_cast<std::chrono::milliseconds>(
                                     deadline - std::chrono::steady_clock::now())
                                     .count());
    };
    CommandResult result;
    char chunk[4096];
    for (;;) {
        pollfd readable{output.readEnd(), POLLIN, 0};
        if (::poll(&readable, 1, static_cast<int>(remaining())) <= 0)
            break;
        const ssize_t count = ::read(output.readEnd(), chunk, sizeof chunk);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        result.output.append(chunk, static_cast<size_t>(count));
    }
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (remaining() == 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return result;
        }
        QTest::qWait(10);
    }
    result.finished = true;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

void ChildProcesses::reap() {
    int status = 0;
    pid_t pid = 0;
    while ((pid = ::waitpid(-1, &status, WNOHANG)) > 0)
        m_ended[pid] = status;
}

bool ChildProcesses::hasEnded(pid_t pid) {
    reap();
    return m_ended.count(pid) != 0;
}

std::optional<int> ChildProcesses::exitCode(pid_t pid) {
    if (!hasEnded(pid))
        return std::nullopt;
    const int status = m_ended.at(pid);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool ChildProcesses::waitEnded(pid_t pid, std::chrono::milliseconds limit) {
    return QTest::qWaitFor([&] { return hasEnded(pid); }, static_cast<int>(limit.count()));
}

std::vector<pid_t> ChildProcesses::childrenRunning(const std::string& programFile) {
    reap();
    std::error_code error;
    const auto wanted = std::filesystem::weakly_canonical(programFile, error);
    std::vector<pid_t> found;
    for (pid_t pid : runningChildren()) {
        const auto program = std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", error);
        if (!error && program == wanted)
            found.push_back(pid);
    }
    return found;
}

void ChildProcesses::kill(pid_t pid) {
    if (hasEnded(pid))
        return;
    ::kill(pid, SIGKILL);
    (void)QTest::qWaitFor([&] { return hasEnded(pid); }, 10000);
}

void ChildProcesses::killAll() {
    // A killed child's own children are adopted next: go on until none is left.
    for (int round = 0; round < 20; ++round) {
        const std::vector<pid_t> children = runningChildren();
        if (children.empty())
            break;
        for (pid_t pid : children)
            ::kill(pid, SIGKILL);
        for (pid_t pid : children)
            (void)QTest::qWaitFor([&] { return hasEnded(pid); }, 10000);
    }
    reap();
}

} // namespace halvio::test
