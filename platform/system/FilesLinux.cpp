#include "FileDescriptor.h"
#include "FileReplacement.h"
#include "Files.h"
#include "SystemError.h"

#include <cerrno>
#include <cstddef>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace halvio::platform {

namespace {

// Writes every byte, going on after short writes and interruptions.
void writeAll(int fd, std::string_view bytes, const std::string& path) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            throwSystemError("Cannot write the file", path, errno);
        }
        written += static_cast<std::size_t>(count);
    }
}

} // namespace

bool fileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool folderExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

void createFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0755) != 0) {
        const int error = errno;
        if (error == EEXIST && folderExists(path))
            return;
        throwSystemError("Cannot create the folder", path, error);
    }
}

std::string readWholeFile(const std::string& path) {
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0)
        throwSystemError("Cannot open the file", path, errno);
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(file.get(), buffer, sizeof buffer);
        if (count == 0)
            return bytes;
        if (count < 0) {
            if (errno == EINTR)
                continue;
            throwSystemError("Cannot read the file", path, errno);
        }
        bytes.append(buffer, static_cast<size_t>(count));
    }
}

void writeWholeFile(const std::string& path, std::string_view bytes) {
    FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (file.get() < 0)
        throwSystemError("Cannot open the file for writing", path, errno);
    writeAll(file.get(), bytes, path);
    if (file.release() != 0)
        throwSystemError("Cannot write the file", path, errno);
}

void replaceFileAtomically(const std::string& path, std::string_view bytes,
                           const std::function<void()>& idle) {
    FileReplacement file(path);
    file.append(bytes, idle);
    file.commit(idle);
}

bool deleteFile(const std::string& path) noexcept {
    return ::unlink(path.c_str()) == 0;
}

DateTime lastWriteTime(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        throwSystemError("Cannot read the time of the file", path, errno);
    return fromUnixSeconds(static_cast<std::int64_t>(info.st_mtim.tv_sec));
}

bool setLastWriteTime(const std::string& path, const DateTime& localTime) noexcept {
    struct timespec times[2] = {};
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(toUnixSeconds(localTime));
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

void makeExecutable(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        throwSystemError("Cannot read the permissions of the file", path, errno);
    if (::chmod(path.c_str(), (info.st_mode & 07777) | S_IXUSR | S_IXGRP | S_IXOTH) != 0)
        throwSystemError("Cannot make the file executable", path, errno);
}

} // namespace halvio::platform
