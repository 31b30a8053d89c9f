#pragma once
// What the archive tests look at beside the archive: the descriptors this process holds.

#include "TestFiles.h"

#include <string>

namespace halvio::test {

// Whether this process holds a descriptor open on the file.
bool processHoldsFile(const std::string& path);

} // namespace halvio::test
