#include "FileDescriptor.h"
#include "FileReplacement.h"
#include "SystemError.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <future>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace halvio::platform {

namespace {

// How often the idle function runs while a worker writes or flushes: a window's timers and
// repaints want a few tens of milliseconds at most.
constexpr auto kIdleInterval = std::chrono::milliseconds(10);

// Thrown on the worker when the caller's idle function failed: the writing stops there.
struct WritingAbandoned {};

// Runs `work` on a worker thread while this thread calls `idle`. When `idle` throws, the worker
// is told to stop, waited for, and the idle function's exception goes on.
void runWhileIdle(const std::function<void()>& work, const std::function<void()>& idle,
                  std::atomic<bool>& abandoned) {
    std::future<void> done = std::async(std::launch::async, work);
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

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string temporaryPattern(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    return path.substr(0, nameStart) + "." + path.substr(nameStart) + ".XXXXXX";
}

} // namespace

FileReplacement::FileReplacement(std::string target, Durability durability)
    : m_target(std::move(target)), m_durability(durability), m_temporary(temporaryPattern(m_target)) {
    m_fd = ::mkostemp(m_temporary.data(), O_CLOEXEC);
    if (m_fd < 0)
        throwSystemError("Cannot create a file beside", m_target, errno);
    // mkostemp creates the file for its owner only; a program file must stay readable by all.
    struct stat previous {};
    const mode_t mode = ::stat(m_target.c_str(), &previous) == 0 ? (previous.st_mode & 07777) : 0644;
    if (::fchmod(m_fd, mode) != 0) {
        const int error = errno;
        ::close(m_fd);
        ::unlink(m_temporary.c_str());
        throwSystemError("Cannot set the permissions of the file", m_target, error);
    }
}

FileReplacement::~FileReplacement() {
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_committed)
        ::unlink(m_temporary.c_str());
}

void FileReplacement::checkOpen() const {
    if (m_fd < 0)
        throw std::logic_error("FileReplacement: used after its commit");
}

void FileReplacement::append(std::string_view bytes, const std::function<void()>& idle) {
    checkOpen();
    if (!idle) {
        for (std::size_t offset = 0; offset < bytes.size(); offset += kWritePiece)
            writePiece(bytes.substr(offset, kWritePiece));
        return;
    }
    std::atomic<bool> abandoned{false};
    const auto write = [&] {
        for (std::size_t offset = 0; offset < bytes.size(); offset += kWritePiece) {
            if (abandoned.load())
                throw WritingAbandoned{};
            writePiece(bytes.substr(offset, kWritePiece));
        }
    };
    runWhileIdle(write, idle, abandoned);
}

// Writes every byte at the end of what is there, going on after short writes and interruptions.
void FileReplacement::writePiece(std::string_view piece) {
    std::size_t written = 0;
    while (written < piece.size()) {
        const ssize_t count =
            ::pwrite(m_fd, piece.data() + written, piece.size() - written, static_cast<off_t>(m_size));
        if (count < 0) {
            if (errno == EINTR)
                continue;
            throwSystemError("Cannot write the file", m_target, errno);
        }
        written += static_cast<std::size_t>(count);
        m_size += static_cast<std::size_t>(count);
    }
    while (m_durability == Durability::Flushed && m_size - m_handed >= kWritePiece) {
        // Only a hint: the fsync of commit() is what the contract rests on.
        ::sync_file_range(m_fd, static_cast<off_t>(m_handed), static_cast<off_t>(kWritePiece),
                          SYNC_FILE_RANGE_WRITE);
        m_handed += kWritePiece;
    }
}

void FileReplacement::restart() {
    checkOpen();
    // A file cut to nothing is pushed to the disk at its close by some file systems (ext4's
    // replace-via-truncate rule); an empty one has nothing to cut.
    if (m_size == 0)
        return;
    if (::ftruncate(m_fd, 0) != 0)
        throwSystemError("Cannot write the file", m_target, errno);
    m_size = 0;
    m_handed = 0;
}

void FileReplacement::commit(const std::function<void()>& idle) {
    checkOpen();
    std::atomic<bool> abandoned{false}; // a flush under way is not cut short
    const bool flushed = m_durability == Durability::Flushed;
    const auto flush = [&] {
        if (::fsync(m_fd) != 0)
            throwSystemError("Cannot write the file", m_target, errno);
    };
    if (flushed && idle)
        runWhileIdle(flush, idle, abandoned);
    else if (flushed)
        flush();
    const int fd = std::exchange(m_fd, -1);
    if (::close(fd) != 0)
        throwSystemError("Cannot write the file", m_target, errno);
    if (::rename(m_temporary.c_str(), m_target.c_str()) != 0)
        throwSystemError("Cannot replace the file", m_target, errno);
    m_committed = true;
    if (!flushed)
        return;

    const std::string folder = folderOf(m_target);
    FileDescriptor folderHandle(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderHandle.get() < 0 || ::fsync(folderHandle.get()) != 0)
        throwSystemError("Cannot flush the folder", folder, errno);
}

} // namespace halvio::platform
