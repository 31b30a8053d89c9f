#pragma once
// A POSIX file descriptor owned for its scope (Linux sources only).

#include <unistd.h>

namespace halvio::platform {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_fd; }
    // A close that fails can lose written data, so writers check it.
    int release() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd);
    }

private:
    int m_fd;
};

} // namespace halvio::platform
