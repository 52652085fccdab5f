#include "platform/codepage.h"

#include <gtest/gtest.h>

namespace kvt {
namespace {

TEST(Codepage, JapaneseRoundTripsThroughCp932) {
    const std::string utf8 = "表ソ着信音";
    std::string cp932 = Utf8ToCp932(utf8);
    ASSERT_EQ(cp932.size(), 10u);
    EXPECT_EQ(static_cast<unsigned char>(cp932[0]), 0x95);  // 表 = 95 5C
    EXPECT_EQ(static_cast<unsigned char>(cp932[1]), 0x5C);
    EXPECT_EQ(Cp932ToUtf8(cp932), utf8);
}

TEST(Codepage, UnrepresentableCharactersBecomeQuestionMarks) {
    EXPECT_EQ(Utf8ToCp932("a😀b"), "a?b");
    EXPECT_EQ(Utf8ToCp932("x\xff y"), "x? y");
    EXPECT_EQ(Cp932ToUtf8("a\x81"), "a?");
}

TEST(Codepage, LeadByteTableIsSwitchable) {
    SetLeadByteTable(LeadByteTable::Cp932);
    EXPECT_TRUE(IsDbcsLeadByte(0x95));
    EXPECT_TRUE(IsDbcsLeadByte(0x81));
    EXPECT_TRUE(IsDbcsLeadByte(0xFC));
    EXPECT_FALSE(IsDbcsLeadByte(0x5C));
    EXPECT_FALSE(IsDbcsLeadByte(0xA0));
    SetLeadByteTable(LeadByteTable::None);
    EXPECT_FALSE(IsDbcsLeadByte(0x95));
    SetLeadByteTable(LeadByteTable::FromLocale);
}

}  // namespace
}  // namespace kvt
