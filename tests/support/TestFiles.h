#pragma once
// Whole files as bytes, and byte contents that fixtures are made of. Written on the standard library
// alone, so that a check does not read a file through the product's file layer that it is testing.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace halvio::test {

// The whole file; throws std::runtime_error naming the path when it cannot be read.
std::string readBytes(const std::filesystem::path& path);
// The whole file, or nullopt when there is none (or it cannot be read).
std::optional<std::string> readBytesIfAny(const std::filesystem::path& path);
// Creates or replaces the file with exactly these bytes; throws std::runtime_error when it cannot.
void writeBytes(const std::filesystem::path& path, std::string_view bytes);

// Deterministic bytes that deflate cannot shrink: the same size and seed give the same bytes.
std::string noiseBytes(std::size_t size, unsigned seed);
// Every byte value, control characters and Windows-1252 letters included, `rounds` times.
std::string allByteValues(int rounds = 1);

} // namespace halvio::test
