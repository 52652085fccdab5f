#include "engine/mld_layout.h"

#include <gtest/gtest.h>

#include "engine/byte_order.h"
#include "engine/chunk_builder.h"
#include "engine_test_support.h"
#include "platform/message.h"

namespace kvt {
namespace {

using testing::Hex;

std::vector<uint8_t> Stream(size_t size) {
    std::vector<uint8_t> stream(size);
    for (size_t i = 0; i < size; ++i) stream[i] = static_cast<uint8_t>(i * 7 + i / 251);
    return stream;
}

const MldPreset& Row(int type) {
    return MldPresetTable[static_cast<size_t>(type)];
}

std::span<const uint8_t> At(const std::vector<uint8_t>& bytes, size_t offset, size_t length) {
    return std::span(bytes).subspan(offset, length);
}

TEST(MldV4Layout, WorkedExampleOfAThousandCodedBytes) {
    const std::vector<uint8_t> stream = Stream(1000);
    const MldFile file = BuildMldV4Layout(Row(12), "title", stream, 8000, 300, false);
    ASSERT_TRUE(file);
    const std::vector<uint8_t>& f = *file;
    ASSERT_EQ(f.size(), 1141u);
    const auto header =
        Hex("6D656C6F 0000046D 0040 01 01 01"        // "melo", 1133, header length 64, A B C
            "736F7263 0001 00"                       // sorc
            "7469746C 0005 7469746C65"               // titl "title"
            "76657273 0004 30343030"                 // vers "0400"
            "6E6F7465 0002 0001"                     // note
            "65787374 0002 0001"                     // exst
            "61696E66 000B 0101810006 100810100810"  // ainf, 8000 Hz
            "61646174 000003F6"                      // adat, 14 + 1000
            "000B8100 6164706D 0003 08 04 01 FF");   // audio head: 8 kHz, 4 bits, mono
    EXPECT_EQ(std::vector<uint8_t>(f.begin(), f.begin() + static_cast<long>(header.size())), header);
    EXPECT_TRUE(std::equal(stream.begin(), stream.end(), f.begin() + static_cast<long>(header.size())));
    const auto trac =
        Hex("74726163 00000025"
            "00FFD000 00FFCB64 00FFB07F 007F803F 007F8120 007F00003F 2C FFDC 01 00FFD001 00FFDF00");
    EXPECT_TRUE(std::equal(trac.begin(), trac.end(), f.end() - static_cast<long>(trac.size())));
}

TEST(MldV4Layout, AudioHeadAndInformationFollowTheRate) {
    const struct {
        uint32_t rate;
        bool stereo;
        const char* ainf;
        const char* head;  // kHz, bits, channels
    } cases[] = {
        {4000, false, "100810100810", "08 02 01"},
        {8000, true, "100810100810", "08 04 02"},
        {16000, false, "201020201020", "10 04 01"},
        {32000, false, "201020201020", "20 04 01"},
    };
    for (const auto& c : cases) {
        const MldFile file = BuildMldV4Layout(Row(12), "", Stream(3), c.rate, 0, c.stereo);
        ASSERT_TRUE(file);
        // Empty title: "titl" 00 00; ainf content at 13 + 7 + 6 + 10 + 8 + 8 + 6.
        EXPECT_EQ(std::vector<uint8_t>(At(*file, 20, 6).begin(), At(*file, 20, 6).end()), Hex("7469746C0000"));
        const auto ainf = At(*file, 58 + 5, 6);
        EXPECT_EQ(std::vector<uint8_t>(ainf.begin(), ainf.end()), Hex(c.ainf)) << c.rate;
        const auto head = At(*file, 69 + 8 + 10, 3);
        EXPECT_EQ(std::vector<uint8_t>(head.begin(), head.end()), Hex(c.head)) << c.rate;
    }
}

TEST(MldV4Layout, UndefinedRateIsRecordedAsEightKilohertzWithAMessage) {
    MessageRecorder recorder;
    const MldFile file = BuildMldV4Layout(Row(12), "", Stream(3), 22050, 0, false);
    ASSERT_TRUE(file);
    EXPECT_EQ((*file)[69 + 8 + 10], 8);
    EXPECT_EQ(recorder.Texts(), std::vector<std::string>{"未定義のエラー"});
}

TEST(MldV4Layout, ThreeHundredTicksStoreLowThenHighByte) {
    const MldFile file = BuildMldV4Layout(Row(12), "", {}, 8000, 300, false);
    ASSERT_TRUE(file);
    const size_t trac = file->size() - 37;
    EXPECT_EQ((*file)[trac + 25], 0x2C);  // Tlo
    EXPECT_EQ((*file)[trac + 28], 0x01);  // Thi
}

TEST(MldV4Layout, StreamThatDoesNotFitTheBuilderIsRefused) {
    // The builder holds 0x80000 bytes; the header of an empty title takes 69 and the
    // "adat" and "trac" chunks 22 + 45 around the stream.
    const size_t largest = ChunkBuilder::kCapacity - 69 - 22 - 45;
    {
        MessageRecorder recorder;
        const MldFile file = BuildMldV4Layout(Row(12), "", Stream(largest), 8000, 0, false);
        ASSERT_TRUE(file);
        EXPECT_EQ(file->size(), ChunkBuilder::kCapacity);
        EXPECT_EQ(GetBe32(std::span<const uint8_t>(*file).subspan(4)), ChunkBuilder::kCapacity - 8);
        EXPECT_TRUE(recorder.Texts().empty());
    }
    for (const size_t size : {largest + 1, ChunkBuilder::kCapacity, ChunkBuilder::kCapacity * 3}) {
        MessageRecorder recorder;
        EXPECT_FALSE(BuildMldV4Layout(Row(12), "", Stream(size), 8000, 0, false)) << size;
        EXPECT_EQ(recorder.Texts(), std::vector<std::string>{"ファイルのサイズが大きすぎます。"});
    }
}

// The data events of a file: u16 length, the event bytes after it and the piece.
struct DataEvent {
    uint16_t length;
    std::vector<uint8_t> body;
};

// Bytes of the head (and extra) events of each type, and the first bytes of its data
// events after the length at 8000 Hz.
size_t HeadSize(int type) {
    switch (type) {
    case 6:
    case 8:
    case 9: return 16;
    case 10: return 35;
    case 18: return 34;
    case 13:
    case 17: return 40;
    case 15: return 24;
    case 16: return 63;
    default: return 8;
    }
}
std::vector<uint8_t> Signature(int type) {
    switch (type) {
    case 1: return Hex("11F002");
    case 2: return Hex("1101F0");
    case 3: return Hex("6183");
    case 4: return Hex("2183");
    case 5: return Hex("4183");
    case 6: return Hex("4184");
    case 7: return Hex("311007");
    case 8: return Hex("3184");
    case 9: return Hex("7183");
    case 10: return Hex("7184");
    case 11: return Hex("8183");
    case 18: return Hex("F108000F880005");
    case 13:
    case 17: return Hex("4186");
    case 15: return Hex("1101F007");
    case 16: return Hex("7184");
    default: return {};
    }
}

// Walks the consecutive data events after the head events; `bodySize` bytes after each
// length are kept.
std::vector<DataEvent> DataEvents(const std::vector<uint8_t>& file, int type, size_t bodySize) {
    std::vector<DataEvent> events;
    const std::span<const uint8_t> f(file);
    const std::vector<uint8_t> signature = Signature(type);
    size_t at = 10 + GetBe16(f.subspan(8)) + 8 + HeadSize(type);
    while (at + 5 + signature.size() <= file.size() && file[at] == 0x00 && file[at + 1] == 0xFF &&
           file[at + 2] == 0xFF &&
           std::equal(signature.begin(), signature.end(), file.begin() + static_cast<long>(at + 5))) {
        const uint16_t length = GetBe16(f.subspan(at + 3));
        events.push_back({length, std::vector<uint8_t>(file.begin() + static_cast<long>(at + 5),
                                                       file.begin() + static_cast<long>(at + 5 + bodySize))});
        at += 5 + length;
    }
    return events;
}

TEST(MldOneTrackLayout, StreamOneByteOverAPieceSplitsWithContinuationFlags) {
    const std::vector<uint8_t> stream = Stream(65531);
    const MldFile file = BuildMldOneTrackLayout(Row(3), "", stream, 8000, 2000);
    ASSERT_TRUE(file);
    const auto events = DataEvents(*file, 3, 5);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].length, 0xFFFF);
    EXPECT_EQ(events[0].body, Hex("61 83 00 45 01"));
    EXPECT_EQ(events[1].length, 6);
    EXPECT_EQ(events[1].body, Hex("61 83 00 45 00"));
    EXPECT_EQ(GetBe32(std::span<const uint8_t>(*file).subspan(4)), file->size() - 8);
}

