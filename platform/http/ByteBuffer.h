#pragma once
// The body of an HTTP reply, held whole in memory: a package file reaches hundreds of MiB. The
// storage comes straight from the page allocator so that a reply of announced length is sized
// once (up to the room a request takes ahead, kMaxRoomAhead), a large one is backed by huge pages,
// and growth does not copy what has arrived.

#include <cstddef>
#include <string_view>

namespace halvio::platform {

class ByteBuffer {
public:
    // Sizes travel as signed 32-bit integers in the rest of the program; nothing larger is held.
    static constexpr std::size_t kMaxSize = 0x7fffffff;

    ByteBuffer() = default;
    ~ByteBuffer();
    ByteBuffer(ByteBuffer&& other) noexcept;
    ByteBuffer& operator=(ByteBuffer&& other) noexcept;
    ByteBuffer(const ByteBuffer&) = delete;
    ByteBuffer& operator=(const ByteBuffer&) = delete;

    const char* data() const { return m_data; }
    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    std::size_t capacity() const { return m_capacity; }
    std::string_view view() const { return {m_data, m_size}; }

    // Makes room for at least `bytes` in all without moving what is held.
    // Throws std::length_error beyond kMaxSize, std::bad_alloc when memory is refused.
    void reserve(std::size_t bytes);
    // Appends, growing the storage geometrically when it is full.
    void append(const char* bytes, std::size_t count);
    void append(std::string_view bytes) { append(bytes.data(), bytes.size()); }
    // Empties the buffer and gives its storage back.
    void clear() noexcept;

private:
    char* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

} // namespace halvio::platform
