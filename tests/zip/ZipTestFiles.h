#pragma once
// Small file helpers for the archive tests.

#include <string>

namespace halvio::test {

std::string readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::string& bytes);

// Deterministic bytes that deflate cannot shrink.
std::string noiseBytes(std::size_t size, unsigned seed);

// Whether this process holds a descriptor open on the file.
bool processHoldsFile(const std::string& path);

} // namespace halvio::test
