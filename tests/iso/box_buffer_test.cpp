#include "iso/box_buffer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kvt {
namespace {

using ::testing::ElementsAre;

std::vector<uint8_t> Bytes(const BoxBuffer& box) {
    return {box.Bytes().begin(), box.Bytes().end()};
}

TEST(BoxBuffer, FieldsAreBigEndianAfterTheSizeWord) {
    BoxBuffer box = BeginBox();
    box.PutTag("ab");  // shorter tags are padded
    box.PutU8(0x01);
    box.PutU16(0x0203);
    box.PutU32(0x04050607);
    const std::array<uint8_t, 2> raw = {0xFE, 0xFF};
    box.PutBytes(raw);
    box.EndBox();
    EXPECT_EQ(box.Size(), 17u);
    EXPECT_THAT(Bytes(box), ElementsAre(0, 0, 0, 17, 'a', 'b', 0, 0, 1, 2, 3, 4, 5, 6, 7, 0xFE, 0xFF));
}

TEST(BoxBuffer, ChildrenAreCopiedAndCounted) {
    BoxBuffer child = BeginBox();
    child.PutTag("kid!");
    child.PutU8(9);
    child.EndBox();
    BoxBuffer parent = BeginBox();
    parent.PutTag("dad ");
    parent.EndBox();
    parent.AppendChild(child);
    parent.AppendChild(child);
    child.SetSizeWord(0);  // the parent keeps its own copy
    EXPECT_EQ(parent.Size(), 8u + 2 * 9u);
    EXPECT_THAT(Bytes(parent), ElementsAre(0, 0, 0, 26, 'd', 'a', 'd', ' ', 0, 0, 0, 9, 'k', 'i', 'd', '!', 9, 0, 0, 0,
                                           9, 'k', 'i', 'd', '!', 9));
}

TEST(BoxBuffer, LargeBoxesGrowPastTheirCapacity) {
    BoxBuffer box = BeginBox(16);
    box.PutTag("big ");
    for (uint32_t i = 0; i < 5000; ++i) box.PutU32(i);
    box.EndBox();
    EXPECT_EQ(box.Size(), 8u + 20000u);
    EXPECT_THAT(std::vector<uint8_t>(box.Bytes().begin(), box.Bytes().begin() + 4), ElementsAre(0, 0, 0x4E, 0x28));
    box.SetSizeWord(0x11223344);
    EXPECT_THAT(std::vector<uint8_t>(box.Bytes().begin(), box.Bytes().begin() + 4),
                ElementsAre(0x11, 0x22, 0x33, 0x44));
}

}  // namespace
}  // namespace kvt
