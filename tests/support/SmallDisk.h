#pragma once
// A disk that fills on demand: a tmpfs of a few MiB mounted on a folder of the test and unmounted
// when the object goes. The mount is made in a mount namespace private to the calling thread, so
// that nothing is left mounted on the machine when a test dies half-way. It needs root: a test that
// needs one says so and skips when available() is false.

#include <cstddef>
#include <string>

namespace halvio::test {

class SmallDisk {
public:
    static constexpr std::size_t kSize = std::size_t{3} << 20;

    // Whether disks can be mounted here (root, and mount namespaces allowed). The first call moves
    // the calling thread into its private mount namespace.
    static bool available();

    // Mounts a tmpfs of `bytes` on `folder`, an existing folder. Throws std::runtime_error.
    explicit SmallDisk(std::string folder, std::size_t bytes = kSize);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    const std::string& folder() const { return m_folder; }
    // Bytes still free on the disk.
    std::size_t freeBytes() const;

private:
    std::string m_folder;
};

} // namespace halvio::test
