#include "RunLogFile.h"

#include "DateTime.h"
#include "TextLines.h"

#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

namespace halvio::platform {

void RunLogFile::startRun(std::string_view line) noexcept {
    write(line, kSizeLimit);
}

void RunLogFile::append(std::string_view text) noexcept {
    write(text, kRunawayLimit);
}

void RunLogFile::write(std::string_view text, std::uintmax_t renameFrom) noexcept {
    try {
        const std::string stamp = DateTimeText(DateTime::now()) + " ";
        std::vector<std::string> lines = splitLines(text);
        if (lines.empty())
            lines.emplace_back();
        std::string bytes;
        for (const std::string& line : lines)
            bytes += stamp + line + "\r\n";

        std::error_code error;
        const std::uintmax_t size = std::filesystem::file_size(m_path, error);
        if (!error && size >= renameFrom)
            std::filesystem::rename(m_path, previousPath(), error);

        // Opened for each text and written in one piece: a killed run keeps every line it wrote.
        std::ofstream file(m_path, std::ios::binary | std::ios::app);
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    } catch (...) {
    }
}

} // namespace halvio::platform
