#pragma once
// The layout of the reports index file, and its opening: an index that cannot be opened, fails its
// check or has another layout is deleted and made again empty (the caller fills it from the files).

#include "SqliteDatabase.h"

#include <filesystem>
#include <memory>

namespace halvio::tools::console {

struct OpenedIndex {
    std::unique_ptr<SqliteDatabase> db;
    bool made = false; // the file was made anew: it holds no report yet
};

OpenedIndex openIndexDatabase(const std::filesystem::path& file);

// Case-insensitive search key of a UTF-8 text (the letters of Windows-1252, accented ones too),
// defined in the connection as console_fold().
std::string searchFold(std::string_view utf8);

} // namespace halvio::tools::console
