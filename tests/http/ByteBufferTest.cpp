// The reply buffer: sized once when the length is known, growing without losing bytes otherwise.
#include "ByteBuffer.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

using halvio::platform::ByteBuffer;

namespace {

std::string pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

void appendInPieces(ByteBuffer& buffer, const std::string& bytes, std::size_t piece) {
    for (std::size_t offset = 0; offset < bytes.size(); offset += piece)
        buffer.append(std::string_view(bytes).substr(offset, piece));
}

TEST(ByteBuffer, GrowsWithoutLosingBytes) {
    const std::string bytes = pattern(5 * 1024 * 1024 + 123);
    ByteBuffer buffer;
    appendInPieces(buffer, bytes, 16 * 1024 + 5);
    ASSERT_EQ(buffer.size(), bytes.size());
    EXPECT_TRUE(buffer.view() == bytes);
    EXPECT_GE(buffer.capacity(), buffer.size());
}

TEST(ByteBuffer, ReservedRoomIsFilledInPlace) {
    const std::string bytes = pattern(3 * 1024 * 1024 + 1);
    ByteBuffer buffer;
    buffer.reserve(bytes.size());
    const char* storage = buffer.data();
    appendInPieces(buffer, bytes, 64 * 1024);
    EXPECT_EQ(buffer.data(), storage);
    EXPECT_TRUE(buffer.view() == bytes);
}

TEST(ByteBuffer, ClearGivesTheStorageBack) {
    ByteBuffer buffer;
    buffer.append("package");
    buffer.clear();
    EXPECT_TRUE(buffer.empty());
    EXPECT_EQ(buffer.capacity(), 0u);
    EXPECT_EQ(buffer.view(), "");
    buffer.append("again");
    EXPECT_EQ(buffer.view(), "again");
}

TEST(ByteBuffer, MoveTakesTheBytes) {
    ByteBuffer first;
    first.append("\x80\xFF\x00z", 4);
    ByteBuffer second(std::move(first));
    EXPECT_TRUE(first.empty());
    EXPECT_EQ(second.view(), std::string_view("\x80\xFF\x00z", 4));
    first = std::move(second);
    EXPECT_EQ(first.size(), 4u);
}

TEST(ByteBuffer, RefusesMoreThanTwoGibibytes) {
    ByteBuffer buffer;
    EXPECT_THROW(buffer.reserve(ByteBuffer::kMaxSize + 1), std::length_error);
    EXPECT_TRUE(buffer.empty());
}

} // namespace
