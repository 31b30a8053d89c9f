#include "ZipWriter.h"

#include "ZipError.h"

#include <zip.h>

#include <fstream>
#include <memory>

namespace halvio::platform {

namespace {

struct ArchiveDiscarder {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};

// libzip removes an archive left without entries, so the empty archive (the end-of-central-directory
// record alone) is written by hand.
void writeEmptyArchive(const std::string& path) {
    static const char record[22] = {'P', 'K', 5, 6};
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(record, sizeof record);
    out.close();
    if (!out)
        throw ZipError(path + ": cannot write the archive");
}

} // namespace

ZipWriter::ZipWriter(std::string password) : m_password(std::move(password)) {}

void ZipWriter::addEntry(std::string name, std::string content) {
    m_entries.push_back({std::move(name), std::move(content)});
}

void ZipWriter::addFolder(std::string name) {
    m_entries.push_back({std::move(name), {}, true});
}

void ZipWriter::writeTo(const std::string& path) const {
    if (m_entries.empty()) {
        writeEmptyArchive(path);
        return;
    }
    int code = ZIP_ER_OK;
    std::unique_ptr<zip_t, ArchiveDiscarder> archive(
        zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code));
    if (!archive) {
        zip_error_t error;
        zip_error_init_with_code(&error, code);
        const std::string text = zip_error_strerror(&error);
        zip_error_fini(&error);
        throw ZipError(path + ": " + text);
    }
    auto fail = [&](const std::string& what) {
        throw ZipError(path + ": " + what + ": " + zip_strerror(archive.get()));
    };

    for (const Entry& entry : m_entries) {
        if (entry.folder) {
            if (zip_dir_add(archive.get(), entry.name.c_str(), ZIP_FL_ENC_GUESS) < 0)
                fail(entry.name);
            continue;
        }
        // The buffers stay owned by this writer, which outlives zip_close below.
        zip_source_t* source =
            zip_source_buffer(archive.get(), entry.content.data(), entry.content.size(), 0);
        if (source == nullptr)
            fail(entry.name);
        const zip_int64_t index = zip_file_add(archive.get(), entry.name.c_str(), source, 0);
        if (index < 0) {
            zip_source_free(source);
            fail(entry.name);
        }
        const auto at = static_cast<zip_uint64_t>(index);
        if (zip_set_file_compression(archive.get(), at, ZIP_CM_DEFLATE, 0) != 0)
            fail(entry.name);
        if (!m_password.empty() &&
            zip_file_set_encryption(archive.get(), at, ZIP_EM_TRAD_PKWARE, m_password.c_str()) != 0)
            fail(entry.name);
    }
    if (zip_close(archive.get()) != 0)
        fail("cannot write the archive");
    archive.release();
}

} // namespace halvio::platform
