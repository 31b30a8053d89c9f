#include "ReportStore.h"

#include "DateTime.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <stdexcept>

namespace halvio::tools {

namespace fs = std::filesystem;

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::string twoDigits(int value) {
    return (value < 10 ? "0" : "") + std::to_string(value);
}

std::string stampForFileName(const DateTime& now) {
    return std::to_string(now.year) + twoDigits(now.month) + twoDigits(now.day) + "-" + twoDigits(now.hour) +
           twoDigits(now.minute) + twoDigits(now.second);
}

} // namespace

ReportStore::ReportStore(fs::path folder) : m_folder(std::move(folder)) {
    std::error_code error;
    fs::create_directories(m_folder, error);
    if (!fs::is_directory(m_folder))
        throw std::runtime_error("cannot create the reports folder " + m_folder.string());
}

std::filesystem::path ReportStore::store(std::string_view clientCode, std::string_view body) {
    const std::string stem = fileNameCode(clientCode) + "_" + stampForFileName(DateTime::now()) + "_";
    const std::lock_guard lock(m_mutex);
    for (int sequence = 1;; ++sequence) {
        const fs::path path = m_folder / (stem + std::to_string(sequence) + ".maj");
        // "x": the name is taken only when no file has it, so two reports never share a file.
        std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wbx"));
        if (!file) {
            if (errno == EEXIST)
                continue;
            throw std::runtime_error("cannot store the report in " + path.string());
        }
        const bool written = std::fwrite(body.data(), 1, body.size(), file.get()) == body.size();
        if (!written || std::fclose(file.release()) != 0)
            throw std::runtime_error("cannot store the report in " + path.string());
        m_stored.push_back(path);
        return path;
    }
}

std::vector<fs::path> ReportStore::storedFiles() const {
    const std::lock_guard lock(m_mutex);
    return m_stored;
}

std::string ReportStore::fileNameCode(std::string_view clientCode) {
    std::string code;
    for (const char c : clientCode) {
        const bool kept = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                          c == '-' || c == '_';
        code += kept ? c : '_';
    }
    return code.empty() ? "_" : code;
}

} // namespace halvio::tools
