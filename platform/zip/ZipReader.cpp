#include "ZipReader.h"

#include "ZipError.h"

#include <zip.h>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <string_view>
#include <system_error>

namespace halvio::platform {

namespace {

// Deflate expands at most about 1032 times (a 258-byte match coded in 2 bits) and stored entries
// not at all: an entry of a well-formed package cannot inflate to more than this many times the
// archive file's own size, so no more room is taken before the bytes arrive.
constexpr zip_uint64_t kMaxInflation = 1032;
// Inflated and decrypted in a few milliseconds, after which the idle function runs.
constexpr zip_uint64_t kReadChunk = 256u << 10;

// Unix file types as ZIP's external attributes carry them, whatever the reading system.
constexpr zip_uint32_t kUnixTypeMask = 0170000;
constexpr zip_uint32_t kUnixRegularFile = 0100000;
constexpr zip_uint32_t kDosFolder = 0x10;

struct FileCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};

std::string openErrorText(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

} // namespace

void ZipReader::ArchiveCloser::operator()(zip* archive) const {
    // Read-only use: discarding frees the handle and the open file without writing anything.
    zip_discard(archive);
}

ZipReader::ZipReader() = default;
ZipReader::~ZipReader() = default;

void ZipReader::setPassword(std::string password) {
    m_password = std::move(password);
}

void ZipReader::open(const std::string& path) {
    close();
    m_path = path;
    int code = ZIP_ER_OK;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &code);
    if (archive == nullptr)
        fail(openErrorText(code));
    m_archive.reset(archive);
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    m_archiveSize = error ? std::numeric_limits<std::uint64_t>::max() / kMaxInflation : size;
}

std::uint64_t ZipReader::entryCount() const {
    if (!m_archive)
        fail("no archive is open");
    return static_cast<std::uint64_t>(zip_get_num_entries(m_archive.get(), 0));
}

std::string ZipReader::entryName(std::uint64_t index) const {
    if (entryCount() == 0)
        fail("the archive holds no entry");
    const char* name = zip_get_name(m_archive.get(), index, ZIP_FL_ENC_RAW);
    if (name == nullptr)
        fail(zip_strerror(m_archive.get()));
    return name;
}

std::string ZipReader::extract(const std::string& name) const {
    if (!m_archive)
        fail("no archive is open");
    zip_t* archive = m_archive.get();
    const zip_int64_t located = zip_name_locate(archive, name.c_str(), ZIP_FL_ENC_RAW);
    if (located < 0)
        fail("no entry named " + name);
    const auto index = static_cast<zip_uint64_t>(located);
    if (!isFileEntry(index))
        fail(name + " is not a file");

    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive, index, 0, &stat) != 0)
        fail(zip_strerror(archive));
    if ((stat.valid & ZIP_STAT_SIZE) == 0)
        fail("the size of " + name + " is unknown");
    if (stat.size > kMaxEntrySize)
        fail(name + " is too large");

    std::unique_ptr<zip_file_t, FileCloser> file(
        zip_fopen_index_encrypted(archive, index, 0, passwordOrNull()));
    if (!file)
        fail(zip_strerror(archive));
    return readEntry(file.get(), name, stat.size);
}

// A folder is named with a trailing slash by every writer; the external attributes tell the rest
// (a folder or a link written by a Unix or DOS tool).
bool ZipReader::isFileEntry(std::uint64_t index) const {
    const char* name = zip_get_name(m_archive.get(), index, ZIP_FL_ENC_RAW);
    if (name == nullptr)
        fail(zip_strerror(m_archive.get()));
    const std::string_view shown(name);
    if (!shown.empty() && (shown.back() == '/' || shown.back() == '\\'))
        return false;
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(m_archive.get(), index, 0, &system, &attributes) != 0)
        fail(zip_strerror(m_archive.get()));
    if (system == ZIP_OPSYS_UNIX) {
        const zip_uint32_t type = (attributes >> 16) & kUnixTypeMask;
        return type == 0 || type == kUnixRegularFile;
    }
    if (system == ZIP_OPSYS_DOS)
        return (attributes & kDosFolder) == 0;
    return true;
}

std::string ZipReader::readEntry(zip_file* file, const std::string& name, std::uint64_t recordedSize) const {
    // One byte beyond the recorded size, to see an entry that runs past it. libzip checks the CRC
    // only when a read reaches the end of the entry, so the reading goes on until it returns 0.
    const zip_uint64_t limit = recordedSize + 1;
    // Reserved, not filled: the pages of a large entry are touched a piece at a time as it is read.
    std::string content;
    content.reserve(static_cast<std::size_t>(std::min(limit, m_archiveSize * kMaxInflation + 1)));
    std::size_t done = 0;
    for (;;) {
        const zip_uint64_t wanted = std::min<zip_uint64_t>(kReadChunk, limit - done);
        content.resize(done + static_cast<std::size_t>(wanted));
        const zip_int64_t got = wanted == 0 ? 0 : zip_fread(file, content.data() + done, wanted);
        if (got < 0)
            fail(zip_file_strerror(file));
        done += static_cast<std::size_t>(got);
        content.resize(done);
        if (got == 0)
            break;
        if (m_idle)
            m_idle();
    }
    if (done != recordedSize)
        fail(name + (done < recordedSize ? " is shorter" : " is longer") + " than its recorded size");
    return content;
}

std::string ZipReader::extractFirst() const {
    return extract(entryName(0));
}

void ZipReader::close() {
    m_archive.reset();
}

const char* ZipReader::passwordOrNull() const {
    return m_password.empty() ? nullptr : m_password.c_str();
}

void ZipReader::fail(const std::string& reason) const {
    throw ZipError(m_path.empty() ? reason : m_path + ": " + reason);
}

} // namespace halvio::platform
