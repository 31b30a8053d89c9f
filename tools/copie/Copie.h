#pragma once
// The steps of the copy tool. Names are relative to the current directory.

#include <chrono>
#include <string>
#include <string_view>

namespace halvio::copie {

// The name as given when such a file exists; otherwise the folder's entry that matches it ignoring
// ASCII case (the updater writes "Maj_kliso.new", its command line says "maj_kliso.new"); otherwise
// the name as given.
std::string resolveName(std::string_view name);

// Waits, polling, until the updater that started this tool has ended, so that its file can be
// replaced and started anew. False when it still runs after the limit.
bool waitForUpdater(const std::string& target, std::chrono::seconds limit);

// Replaces target with the content of source without ever leaving a partly written target: the
// copy is written beside it, reaches the disk, keeps the target's permissions (and is executable),
// and takes the later of the source's last-write time and now. Throws SystemError.
void copyOver(const std::string& source, const std::string& target);

} // namespace halvio::copie
