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

// A name that is not UTF-8 is read as CP932: its characters reach the handsets' titles.
TEST(Codepage, TextThatIsNotUtf8IsTakenAsCp932) {
    const std::string cp932 = "\x92\x85\x90\x4d\x89\xb9_01";  // 着信音_01
    EXPECT_EQ(Utf8ToCp932(cp932), cp932);
    EXPECT_EQ(Utf8ToCp932("\xb1\xb2"), "\xb1\xb2");      // half-width katakana
    EXPECT_EQ(Utf8ToCp932("\xc0\xafx"), "\xc0\xafx");    // overlong UTF-8, but CP932 katakana
    EXPECT_EQ(Utf8ToCp932("a\x81"), "a?");               // a lead byte with nothing after it
    EXPECT_EQ(Utf8ToCp932("\xe8\x8a\xb1"), "\x89\xd4");  // UTF-8 stays UTF-8: 花
}

TEST(Codepage, CuttingNeverSplitsOrStrandsADoubleByteCharacter) {
    const std::string title =
        "\x95\x5C"
        "ab"
        "\x83\x5C";  // 表ab ソ
    EXPECT_EQ(CutCp932(title, 6), title);
    EXPECT_EQ(CutCp932(title, 5),
              "\x95\x5C"
              "ab");
    EXPECT_EQ(CutCp932(title, 1), "");
    EXPECT_EQ(CutCp932("ab\x83", 10), "ab") << "a lead byte without its second byte";
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
