#include "ZipReader.h"

#include "ZipError.h"

#include <zip.h>

#include <algorithm>
#include <limits>

namespace halvio::platform {

namespace {

// A package content is held whole in memory and stored as a blob whose size the package list gives
// as a 32-bit number; a larger recorded size can only come from a damaged or hostile archive.
constexpr zip_uint64_t kMaxEntrySize = std::numeric_limits<std::int32_t>::max();
// Inflated and decrypted in a few milliseconds, after which the idle function runs.
constexpr zip_uint64_t kReadChunk = 256u << 10;

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
    const zip_int64_t index = zip_name_locate(archive, name.c_str(), ZIP_FL_ENC_RAW);
    if (index < 0)
        fail("no entry named " + name);

    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive, static_cast<zip_uint64_t>(index), 0, &stat) != 0)
        fail(zip_strerror(archive));
    if ((stat.valid & ZIP_STAT_SIZE) == 0)
        fail("the size of " + name + " is unknown");
    if (stat.size > kMaxEntrySize)
        fail(name + " is too large");

    std::unique_ptr<zip_file_t, FileCloser> file(
        zip_fopen_index_encrypted(archive, static_cast<zip_uint64_t>(index), 0, passwordOrNull()));
    if (!file)
        fail(zip_strerror(archive));

    // Reserved, not filled: the pages of a large entry are touched a piece at a time as it is read,
    // not all at once before the first byte.
    std::string content;
    content.reserve(static_cast<std::size_t>(stat.size));
    zip_uint64_t done = 0;
    while (done < stat.size) {
        const zip_uint64_t wanted = std::min(kReadChunk, stat.size - done);
        content.resize(static_cast<std::size_t>(done + wanted));
        const zip_int64_t got = zip_fread(file.get(), content.data() + done, wanted);
        if (got < 0)
            fail(zip_file_strerror(file.get()));
        if (got == 0)
            fail(name + " is shorter than its recorded size");
        done += static_cast<zip_uint64_t>(got);
        content.resize(static_cast<std::size_t>(done));
        if (m_idle)
            m_idle();
    }
    // libzip checks the CRC only when the end of the entry is reached, so read past the last byte.
    char extra = 0;
    const zip_int64_t beyond = zip_fread(file.get(), &extra, 1);
    if (beyond < 0)
        fail(zip_file_strerror(file.get()));
    if (beyond > 0)
        fail(name + " is longer than its recorded size");
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
