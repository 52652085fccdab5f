#include "engine/byte_order.h"

#include <gtest/gtest.h>

#include "engine_test_support.h"

namespace kvt {
namespace {

TEST(ByteOrder, PutWritesMostSignificantFirstForBigEndianAndLeastFirstForLittle) {
    std::vector<uint8_t> out;
    PutBe16(out, 0x1234);
    PutBe32(out, 0x89ABCDEF);
    PutLe16(out, 0x1234);
    PutLe32(out, 0x89ABCDEF);
    PutBe64(out, 0x0102030405060708ull);
    PutLe64(out, 0x0102030405060708ull);
    EXPECT_EQ(out, testing::Hex("1234 89ABCDEF 3412 EFCDAB89 0102030405060708 0807060504030201"));
}

TEST(ByteOrder, GetReadsBackWhatSetStoredAtAnOffset) {
    std::vector<uint8_t> bytes(16, 0xEE);
    SetBe32(std::span(bytes).subspan(3), 0xFEDCBA98);
    SetLe16(std::span(bytes).subspan(9), 0xBEEF);
    EXPECT_EQ(GetBe32(std::span<const uint8_t>(bytes).subspan(3)), 0xFEDCBA98u);
    EXPECT_EQ(GetLe16(std::span<const uint8_t>(bytes).subspan(9)), 0xBEEF);
    EXPECT_EQ(bytes[2], 0xEE);  // neighbours untouched
    EXPECT_EQ(bytes[7], 0xEE);
    EXPECT_EQ(bytes[11], 0xEE);
    // High bytes keep their value (no sign extension through a signed char).
    EXPECT_EQ(GetBe16(testing::Hex("FF80")), 0xFF80);
    EXPECT_EQ(GetLe64(testing::Hex("FFFFFFFFFFFFFFFF")), ~0ull);
}

}  // namespace
}  // namespace kvt
