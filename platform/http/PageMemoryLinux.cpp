#include "PageMemory.h"

#include <new>

#include <sys/mman.h>

namespace halvio::platform::pages {

namespace {
constexpr std::size_t kPage = 4096;
constexpr std::size_t kHugePage = 2 * 1024 * 1024;

std::size_t roundUp(std::size_t bytes, std::size_t unit) {
    return (bytes + unit - 1) / unit * unit;
}

// Faulting 256 MiB in 4 KiB pages costs most of a second; in 2 MiB pages a few hundredths. The
// kernel here grants huge pages to the ranges that ask for them; a refusal only costs speed.
void askForHugePages(char* block, std::size_t bytes) {
    if (bytes >= kHugePage)
        ::madvise(block, bytes, MADV_HUGEPAGE);
}
} // namespace

std::size_t roundedSize(std::size_t bytes) {
    return bytes >= kHugePage ? roundUp(bytes, kHugePage) : roundUp(bytes, kPage);
}

char* allocate(std::size_t bytes) {
    void* block = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED)
        throw std::bad_alloc();
    askForHugePages(static_cast<char*>(block), bytes);
    return static_cast<char*>(block);
}

char* grow(char* block, std::size_t oldBytes, std::size_t newBytes) {
    // mremap moves the page table entries, not the bytes.
    void* moved = ::mremap(block, oldBytes, newBytes, MREMAP_MAYMOVE);
    if (moved == MAP_FAILED)
        throw std::bad_alloc();
    askForHugePages(static_cast<char*>(moved), newBytes);
    return static_cast<char*>(moved);
}

void release(char* block, std::size_t bytes) noexcept {
    ::munmap(block, bytes);
}

} // namespace halvio::platform::pages
