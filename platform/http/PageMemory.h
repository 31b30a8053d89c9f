#pragma once
// Blocks of whole pages for ByteBuffer, from the operating system's page allocator. Fresh pages
// read as zero. Every function throws std::bad_alloc when the system refuses memory.

#include <cstddef>

namespace halvio::platform::pages {

// The size actually reserved for a request of `bytes`: whole pages, and whole huge pages for
// large blocks so that a huge page covers every part of them.
std::size_t roundedSize(std::size_t bytes);

// `bytes` must come from roundedSize.
char* allocate(std::size_t bytes);

// A block of newBytes holding the first oldBytes of `block`, which is released; may move.
char* grow(char* block, std::size_t oldBytes, std::size_t newBytes);

void release(char* block, std::size_t bytes) noexcept;

} // namespace halvio::platform::pages
