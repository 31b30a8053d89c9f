#include "PageMemory.h"

#include <cstring>
#include <new>

#include <windows.h>

namespace halvio::platform::pages {

namespace {
constexpr std::size_t kGranularity = 64 * 1024;
}

std::size_t roundedSize(std::size_t bytes) {
    return (bytes + kGranularity - 1) / kGranularity * kGranularity;
}

char* allocate(std::size_t bytes) {
    void* block = ::VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (!block)
        throw std::bad_alloc();
    return static_cast<char*>(block);
}

// Windows has no way to move pages to a larger range, so the bytes are copied.
char* grow(char* block, std::size_t oldBytes, std::size_t newBytes) {
    char* larger = allocate(newBytes);
    std::memcpy(larger, block, oldBytes);
    release(block, oldBytes);
    return larger;
}

void release(char* block, std::size_t) noexcept {
    ::VirtualFree(block, 0, MEM_RELEASE);
}

} // namespace halvio::platform::pages
