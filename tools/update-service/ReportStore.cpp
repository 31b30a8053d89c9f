#include "ReportStore.h"

#include "DateTime.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
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

// A service runs for months: only the latest file names are remembered, so that its memory stays flat.
constexpr size_t kRememberedReports = 1024;

// The longest code kept whole in a file name; with the stamp and the sequence the name stays far
// under the 255 bytes a file system allows.
constexpr size_t kMaxNameCodeBytes = 64;
// What is kept of a longer or altered code, before the mark of the whole code.
constexpr size_t kKeptCodeBytes = 40;

// FNV-1a: a stable mark of the code as received, so that two codes that look alike once cut or
// altered still name their reports apart. It identifies, it protects nothing.
std::string codeMark(std::string_view code) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (const char c : code) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ull;
    }
    static const char kHex[] = "0123456789abcdef";
    std::string mark(16, '0');
    for (int i = 15; i >= 0; --i, hash >>= 4)
        mark[static_cast<size_t>(i)] = kHex[hash & 0xF];
    return mark;
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
    const std::string stamp = stampForFileName(DateTime::now());
    const std::string stem = fileNameCode(clientCode) + "_" + stamp + "_";
    const std::lock_guard lock(m_mutex);
    // The numbers taken within the present second, so that a burst of reports of one clinic does not
    // try every name already taken; only the present second's are kept.
    if (stamp != m_sequenceStamp) {
        m_nextSequence.clear();
        m_sequenceStamp = stamp;
    }
    for (int& sequence = m_nextSequence.try_emplace(stem, 1).first->second;; ++sequence) {
        const fs::path path = m_folder / (stem + std::to_string(sequence) + ".maj");
        // "x": the name is taken only when no file has it, so two reports never share a file.
        std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wbx"));
        if (!file) {
            if (errno == EEXIST)
                continue;
            throw std::runtime_error("cannot store the report in " + path.string());
        }
        ++sequence;
        const bool written = std::fwrite(body.data(), 1, body.size(), file.get()) == body.size();
        if (!written || std::fclose(file.release()) != 0)
            throw std::runtime_error("cannot store the report in " + path.string());
        m_stored.push_back(path);
        if (m_stored.size() > kRememberedReports)
            m_stored.pop_front();
        return path;
    }
}

std::vector<fs::path> ReportStore::storedFiles() const {
    const std::lock_guard lock(m_mutex);
    return {m_stored.begin(), m_stored.end()};
}

std::string ReportStore::fileNameCode(std::string_view clientCode) {
    std::string code;
    bool altered = false;
    for (const char c : clientCode) {
        const bool kept = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                          c == '-' || c == '_';
        code += kept ? c : '_';
        altered = altered || !kept;
    }
    if (code.empty())
        return "_";
    if (!altered && code.size() <= kMaxNameCodeBytes)
        return code;
    // "~" is never kept from a code, so a marked name cannot be the plain name of another code.
    code.resize(std::min(code.size(), kKeptCodeBytes));
    return code + "~" + codeMark(clientCode);
}

} // namespace halvio::tools
