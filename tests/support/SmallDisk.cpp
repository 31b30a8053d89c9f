#include "SmallDisk.h"

#include <cerrno>
#include <cstring>
#include <sched.h>
#include <stdexcept>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace halvio::test {

namespace {

bool enterPrivateMountNamespace() {
    if (::geteuid() != 0 || ::unshare(CLONE_NEWNS) != 0)
        return false;
    // Mounts made from here on must not travel back to the machine's own namespace.
    return ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

} // namespace

bool SmallDisk::available() {
    static const bool entered = enterPrivateMountNamespace();
    return entered;
}

SmallDisk::SmallDisk(std::string folder, std::size_t bytes) : m_folder(std::move(folder)) {
    if (!available())
        throw std::runtime_error("SmallDisk: mounting needs root and a private mount namespace");
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
    if (::mount("tmpfs", m_folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0)
        throw std::runtime_error("SmallDisk: cannot mount a tmpfs on " + m_folder + ": " +
                                 std::strerror(errno));
}

SmallDisk::~SmallDisk() {
    ::umount2(m_folder.c_str(), MNT_DETACH);
}

std::size_t SmallDisk::freeBytes() const {
    struct statvfs info {};
    if (::statvfs(m_folder.c_str(), &info) != 0)
        throw std::runtime_error("SmallDisk: cannot read the free space of " + m_folder);
    return static_cast<std::size_t>(info.f_bavail) * info.f_frsize;
}

} // namespace halvio::test
