#include "iso/box_reader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "box_test_support.h"
#include "engine/byte_order.h"

namespace kvt {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

std::vector<uint8_t> Box(std::string_view type, std::vector<uint8_t> body = {},
                         std::optional<uint32_t> lyingSize = {}) {
    std::vector<uint8_t> box;
    box.reserve(8 + body.size());
    PutBe32(box, lyingSize.value_or(static_cast<uint32_t>(body.size() + 8)));
    PutText(box, type);
    PutBytes(box, body);
    return box;
}

std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

std::vector<std::string> ChildNames(const BoxNode& node) {
    std::vector<std::string> names;
    for (size_t i = 0; i < node.ChildCount(); ++i) names.push_back(node.Child(i).Name());
    return names;
}

TEST(BoxReader, WalksContainersAndKeepsLeavesWhole) {
    const std::vector<uint8_t> stsd = Box("stsd", Box("mp4a", {1, 2, 3}));
    const std::vector<uint8_t> file = Concat({
        Box("ftyp", {'3', 'g', 'p', '5'}),
        Box("moov", Concat({Box("mvhd", {7}), Box("trak", Box("mdia", Box("minf", Box("stbl", stsd))))})),
        Box("mdat", Concat({Box("wide"), {0xAA, 0xBB}})),
    });
    const BoxNode root("root", file);
    EXPECT_EQ(root.Name(), "root");
    EXPECT_EQ(root.Depth(), 0);
    EXPECT_EQ(root.BodySize(), file.size());
    EXPECT_THAT(ChildNames(root), ElementsAre("ftyp", "moov", "mdat"));
    EXPECT_THAT(ChildNames(root.Child(1)), ElementsAre("mvhd", "trak"));
    EXPECT_THAT(ChildNames(root.Child(2)), ElementsAre("wide")) << "mdat is walked, its tail ends the walk";

    const BoxNode* found = root.Find("stsd");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->Depth(), 6);
    EXPECT_THAT(found->Body(), ElementsAreArray(Box("mp4a", {1, 2, 3})));
    EXPECT_EQ(found->ChildCount(), 0u) << "stsd is a leaf";
    EXPECT_THAT(root.Find("ftyp")->Body(), ElementsAre('3', 'g', 'p', '5'));
}

TEST(BoxReader, FindIsDepthFirstExactAndFirstWins) {
    const std::vector<uint8_t> file = Concat({
        Box("free", {0}),
        Box("moov", Concat({Box("trak", Box("hdlr", {1})), Box("hdlr", {2})})),
        Box("hdlr", {3}),
    });
    const BoxNode root("root", file);
    EXPECT_THAT(root.Find("hdlr")->Body(), ElementsAre(1));
    EXPECT_THAT(root.Child(1).Find("hdlr")->Body(), ElementsAre(1));
    EXPECT_EQ(root.Find("hdl"), nullptr);
    EXPECT_EQ(root.Find("hdlrx"), nullptr);
    EXPECT_EQ(root.Find("stco"), nullptr);
    EXPECT_EQ(root.Find("root"), nullptr) << "the node itself is not searched";
}

TEST(BoxReader, LyingSizesEndTheWalkWithinTheParent) {
    struct Case {
        std::string name;
        std::vector<uint8_t> file;
        std::vector<std::string> rootChildren;
        std::vector<std::string> moovChildren;  // of the first child when it is moov
    };
    const std::vector<uint8_t> free = Box("free", {1, 2});
    const Case cases[] = {
        {"empty file", {}, {}, {}},
        {"size 0", Concat({free, Box("skip", {}, 0), free}), {"free"}, {}},
        {"size below 8", Concat({free, Box("skip", {9, 9, 9, 9}, 7), free}), {"free"}, {}},
        {"64-bit size", Concat({free, Box("mdat", std::vector<uint8_t>(16, 0), 1)}), {"free"}, {}},
        {"size past the end", Concat({free, Box("moov", {1}, 1000)}), {"free"}, {}},
        {"header cut short", Concat({free, {0, 0, 0, 9, 'm'}}), {"free"}, {}},
        {"child past its parent",
         Concat({Box("moov", Concat({Box("mvhd", {5}), Box("trak", {}, 64)})), free, free}),
         {"moov", "free", "free"},
         {"mvhd"}},
        {"size exactly the rest", Concat({free, Box("moov", Box("udta", {}))}), {"free", "moov"}, {}},
    };
    for (const Case& c : cases) {
        const BoxNode root("root", c.file);
        EXPECT_EQ(ChildNames(root), c.rootChildren) << c.name;
        if (!c.moovChildren.empty()) {
            EXPECT_EQ(ChildNames(root.Child(0)), c.moovChildren) << c.name;
        }
    }
}

