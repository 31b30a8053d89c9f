#include "ByteBuffer.h"

#include "PageMemory.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace halvio::platform {

namespace {
constexpr std::size_t kFirstCapacity = 64 * 1024;
}

ByteBuffer::~ByteBuffer() {
    clear();
}

ByteBuffer::ByteBuffer(ByteBuffer&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)),
      m_capacity(std::exchange(other.m_capacity, 0)) {}

ByteBuffer& ByteBuffer::operator=(ByteBuffer&& other) noexcept {
    if (this != &other) {
        clear();
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
        m_capacity = std::exchange(other.m_capacity, 0);
    }
    return *this;
}

void ByteBuffer::reserve(std::size_t bytes) {
    if (bytes <= m_capacity)
        return;
    if (bytes > kMaxSize)
        throw std::length_error("ByteBuffer: more than 2 GiB requested");
    const std::size_t capacity = pages::roundedSize(bytes);
    m_data = m_data ? pages::grow(m_data, m_capacity, capacity) : pages::allocate(capacity);
    m_capacity = capacity;
}

void ByteBuffer::append(const char* bytes, std::size_t count) {
    if (count == 0)
        return;
    if (count > kMaxSize - m_size)
        throw std::length_error("ByteBuffer: more than 2 GiB appended");
    const std::size_t needed = m_size + count;
    if (needed > m_capacity)
        reserve(std::min(kMaxSize, std::max({needed, m_capacity * 2, kFirstCapacity})));
    std::memcpy(m_data + m_size, bytes, count);
    m_size = needed;
}

void ByteBuffer::clear() noexcept {
    if (m_data)
        pages::release(m_data, m_capacity);
    m_data = nullptr;
    m_size = 0;
    m_capacity = 0;
}

} // namespace halvio::platform