TEST(MldOneTrackLayout, PieceSizesPerType) {
    const struct {
        int type;
        size_t stream;
        std::vector<uint16_t> lengths;
    } cases[] = {
        {1, 65531, {0xFFFF}},  // one piece, the rest is not stored
        {7, 70000, {0xFFFF}},
        {11, 65531, {0xFFFF}},
        {2, 65505, {0xFFE8, 9}},   // 65504 + 8, then 1 + 8
        {6, 65527, {0xFFFF, 10}},  // S in the first event only
        {10, 131052, {0xFFFF, 0xFFFF}},
        {9, 0, {5}},     // an empty stream still has its data event
        {18, 10, {13}},  // D - 5 bytes + 8
        {18, 3, {8}},    // fewer than 5 coded bytes: an empty piece
        {18, 65532, {0xFFFF}},
        {18, 200000, {0xFFFF}},  // longer streams are cut to 65532
    };
    for (const auto& c : cases) {
        const MldFile file = BuildMldOneTrackLayout(Row(c.type), "", Stream(c.stream), 8000, 1000);
        ASSERT_TRUE(file) << c.type;
        std::vector<uint16_t> lengths;
        for (const auto& e : DataEvents(*file, c.type, 0)) lengths.push_back(e.length);
        EXPECT_EQ(lengths, c.lengths) << "type " << c.type << " stream " << c.stream;
        EXPECT_EQ(GetBe32(std::span<const uint8_t>(*file).subspan(4)), file->size() - 8);
    }
}