TEST(BoxReader, ChildrenAndDepthAreBounded) {
    std::vector<uint8_t> many;
    for (int i = 0; i < 150; ++i) PutBytes(many, Box("free"));
    const BoxNode wide("root", many);
    EXPECT_EQ(wide.ChildCount(), BoxNode::kMaxChildren);

    std::vector<uint8_t> deep = Box("stsd", {4});
    for (int i = 0; i < 200; ++i) deep = Box("moov", deep);
    const BoxNode root("root", deep);
    EXPECT_EQ(root.Find("stsd"), nullptr);
    const BoxNode* node = &root;
    while (node->ChildCount() > 0) node = &node->Child(0);
    EXPECT_EQ(node->Depth(), BoxNode::kMaxDepth);
}

// Every box found in a damaged file is a piece of that file.
void ExpectBoxesFromTheInput(std::span<const uint8_t> damaged, const std::string& label) {
    const BoxNode root("root", damaged);
    for (std::string_view type : {"stsd", "stts", "stsc", "stsz", "stco", "hdlr", "mvhd", "mdat", "moov", "trak"}) {
        const BoxNode* found = root.Find(type);
        if (found == nullptr) continue;
        EXPECT_NE(std::search(damaged.begin(), damaged.end(), found->Body().begin(), found->Body().end()),
                  damaged.end())
            << label << " " << type;
    }
}

TEST(BoxReader, TruncatedMp4FilesKeepOnlyWholeBoxes) {
    testing::TempFolder folder;
    const std::vector<uint8_t> file = testing::MakeMp4(folder, 8000, 1, 0.5);
    ASSERT_GT(file.size(), 1000u) << "ffmpeg made no MP4 file";
    const BoxNode intact("root", file);
    ASSERT_NE(intact.Find("stco"), nullptr);
    const auto moov = testing::BoxOffset(file, {"moov"});
    ASSERT_TRUE(moov.has_value());
    const uint64_t moovEnd = *moov + GetBe32(std::span(file).subspan(*moov));

    for (size_t length = 0; length < file.size(); ++length) {
        const std::span<const uint8_t> cut = std::span(file).first(length);
        const BoxNode root("root", cut);
        if (length < moovEnd) {
            EXPECT_EQ(root.Find("stco"), nullptr) << "cut at " << length;
        } else {
            ASSERT_NE(root.Find("stco"), nullptr) << "cut at " << length;
            EXPECT_THAT(root.Find("stco")->Body(), ElementsAreArray(intact.Find("stco")->Body()));
        }
    }
}

TEST(BoxReader, MutatedMp4FilesAreReadInBounds) {
    testing::TempFolder folder;
    const std::vector<uint8_t> file = testing::MakeMp4(folder, 16000, 2, 0.5);
    ASSERT_GT(file.size(), 1000u) << "ffmpeg made no MP4 file";
    std::mt19937 random(12345);
    for (int round = 0; round < 300; ++round) {
        std::vector<uint8_t> damaged = file;
        const int flips = 1 + round % 8;
        for (int i = 0; i < flips; ++i) {
            const size_t at = random() % damaged.size();
            // Half of the damage goes to likely size words near the start of moov.
            damaged[round % 2 ? at : (damaged.size() - 1 - at % 900)] = static_cast<uint8_t>(random());
        }
        ExpectBoxesFromTheInput(damaged, "round " + std::to_string(round));
    }
}

TEST(BoxReader, SaveBodyWritesTheBodyOnly) {
    testing::TempFolder folder;
    const std::vector<uint8_t> file = Box("moov", Box("mvhd", {1, 2, 3, 4}));
    const BoxNode root("root", file);
    const std::string path = folder.File("mvhd.bx");
    ASSERT_TRUE(root.Find("mvhd")->SaveBody(path));
    EXPECT_THAT(testing::ReadFileBytes(path), ElementsAre(1, 2, 3, 4));
    EXPECT_FALSE(root.Find("mvhd")->SaveBody(folder.File("missing/mvhd.bx")));
}

}  // namespace
}  // namespace kvt
