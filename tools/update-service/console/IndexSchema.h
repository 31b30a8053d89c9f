#pragma once
// The layout of the reports index file, and its opening: an index that cannot be opened, fails its
// check or has another layout is deleted and made again empty (the caller fills it from the files).
// The connection defines console_fold(), the search key of SearchFold.h.

#include "SqliteDatabase.h"

#include <filesystem>
#include <memory>

namespace halvio::tools::console {

struct OpenedIndex {
    std::unique_ptr<SqliteDatabase> db;
    bool made = false; // the file was made anew: it holds no report yet
};

OpenedIndex openIndexDatabase(const std::filesystem::path& file);

} // namespace halvio::tools::console
