#pragma once
// The extractor of package archives (uz): opens an archive file, names its entries and inflates one
// entry, decrypted with the package password (traditional PKWARE encryption), whole into memory.
// Every failure is a ZipError. The sizes an archive records are only claims: memory follows the
// bytes that really inflate, within kMaxEntrySize.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct zip;
struct zip_file;

namespace halvio::platform {

class ZipReader {
public:
    ZipReader();
    ~ZipReader();
    ZipReader(const ZipReader&) = delete;
    ZipReader& operator=(const ZipReader&) = delete;

    // Used for every encrypted entry extracted afterwards; empty means no password.
    void setPassword(std::string password);

    // Called between the pieces of an entry being extracted (a large package takes seconds).
    void setIdle(std::function<void()> idle) { m_idle = std::move(idle); }

    // Reads the archive's entry list; an archive already open is closed first.
    void open(const std::string& path);
    bool isOpen() const { return m_archive != nullptr; }
    std::uint64_t entryCount() const;

    // The entry's name as stored, in the archive's own order (index 0 is the first entry).
    std::string entryName(std::uint64_t index = 0) const;

    // A package content is held whole in memory and stored as a blob whose size travels as a
    // signed 32-bit number; an entry that records more, or inflates to more, is refused.
    static constexpr std::uint64_t kMaxEntrySize = 0x7fffffff;

    // The decrypted, decompressed bytes of the first entry with that name, checked against its CRC
    // and its recorded size. A folder or link entry is an error: it holds no file to extract.
    std::string extract(const std::string& name) const;
    std::string extractFirst() const;

    // Releases the archive file, so that it can be deleted at once. Harmless when nothing is open.
    void close();

private:
    struct ArchiveCloser {
        void operator()(zip* archive) const;
    };

    bool isFileEntry(std::uint64_t index) const;
    std::string readEntry(zip_file* file, const std::string& name, std::uint64_t recordedSize) const;
    const char* passwordOrNull() const;
    [[noreturn]] void fail(const std::string& reason) const;

    std::unique_ptr<zip, ArchiveCloser> m_archive;
    std::string m_path;
    std::uint64_t m_archiveSize = 0; // bytes of the open archive file
    std::string m_password;
    std::function<void()> m_idle;
};

} // namespace halvio::platform
