#pragma once
// A file that takes the place of another only once it is whole: its bytes go to a temporary file
// beside the target ("." + file name + ".XXXXXX", in the same folder so that the rename cannot
// cross disks), which commit() flushes to the disk, renames over the target and makes last by
// flushing the folder. Until then the target stays as it was; the destructor deletes the temporary
// of a replacement that was not committed, whatever ended it (a failed download, a refused file, a
// full disk, an exception of the caller). A crash may leave the temporary behind, never a cut file
// under the target's name. A file that is replaced keeps its permissions; a new one is 0644.
// Failures throw SystemError naming the target and the system's reason.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace halvio::platform {

// What a committed replacement has once commit() returns.
enum class Durability {
    // The bytes and the new name are on the disk: a power cut afterwards keeps the new file whole (a
    // program file, which the workstation runs for months).
    Flushed,
    // Every reader sees the whole new file under its name from then on, from the system's cache;
    // nothing is forced to the disk, so a power cut may lose it. For a file that the run reads once
    // and deletes moments later (a downloaded package: unpacked, then deleted, and downloaded again
    // by the next run when a crash came first), flushing would only make the clinic wait.
    Cached,
};

class FileReplacement {
public:
    // Creates the temporary, empty.
    explicit FileReplacement(std::string target, Durability durability = Durability::Flushed);
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    const std::string& target() const { return m_target; }
    // The bytes appended since the creation or the last restart().
    std::size_t size() const { return m_size; }

    // Appends the bytes. Each full piece of kWritePiece of a Flushed replacement is handed to the
    // disk as soon as it is written, so that the flush of commit() has little left to wait for.
    // With an idle function, the bytes are written on a worker thread while the calling thread calls
    // `idle` every few milliseconds; an exception from `idle` stops the writing between two pieces
    // and goes on (the replacement is then to be abandoned).
    void append(std::string_view bytes, const std::function<void()>& idle = {});

    // Empties the temporary: what was appended is dropped, the next append() starts the file again.
    void restart();

    // Flushes the bytes to the disk, renames the temporary over the target and flushes the folder
    // (a Cached replacement only renames). With an idle function the flush runs on a worker while
    // the calling thread calls `idle`; an exception from `idle` waits for the flush to end, leaves
    // the target as it was and goes on.
    // Once committed, the replacement takes no more bytes.
    void commit(const std::function<void()>& idle = {});

    // The piece between two hand-overs to the disk, and between two looks at whether the caller
    // gave up while a worker writes.
    static constexpr std::size_t kWritePiece = std::size_t{8} << 20;

private:
    void writePiece(std::string_view piece);
    void checkOpen() const;

    std::string m_target;
    Durability m_durability;
    std::string m_temporary;
    int m_fd = -1;
    std::size_t m_size = 0;   // bytes in the temporary
    std::size_t m_handed = 0; // bytes already handed to the disk's writeback
    bool m_committed = false;
};

} // namespace halvio::platform
