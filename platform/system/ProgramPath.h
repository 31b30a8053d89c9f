#pragma once
// Where the running program lives. Configuration, self-update files and the update folder are found
// from here, never from the current directory.

#include <string>
#include <string_view>

namespace halvio::platform {

// Full path of the running program file, symbolic links resolved. Throws SystemError.
std::string programPath();

// The folder of the running program file, ending with the native separator, so that
// programFolder() + "kliso.ini" names a file in it. Throws SystemError.
std::string programFolder();

// "/" here, "\" on Windows.
char pathSeparator();

// folder and name joined by one native separator (none added when folder is empty or already ends
// with one). name is taken as given: "update\x.zip" is joinPath(joinPath(folder, "update"), "x.zip").
std::string joinPath(std::string_view folder, std::string_view name);

// The folder of a file path, ending with its last separator ("/" or the native one), so that
// joinPath(folderOf(file), name) names a file beside it; empty when the path names no folder.
std::string folderOf(std::string_view file);

} // namespace halvio::platform