TEST(MldOneTrackLayout, TypeEighteenCutStreamKeepsItsTimingConsistent) {
    const MldFile cut = BuildMldOneTrackLayout(Row(18), "", Stream(200000), 8000, 2000);
    const MldFile exact = BuildMldOneTrackLayout(Row(18), "", Stream(kMldType18StreamLimit), 8000, 2000);
    ASSERT_TRUE(cut && exact);
    EXPECT_EQ(*cut, *exact);
}

TEST(MldOneTrackLayout, TypeEighteenClosingTicksAreTakenInDoublePrecision) {
    // 580 bytes at 4000 a second: 0.145 s is a little less in double precision, 28 ticks.
    const MldFile file = BuildMldOneTrackLayout(Row(18), "", Stream(580), 8000, 4000);
    ASSERT_TRUE(file);
    const std::vector<uint8_t> closing = Hex("00FFFF0008 F108000F88008500  1C FFDC00");
    EXPECT_NE(std::search(file->begin(), file->end(), closing.begin(), closing.end()), file->end());
}

TEST(MldOneTrackLayout, TypeTwoPiecesCarryTheirNumberAndWaits) {
    // Two pieces at R 1000: 65504 bytes wait 8384 (32 × 255 + 224), 10 bytes wait 1.
    const MldFile file = BuildMldOneTrackLayout(Row(2), "", Stream(65514), 16000, 1000);
    ASSERT_TRUE(file);
    const auto events = DataEvents(*file, 2, 8);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].body, Hex("11 01 F0 07 00 01 3E80"));
    EXPECT_EQ(events[1].body, Hex("11 01 F0 07 01 01 3E80"));
    std::vector<uint8_t> closing = Hex("00FFFF0006 1101F1 03 00 7F");
    for (int i = 0; i < 32; ++i) PutBytes(closing, Hex("FF FFDE00"));
    PutBytes(closing, Hex("E0 FFDE00  00FFFF0006 1101F1 43 01 7F  01 FFDE00  00FFDF00"));
    EXPECT_TRUE(std::equal(closing.begin(), closing.end(), file->end() - static_cast<long>(closing.size())));
}

TEST(MldOneTrackLayout, TooManyTypeTwoPiecesAreRefused) {
    MessageRecorder recorder;
    EXPECT_TRUE(BuildMldOneTrackLayout(Row(2), "", Stream(65504 * 256), 8000, 4000));
    EXPECT_FALSE(BuildMldOneTrackLayout(Row(2), "", Stream(65504 * 256 + 1), 8000, 4000));
    EXPECT_EQ(recorder.Texts(), std::vector<std::string>{"ファイルのサイズが大きすぎます。"});
}

TEST(MldLayouts, RowsOfAnotherLayoutAreRefused) {
    MessageRecorder recorder;
    EXPECT_FALSE(BuildMldOneTrackLayout(Row(13), "", Stream(8), 8000, 4000));
    EXPECT_FALSE(BuildMldTwoStreamLayout(Row(3), "", Stream(8), Stream(8), 8000, 4000));
    EXPECT_FALSE(BuildMldTwoStreamLayout(Row(15), "", Stream(8), Stream(8), 4000, 4000));
    EXPECT_EQ(recorder.Texts(), (std::vector<std::string>{"Error", "Error", "error2", "error3", "error5",
                                                          "4000Hz Stereoの変換は出来ません。"}));
}

TEST(MldTwoStreamLayout, TypeSixteenAtAnUnsupportedRateWritesTheEightKilohertzHead) {
    MessageRecorder recorder;
    const MldFile odd = BuildMldTwoStreamLayout(Row(16), "", Stream(4), Stream(4), 32000, 8000);
    const MldFile eight = BuildMldTwoStreamLayout(Row(16), "", Stream(4), Stream(4), 8000, 8000);
    ASSERT_TRUE(odd && eight);
    EXPECT_EQ(recorder.Texts(), std::vector<std::string>{"未対応レート"});
    const size_t head = 10 + GetBe16(std::span<const uint8_t>(*odd).subspan(8)) + 8;
    EXPECT_TRUE(std::equal(odd->begin() + static_cast<long>(head), odd->begin() + static_cast<long>(head + 63),
                           eight->begin() + static_cast<long>(head)));
}

TEST(MldTwoStreamLayout, LongChannelsAreCutToOnePieceEach) {
    const MldFile file = BuildMldTwoStreamLayout(Row(15), "", Stream(70000), Stream(70000), 16000, 8000);
    ASSERT_TRUE(file);
    const auto events = DataEvents(*file, 15, 8);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].length, 0xFFFF);
    EXPECT_EQ(events[0].body, Hex("1101F007 00 01 3E80"));
    EXPECT_EQ(events[1].body, Hex("1101F007 01 01 3E80"));
}

}  // namespace
}  // namespace kvt
