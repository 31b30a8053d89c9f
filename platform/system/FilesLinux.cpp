#include "FileDescriptor.h"
#include "Files.h"
#include "SystemError.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

namespace halvio::platform {

namespace {

[[noreturn]] void fail(const char* what, const std::string& path, int error) {
    throw SystemError(std::string(what) + " '" + path + "': " + std::strerror(error));
}

// Writes every byte, going on after short writes and interruptions.
void writeAll(int fd, std::string_view bytes, const std::string& path) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            fail("Cannot write the file", path, errno);
        }
        written += static_cast<std::size_t>(count);
    }
}

// The piece written between two looks at whether the caller gave up; each piece is handed to the
// disk at once, so that the flush at the end has little left to wait for.
constexpr std::size_t kWritePiece = std::size_t{8} << 20;
// How often the idle function runs while a file is written on a worker: a window's timers and
// repaints want a few tens of milliseconds at most.
constexpr auto kIdleInterval = std::chrono::milliseconds(10);

// Thrown on the worker when the caller's idle function failed: the writing stops there.
struct WritingAbandoned {};

// Writes every byte and flushes them to the disk, stopping between pieces once `abandoned` is set.
void writeAndFlush(int fd, std::string_view bytes, const std::string& path,
                   const std::atomic<bool>& abandoned) {
    for (std::size_t offset = 0; offset < bytes.size(); offset += kWritePiece) {
        if (abandoned.load())
            throw WritingAbandoned{};
        const std::string_view piece = bytes.substr(offset, kWritePiece);
        writeAll(fd, piece, path);
        // Only a hint: the fsync below is what the contract rests on.
        ::sync_file_range(fd, static_cast<off_t>(offset), static_cast<off_t>(piece.size()),
                          SYNC_FILE_RANGE_WRITE);
    }
    if (::fsync(fd) != 0)
        fail("Cannot write the file", path, errno);
}

// Runs `write` on a worker thread while this thread calls `idle`. When `idle` throws, the worker
// is told to stop, waited for, and the idle function's exception goes on.
void writeWhileIdle(const std::function<void()>& write, const std::function<void()>& idle,
                    std::atomic<bool>& abandoned) {
    std::future<void> done = std::async(std::launch::async, write);
    while (done.wait_for(kIdleInterval) != std::future_status::ready) {
        try {
            idle();
        } catch (...) {
            abandoned.store(true);
            done.wait();
            throw;
        }
    }
    done.get();
}

// A temporary file that is deleted when the writing is abandoned, whatever ended it.
struct RemovedUnlessKept {
    const std::string& path;
    bool kept = false;
    ~RemovedUnlessKept() {
        if (!kept)
            ::unlink(path.c_str());
    }
};

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
        fail("Cannot create the folder", path, error);
    }
}

std::string readWholeFile(const std::string& path) {
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0)
        fail("Cannot open the file", path, errno);
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(file.get(), buffer, sizeof buffer);
        if (count == 0)
            return bytes;
        if (count < 0) {
            if (errno == EINTR)
                continue;
            fail("Cannot read the file", path, errno);
        }
        bytes.append(buffer, static_cast<size_t>(count));
    }
}

void writeWholeFile(const std::string& path, std::string_view bytes) {
    FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (file.get() < 0)
        fail("Cannot open the file for writing", path, errno);
    writeAll(file.get(), bytes, path);
    if (file.release() != 0)
        fail("Cannot write the file", path, errno);
}

void replaceFileAtomically(const std::string& path, std::string_view bytes,
                           const std::function<void()>& idle) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::string temporary = path.substr(0, nameStart) + "." + path.substr(nameStart) + ".XXXXXX";

    FileDescriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
    if (file.get() < 0)
        fail("Cannot create a file beside", path, errno);
    RemovedUnlessKept written{temporary};
    // mkostemp creates the file for its owner only; a program file must stay readable by all.
    struct stat previous {};
    const mode_t mode = ::stat(path.c_str(), &previous) == 0 ? (previous.st_mode & 07777) : 0644;
    if (::fchmod(file.get(), mode) != 0)
        fail("Cannot set the permissions of the file", path, errno);
    std::atomic<bool> abandoned{false};
    const auto write = [&] { writeAndFlush(file.get(), bytes, path, abandoned); };
    if (idle)
        writeWhileIdle(write, idle, abandoned);
    else
        write();
    if (file.release() != 0)
        fail("Cannot write the file", path, errno);
    if (::rename(temporary.c_str(), path.c_str()) != 0)
        fail("Cannot replace the file", path, errno);
    written.kept = true;

    FileDescriptor folderHandle(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderHandle.get() < 0 || ::fsync(folderHandle.get()) != 0)
        fail("Cannot flush the folder", folder, errno);
}

bool deleteFile(const std::string& path) noexcept {
    return ::unlink(path.c_str()) == 0;
}

DateTime lastWriteTime(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        fail("Cannot read the time of the file", path, errno);
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
        fail("Cannot read the permissions of the file", path, errno);
    if (::chmod(path.c_str(), (info.st_mode & 07777) | S_IXUSR | S_IXGRP | S_IXOTH) != 0)
        fail("Cannot make the file executable", path, errno);
}

} // namespace halvio::platform
