#pragma once
// The file operations of the system: paths are byte strings, times are local times to the second.
// Failures throw SystemError with the path and the system's reason, except where the callers ignore
// the outcome anyway (deleteFile, setLastWriteTime), which report it as a result.

#include "DateTime.h"

#include <functional>
#include <string>
#include <string_view>

namespace halvio::platform {

// True for an existing file that is not a folder.
bool fileExists(const std::string& path);
bool folderExists(const std::string& path);

// Creates one folder; its parent must exist. A folder already there is fine.
void createFolder(const std::string& path);

std::string readWholeFile(const std::string& path);

// Creates the file or replaces the content of an existing one with exactly these bytes.
void writeWholeFile(const std::string& path, std::string_view bytes);

// Puts a file holding exactly these bytes at `path`, or leaves `path` as it was: a FileReplacement
// (FileReplacement.h) written whole and committed. A full disk, a refused write or a crash in the
// middle leave the previous file whole and no temporary behind (a crash may leave one, named
// "." + file name + ".XXXXXX"). A file that is replaced keeps its permissions.
// With an idle function, the bytes are written and flushed on a worker thread while the calling
// thread calls `idle` every few milliseconds (a window goes on painting while a large file
// reaches the disk). An exception from `idle` abandons the writing as a failure does, then goes on.
void replaceFileAtomically(const std::string& path, std::string_view bytes,
                           const std::function<void()>& idle = {});

// False when there was nothing to delete or it could not be deleted.
bool deleteFile(const std::string& path) noexcept;

DateTime lastWriteTime(const std::string& path);

// Sets the last-write time (a local time, whole seconds); the last-access time is left alone.
bool setLastWriteTime(const std::string& path, const DateTime& localTime) noexcept;

// Lets a written program file be started (execute permission for all); nothing to do on Windows.
void makeExecutable(const std::string& path);

} // namespace halvio::platform
