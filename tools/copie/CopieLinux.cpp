#include "Copie.h"
#include "FileDescriptor.h"
#include "Files.h"
#include "ProgramStart.h"
#include "SystemError.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace halvio::copie {

using platform::FileDescriptor;

namespace {

[[noreturn]] void fail(const char* what, const std::string& path, int error) {
    throw platform::SystemError(std::string(what) + " '" + path + "': " + std::strerror(error));
}

// The updater names itself in the environment of the programs it starts; a tool started some
// other way waits for its parent.
pid_t updaterPid() {
    if (const char* text = std::getenv(platform::kStarterPidVariable)) {
        pid_t pid = 0;
        const char* end = text + std::strlen(text);
        if (std::from_chars(text, end, pid).ptr == end && pid > 0)
            return pid;
    }
    return ::getppid();
}

// A process that has ended but is not yet reaped by its parent counts as ended.
bool isRunning(pid_t pid) {
    if (::kill(pid, 0) != 0 && errno == ESRCH)
        return false;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    std::getline(stat, text);
    const size_t name = text.rfind(')');
    if (name == std::string::npos || name + 2 >= text.size())
        return true;
    const char state = text[name + 2];
    return state != 'Z' && state != 'X';
}

// Removes the temporary copy unless it has been renamed over the target.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string path) : m_path(std::move(path)) {}
    ~TemporaryFile() {
        if (!m_path.empty())
            ::unlink(m_path.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    void keep() { m_path.clear(); }

private:
    std::string m_path;
};

void writeAll(int fd, const std::string& bytes, const std::string& path) {
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno != EINTR)
            fail("Cannot write", path, errno);
        if (count > 0)
            written += static_cast<size_t>(count);
    }
}

void syncFolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    FileDescriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.get() >= 0)
        ::fsync(directory.get());
}

} // namespace

bool waitForUpdater(const std::string&, std::chrono::seconds limit) {
    const pid_t updater = updaterPid();
    // Pid 1 is the reaper: the parent is gone already.
    if (updater <= 1)
        return true;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (isRunning(updater)) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

void copyOver(const std::string& source, const std::string& target) {
    const std::string bytes = platform::readWholeFile(source);
    struct stat sourceInfo {};
    if (::stat(source.c_str(), &sourceInfo) != 0)
        fail("Cannot read the time of", source, errno);
    mode_t mode = 0755;
    struct stat targetInfo {};
    if (::stat(target.c_str(), &targetInfo) == 0)
        mode = (targetInfo.st_mode & 07777) | S_IXUSR | S_IXGRP | S_IXOTH;

    std::string temporaryPath = target + ".XXXXXX";
    FileDescriptor file(::mkstemp(temporaryPath.data()));
    if (file.get() < 0)
        fail("Cannot create a file beside", target, errno);
    TemporaryFile temporary(temporaryPath);
    writeAll(file.get(), bytes, temporaryPath);

    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const bool sourceIsLater =
        sourceInfo.st_mtim.tv_sec > now.tv_sec ||
        (sourceInfo.st_mtim.tv_sec == now.tv_sec && sourceInfo.st_mtim.tv_nsec > now.tv_nsec);
    struct timespec times[2] = {};
    times[0].tv_nsec = UTIME_NOW;
    times[1] = sourceIsLater ? sourceInfo.st_mtim : now;
    if (::fchmod(file.get(), mode) != 0 || ::futimens(file.get(), times) != 0 || ::fsync(file.get()) != 0)
        fail("Cannot write", temporaryPath, errno);
    if (file.release() != 0)
        fail("Cannot write", temporaryPath, errno);
    if (::rename(temporaryPath.c_str(), target.c_str()) != 0)
        fail("Cannot replace", target, errno);
    temporary.keep();
    syncFolderOf(target);
}

} // namespace halvio::copie
