// The byte-order helpers against fixed bytes: the SCSI wire is big-endian,
// the on-disk structures little-endian, and a store into a narrower field
// keeps the value's low-order bytes.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "platform/byte_order.h"

namespace {

using Bytes = std::array<std::uint8_t, 4>;
constexpr Bytes kBytes = {0x12, 0x34, 0x56, 0x78};

TEST(ByteOrderTest, LoadsReadTheBytesInTheirOrder) {
    EXPECT_EQ(platform::LoadLe16(kBytes.data()), 0x3412u);
    EXPECT_EQ(platform::LoadLe32(kBytes.data()), 0x78563412u);
    EXPECT_EQ(platform::LoadBe16(kBytes.data()), 0x1234u);
    EXPECT_EQ(platform::LoadBe32(kBytes.data()), 0x12345678u);
    const Bytes high = {0xFF, 0xFE, 0xFD, 0xFC};  // no sign extension, no overflow
    EXPECT_EQ(platform::LoadLe32(high.data()), 0xFCFDFEFFu);
    EXPECT_EQ(platform::LoadBe32(high.data()), 0xFFFEFDFCu);
}

TEST(ByteOrderTest, StoresWriteOnlyTheirFieldInTheirOrder) {
    struct Case {
        void (*store)(std::uint8_t*, std::uint32_t);
        Bytes expected;
    };
    const Case cases[] = {
        {platform::StoreLe16, {0x78, 0x56, 0xEE, 0xEE}},
        {platform::StoreLe32, {0x78, 0x56, 0x34, 0x12}},
        {platform::StoreBe16, {0x56, 0x78, 0xEE, 0xEE}},
        {platform::StoreBe32, {0x12, 0x34, 0x56, 0x78}},
    };
    for (const Case& c : cases) {
        Bytes field = {0xEE, 0xEE, 0xEE, 0xEE};
        c.store(field.data(), 0x12345678u);
        EXPECT_EQ(field, c.expected);
    }
}

}  // namespace
