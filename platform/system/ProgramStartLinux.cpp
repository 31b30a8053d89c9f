#include "Files.h"
#include "ProgramPath.h"
#include "ProgramStart.h"

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <spawn.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace halvio::platform {

namespace {

std::vector<std::string> splitAtBlanks(std::string_view text) {
    std::vector<std::string> words;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t begin = text.find_first_not_of(" \t", pos);
        if (begin == std::string_view::npos)
            break;
        const size_t end = std::min(text.find_first_of(" \t", begin), text.size());
        words.emplace_back(text.substr(begin, end - begin));
        pos = end;
    }
    return words;
}

std::optional<std::string> findProgram(const std::string& name, const std::string& folder) {
    const std::string path = name.front() == '/' ? name : joinPath(folder, name);
    for (const std::string& candidate : {path, path + ".exe"}) {
        if (fileExists(candidate))
            return candidate;
    }
    return std::nullopt;
}

class SpawnFileActions {
public:
    SpawnFileActions() { posix_spawn_file_actions_init(&m_actions); }
    ~SpawnFileActions() { posix_spawn_file_actions_destroy(&m_actions); }
    SpawnFileActions(const SpawnFileActions&) = delete;
    SpawnFileActions& operator=(const SpawnFileActions&) = delete;
    posix_spawn_file_actions_t* get() { return &m_actions; }

private:
    posix_spawn_file_actions_t m_actions;
};

class SpawnAttributes {
public:
    SpawnAttributes() { posix_spawnattr_init(&m_attributes); }
    ~SpawnAttributes() { posix_spawnattr_destroy(&m_attributes); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    posix_spawnattr_t* get() { return &m_attributes; }

private:
    posix_spawnattr_t m_attributes;
};

std::vector<std::string> environmentWithStarterPid() {
    const std::string prefix = std::string(kStarterPidVariable) + "=";
    std::vector<std::string> variables;
    for (char** entry = environ; entry && *entry; ++entry) {
        if (std::string_view(*entry).substr(0, prefix.size()) != prefix)
            variables.emplace_back(*entry);
    }
    variables.push_back(prefix + std::to_string(::getpid()));
    return variables;
}

std::vector<char*> pointersTo(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

bool startProgram(std::string_view commandLine, const std::string& currentDirectory) noexcept {
    try {
        std::vector<std::string> arguments = splitAtBlanks(commandLine);
        if (arguments.empty())
            return false;
        const std::optional<std::string> program = findProgram(arguments.front(), currentDirectory);
        if (!program)
            return false;
        arguments.front() = *program;
        std::vector<std::string> environment = environmentWithStarterPid();

        SpawnFileActions actions;
        if (!currentDirectory.empty() &&
            posix_spawn_file_actions_addchdir_np(actions.get(), currentDirectory.c_str()) != 0)
            return false;
        if (posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0) != 0 ||
            posix_spawn_file_actions_addopen(actions.get(), 1, "/dev/null", O_WRONLY, 0) != 0 ||
            posix_spawn_file_actions_addopen(actions.get(), 2, "/dev/null", O_WRONLY, 0) != 0)
            return false;

        // Signals the caller ignores or blocks (SIGPIPE for the HTTP client) must not carry over.
        SpawnAttributes attributes;
        sigset_t defaults;
        sigfillset(&defaults);
        sigdelset(&defaults, SIGKILL);
        sigdelset(&defaults, SIGSTOP);
        sigset_t noneBlocked;
        sigemptyset(&noneBlocked);
        posix_spawnattr_setsigdefault(attributes.get(), &defaults);
        posix_spawnattr_setsigmask(attributes.get(), &noneBlocked);
        posix_spawnattr_setflags(attributes.get(),
                                 POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

        std::vector<char*> argv = pointersTo(arguments);
        std::vector<char*> envp = pointersTo(environment);
        pid_t pid = 0;
        return posix_spawn(&pid, program->c_str(), actions.get(), attributes.get(), argv.data(),
                           envp.data()) == 0;
    } catch (...) {
        return false;
    }
}

} // namespace halvio::platform
